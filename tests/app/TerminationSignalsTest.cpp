// The session's end signals as the program's own thread takes them.

#include "app/TerminationSignals.h"

#include "files/DTReadInterruption.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <unistd.h>

namespace {

// As the program's main does first, before any thread starts (this runs
// before the tests' main): the tests' threads and Qt's inherit it.
const bool signalsBlocked = (Application::blockTerminationSignals(), true);

// As the session asks: the process, not one of its threads.
void askToEnd(int signal) { ::kill(::getpid(), signal); }

// The event loop's status, or 1 when it was not ended within 5 s.
int runEventLoop()
{
    QObject guard; // the time-out goes with this object, not into a later loop
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(1); });
    return QCoreApplication::exec();
}

} // namespace

// A signal that came before the object was made waits for it and ends its
// event loop; an object made after another went takes the signals too, as
// a later session in the same process must.
TEST(TerminationSignals, ASignalBeforeTheObjectWaitsForItAndEachObjectEndsItsLoop)
{
    ASSERT_TRUE(signalsBlocked);
    askToEnd(SIGHUP);
    {
        Application::TerminationSignals endOfSession;
        endOfSession.endEventLoopsWhenAsked();
        EXPECT_EQ(0, runEventLoop()) << "the signal sent before the object was made did not end the loop";
    }
    Application::TerminationSignals endOfSession;
    endOfSession.endEventLoopsWhenAsked();
    askToEnd(SIGINT);
    EXPECT_EQ(0, runEventLoop()) << "the second object's signal did not end the event loop";
}

// The request is taken while the window's thread is away from its event
// loop: its reads are interrupted at once, the loop ends once it runs.
TEST(TerminationSignals, TheWindowsReadsAreInterruptedWhileItsThreadDoesNotRun)
{
    Application::TerminationSignals endOfSession;
    endOfSession.endEventLoopsWhenAsked();
    const kestrel::read_interruption_ptr reads = kestrel::current_read_interruption();
    ASSERT_TRUE(reads && !reads->on());
    askToEnd(SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!reads->on() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(reads->on());
    EXPECT_EQ(0, runEventLoop());
}
