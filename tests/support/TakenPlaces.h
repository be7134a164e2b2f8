#pragma once
// Takes the places of a file system for calls left waiting
// (files/DTReadThreads.h), as calls that hang there would: a call there is
// then refused at once as one that does not answer. Gives them back when
// it goes.

#include "files/DTReadThreads.h"

#include <atomic>

namespace kestrel {
namespace test {

class taken_places {
public:
    explicit taken_places(file_system_id file_system) : file_system_(file_system) {}
    ~taken_places() { give_back(); }
    taken_places(const taken_places&) = delete;
    taken_places& operator=(const taken_places&) = delete;

    void take()
    {
        for (; taken_ < read_threads::max_left_waiting; ++taken_)
            read_threads::process().take_place(file_system_);
    }
    void give_back()
    {
        for (; taken_ > 0; --taken_)
            read_threads::process().give_back_place(file_system_);
    }

private:
    const file_system_id file_system_;
    std::atomic<int> taken_{0};
};

} // namespace test
} // namespace kestrel
