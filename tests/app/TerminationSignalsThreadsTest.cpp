// The session's end signals sent from another thread while the objects
// that take them, and the end's backstop they start the clock of, come and
// go.

#include "app/EndBackstop.h"
#include "app/TerminationSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include <unistd.h>

namespace {

// As the program's main does first, before any thread starts.
const bool signalsBlocked = (Application::blockTerminationSignals(), true);

} // namespace

// Each object's taking thread is stopped and joined as it goes, whatever
// comes; a signal between two objects waits for the next. Nothing ends the
// process: each object lives well within the backstop's bound.
TEST(TerminationSignalsThreads, SignalsWhileObjectsComeAndGoEndNothing)
{
    ASSERT_TRUE(signalsBlocked);
    std::atomic<bool> stop{false};
    std::atomic<int> raised{0};
    std::thread raiser([&] {
        while (!stop) {
            ::kill(::getpid(), SIGHUP);
            raised.fetch_add(1);
        }
    });
    for (int i = 0; i < 20; ++i) {
        const Application::EndBackstop backstop;
        const Application::TerminationSignals endOfSession;
        // Some signals sent while it lives (bounded: the raiser never stalls for long).
        const int before = raised.load();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (raised.load() < before + 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (raised.load() < before + 3) {
            ADD_FAILURE() << "the raising thread stalled for 5 s";
            break;
        }
    }
    stop = true;
    raiser.join();
    // The one left pending is no later test's.
    sigset_t hangUp;
    sigemptyset(&hangUp);
    sigaddset(&hangUp, SIGHUP);
    const timespec now = {0, 0};
    while (::sigtimedwait(&hangUp, nullptr, &now) > 0) {
    }
}
