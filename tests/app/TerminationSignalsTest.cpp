// The end-of-session handler as the code it interrupts sees it.

#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

// A signal between a failing call and the read of its errno leaves errno as
// the call set it, also once the handler's own write fails because the
// socket is full of earlier requests (a few hundred one-byte writes fill
// it). The requests then end the event loop as one.
TEST(TerminationSignals, HandlerLeavesErrnoAsTheInterruptedCodeSetIt)
{
    const Application::TerminationSignals endOfSession;
    for (int i = 0; i < 20000; ++i) {
        errno = ERANGE;
        std::raise(i % 2 ? SIGTERM : SIGHUP);
        ASSERT_EQ(ERANGE, errno) << "after signal " << i;
    }
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(0, QCoreApplication::exec()) << "the signals did not end the event loop within 5 s";
    QTimer::singleShot(200, [] { QCoreApplication::exit(2); });
    EXPECT_EQ(2, QCoreApplication::exec()) << "requests left over ended a second event loop";
}

// The socket pair outlives each object: an object made after another has
// gone still hears the signals, as a later session in the same process
// must.
TEST(TerminationSignals, AnObjectMadeAfterAnotherWentStillEndsTheEventLoop)
{
    for (const char* which : {"first", "second"}) {
        const Application::TerminationSignals endOfSession;
        std::raise(SIGTERM);
        QObject guard; // the time-out goes with this object, not into a later loop
        QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(0, QCoreApplication::exec()) << "the " << which << " object's signal did not end the event loop";
    }
}
