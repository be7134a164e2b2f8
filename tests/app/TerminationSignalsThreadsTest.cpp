// The end-of-session handler running on another thread while the object
// that installed it goes, and the end's backstop it starts the clock of.

#include "app/EndBackstop.h"
#include "app/TerminationSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

// SIGHUP ignored while no object handles it, put back as it was.
class IgnoredHangUp {
public:
    IgnoredHangUp()
    {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGHUP, &ignore, &previous_);
    }
    ~IgnoredHangUp() { sigaction(SIGHUP, &previous_, nullptr); }

private:
    struct sigaction previous_;
};

} // namespace

// A handler on another thread writes while objects come and go: to the one
// socket that stays open, never to a descriptor closed under it (which the
// race checker reports) or since reused. Each end it asks is reached in
// order, well within the backstop's bound: nothing ends the process.
TEST(TerminationSignalsThreads, HandlerOnAnotherThreadNeverWritesToAClosedDescriptor)
{
    const IgnoredHangUp ignored;
    std::atomic<bool> stop{false};
    // Counted without ordering: the handler's writes must not seem to
    // happen before the object goes only because the count was read.
    std::atomic<int> raised{0};
    std::thread raiser([&] {
        while (!stop) {
            std::raise(SIGHUP); // handled on this thread
            raised.fetch_add(1, std::memory_order_relaxed);
        }
    });
    auto count = [&] { return raised.load(std::memory_order_relaxed); };
    for (int i = 0; i < 20; ++i) {
        const Application::EndBackstop backstop;
        const Application::TerminationSignals endOfSession;
        // Some signals handled while it lives (bounded: the raiser never stalls for long).
        const int before = count();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (count() < before + 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (count() < before + 3) {
            ADD_FAILURE() << "the raising thread stalled for 5 s";
            break;
        }
    }
    stop = true;
    raiser.join();
}
