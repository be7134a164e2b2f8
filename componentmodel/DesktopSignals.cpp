#include "componentmodel/DesktopSignals.h"

#include <csignal>

namespace ComponentModel {

void takeDesktopSignals()
{
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    // Those the kernel or the C library keeps (SIGKILL, its own) refuse
    // both calls, and keep their state.
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction now;
        if (::sigaction(signal, nullptr, &now) == 0 && !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_IGN)
            ::sigaction(signal, &byDefault, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

void askDesktopSignals(posix_spawnattr_t& attributes)
{
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    short flags = 0;
    ::posix_spawnattr_getflags(&attributes, &flags);
    ::posix_spawnattr_setflags(&attributes, short(flags | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
}

} // namespace ComponentModel
