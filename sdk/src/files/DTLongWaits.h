#pragma once
// The waits of this process on files that take long: who waits for which
// file and why (it does not answer, another program holds a lease on it),
// so that a progress line or a status can name them while they last.
// A wait is listed once its file system has kept it waiting
// long_wait_after (files/DTUnansweredTime.h: a busy machine's delays do not
// count), with a log line then and another when it ends. Any thread.

#include "files/DTFileRefusal.h"

#include <boost/noncopyable.hpp>

#include <chrono>
#include <string>
#include <vector>

namespace kestrel {

inline constexpr std::chrono::seconds long_wait_after(2);

struct long_wait {
    std::string file; // as the system names it: bytes, UTF-8 or not
    file_refusal why = file_refusal::does_not_answer; // or held_by_lease
    double seconds = 0; // waited so far
};

// The waits listed now, the oldest first.
std::vector<long_wait> long_waits();

// Lists a wait on `file` for as long as it lives; `why` may change.
class long_wait_entry : private boost::noncopyable {
public:
    long_wait_entry(std::string file, file_refusal why, std::chrono::steady_clock::time_point since);
    ~long_wait_entry();
    void set_why(file_refusal why);
    // The wait ended: answered (or failed), else given up.
    void set_answered(bool answered) { answered_ = answered; }

private:
    unsigned long long id_;
    bool answered_ = true;
};

} // namespace kestrel
