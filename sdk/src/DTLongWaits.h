#pragma once
// The waits of this process on files that take long: who waits for which
// file and why ("it does not answer", "another program holds a lease on
// it"), so that a progress line or a status can name them while they last.
// A wait is listed once it has lasted long_wait_after, with a log line
// then and another when it ends. Any thread.

#include <boost/noncopyable.hpp>

#include <chrono>
#include <string>
#include <vector>

namespace kestrel {

// Why a file is waited for when nothing more is known: a share that hangs.
inline constexpr char unanswering_reason[] = "it does not answer";
// Why the opening of a file under another program's lease waits.
inline constexpr char lease_reason[] = "another program holds a lease on it";

inline constexpr std::chrono::seconds long_wait_after(2);

struct long_wait {
    std::string file; // as the system names it: bytes, UTF-8 or not
    std::string why;
    double seconds = 0; // waited so far
};

// The waits listed now, the oldest first.
std::vector<long_wait> long_waits();

// Lists a wait on `file` for as long as it lives; `why` may change.
class long_wait_entry : private boost::noncopyable {
public:
    long_wait_entry(std::string file, std::string why, std::chrono::steady_clock::time_point since);
    ~long_wait_entry();
    void set_why(const std::string& why);
    // The wait ended: answered (or failed), else given up.
    void set_answered(bool answered) { answered_ = answered; }

private:
    unsigned long long id_;
    bool answered_ = true;
};

} // namespace kestrel
