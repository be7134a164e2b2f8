#include "files/DTUnansweredTime.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace kestrel {

long long scheduled_ns(pid_t thread) {
    const std::string path = "/proc/self/task/" + std::to_string(thread) + "/schedstat";
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (!file)
        return -1;
    unsigned long long running = 0;
    unsigned long long waiting = 0;
    const int read = std::fscanf(file, "%llu %llu", &running, &waiting);
    std::fclose(file);
    return read == 2 ? static_cast<long long>(running + waiting) : -1;
}

void unanswered_clock::begin() {
    thread_ = static_cast<pid_t>(::syscall(SYS_gettid));
    began_ = std::chrono::steady_clock::now();
    scheduled_at_begin_ns_ = scheduled_ns(thread_);
}

std::chrono::steady_clock::duration unanswered_clock::unanswered() const {
    if (!begun())
        return std::chrono::steady_clock::duration::zero();
    const auto since = std::chrono::steady_clock::now() - began_;
    if (scheduled_at_begin_ns_ < 0)
        return since;
    const long long now_ns = scheduled_ns(thread_);
    // A thread that has ended answered long ago; its caller has not looked yet.
    if (now_ns < 0)
        return std::chrono::steady_clock::duration::zero();
    const auto busy = std::chrono::nanoseconds(now_ns - scheduled_at_begin_ns_);
    return since > busy ? since - busy : std::chrono::steady_clock::duration::zero();
}

bool unanswered_clock::unanswered_for(std::chrono::steady_clock::duration wait) const {
    return begun() && std::chrono::steady_clock::now() - began_ >= wait && unanswered() >= wait;
}

} // namespace kestrel
