#pragma once
// A name look-up that answers only when the test opens its gate, then with
// the loopback address and the given port. Everything it touches is its
// own, as the client asks of a look-up.

#include "net/HostLookup.h"

#include <boost/asio/ip/address_v4.hpp>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace kestrel {
namespace test {

class GatedLookup {
public:
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int started = 0;
        int answered = 0;
    };

    urdl::host_lookup lookup(unsigned short port) const {
        const std::shared_ptr<Gate> gate = gate_;
        return urdl::host_lookup([gate, port](const std::string&, const std::string&,
                                              urdl::host_lookup::addresses& found) {
            std::unique_lock<std::mutex> lock(gate->mutex);
            ++gate->started;
            gate->changed.notify_all();
            gate->changed.wait(lock, [&] { return gate->open; });
            found.emplace_back(boost::asio::ip::address_v4::loopback(), port);
            ++gate->answered;
            gate->changed.notify_all();
            return boost::system::error_code();
        });
    }
    bool wait_until(int Gate::*count, int value) const {
        std::unique_lock<std::mutex> lock(gate_->mutex);
        return gate_->changed.wait_for(lock, std::chrono::seconds(10), [&] { return (*gate_).*count >= value; });
    }
    void open() const {
        std::lock_guard<std::mutex> lock(gate_->mutex);
        gate_->open = true;
        gate_->changed.notify_all();
    }

private:
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

} // namespace test
} // namespace kestrel
