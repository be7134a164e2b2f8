#include "support/LeaseHolder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace kestrel {
namespace test {

lease_holder::lease_holder(const std::string& path) {
    int to_holder[2], from_holder[2];
    if (::pipe2(to_holder, O_CLOEXEC) != 0 || ::pipe2(from_holder, O_CLOEXEC) != 0)
        return;
    const char* file = path.c_str();
    pid_ = ::fork();
    if (pid_ == 0) {
        // Only its own two ends: another holder's, kept here, would keep
        // that holder from hearing the test let go.
        const unsigned int low = std::min(to_holder[0], from_holder[1]);
        const unsigned int high = std::max(to_holder[0], from_holder[1]);
        ::close_range(3, low - 1, 0);
        ::close_range(low + 1, high - 1, 0);
        ::close_range(high + 1, ~0U, 0);
        sigset_t broken;
        sigemptyset(&broken);
        sigaddset(&broken, SIGIO);
        ::sigprocmask(SIG_BLOCK, &broken, nullptr);
        const int signals = ::signalfd(-1, &broken, SFD_CLOEXEC);
        const int fd = ::open(file, O_RDONLY | O_CLOEXEC);
        const char held = signals >= 0 && fd >= 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? 'l' : 'n';
        if (::write(from_holder[1], &held, 1) != 1)
            ::_exit(1);
        pollfd waits[2] = {{signals, POLLIN, 0}, {to_holder[0], POLLIN, 0}};
        for (;;) {
            if (::poll(waits, 2, -1) < 0)
                continue;
            if (waits[1].revents)
                ::_exit(0); // told, or the test went: the lease goes with the process
            signalfd_siginfo signal;
            const char opened = 'b';
            if (::read(signals, &signal, sizeof signal) > 0 && ::write(from_holder[1], &opened, 1) != 1)
                ::_exit(1);
        }
    }
    ::close(to_holder[0]);
    ::close(from_holder[1]);
    tell_ = to_holder[1];
    hear_ = from_holder[0];
}

lease_holder::~lease_holder() {
    let_go();
    if (hear_ >= 0)
        ::close(hear_);
}

char lease_holder::next() {
    pollfd heard{hear_, POLLIN, 0};
    char word = 0;
    if (hear_ < 0 || ::poll(&heard, 1, 5000) <= 0 || ::read(hear_, &word, 1) != 1)
        return 0;
    return word;
}

void lease_holder::let_go() {
    if (tell_ >= 0)
        ::close(tell_);
    tell_ = -1;
    if (pid_ > 0)
        ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

} // namespace test
} // namespace kestrel
