#include "StopSignals.h"

#include <csignal>

namespace make_show {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
std::atomic<bool> asked(false);

extern "C" void raise_stop(int) { asked = true; }

} // namespace

std::atomic<bool>& stop_asked() { return asked; }

void stop_on_signal(int number) {
    struct sigaction action = {};
    if (number == SIGHUP && ::sigaction(number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN)
        return;
    action = {};
    action.sa_handler = raise_stop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
}

} // namespace make_show
