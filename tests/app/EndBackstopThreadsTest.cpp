// The end's backstop while its watching thread runs: an end reached in
// order within the bound forces nothing and lets go of nothing another
// process may own. (An end not reached is forced in the program's own
// tests, tests/app/ProgramTest.cpp.)

#include "app/EndBackstop.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

// Ends asked by a signal and by the window, each reached in order at once
// or after a while within the bound, with what others see handed over and
// taken back meanwhile: the process goes on, the lock file stays, and the
// window system's socket is never shut down (its other end hears nothing).
TEST(EndBackstopThreads, AnEndReachedInOrderForcesNothingAndLetsGoOfNothing)
{
    kestrel::test::TempDir dir;
    const std::string lock = dir.file("instance.lock");
    kestrel::test::write_file(lock, "another start's\n");
    int screen[2];
    ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, screen));
    for (const bool bySignal : {true, false})
        for (const int waitedMs : {0, 300}) {
            SCOPED_TRACE(std::string(bySignal ? "a signal" : "the window") + " after " + std::to_string(waitedMs));
            Application::EndBackstop backstop;
            backstop.holdScreen(screen[0]);
            backstop.holdInstanceLock(lock);
            if (bySignal) {
                Application::EndBackstop::askedBySignal(SIGTERM);
                Application::EndBackstop::signalsTaken();
            }
            backstop.endBegins();
            std::this_thread::sleep_for(std::chrono::milliseconds(waitedMs));
            // The instance let its key go: a lock at that path is another's.
            backstop.holdInstanceLock(std::string());
        }
    EXPECT_EQ("another start's\n", kestrel::test::read_file(lock));
    pollfd heard = {screen[1], POLLIN, 0};
    EXPECT_EQ(0, ::poll(&heard, 1, 100)) << "the socket was shut down";
    ::close(screen[0]);
    ::close(screen[1]);
}
