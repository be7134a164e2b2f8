// Files that would hold a reader for ever: what is no regular file is
// refused at once with its reason, and a read that never returns is left
// behind when its interruption is switched on, its thread ending by itself
// once the read returns.

#include "DTAbandonableRead.h"
#include "DTErrors.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>

using namespace kestrel;

namespace {

// The call's answer, or "still waiting" when it has not come within the
// bound; the call's thread is then left behind (it can only hang).
std::string bounded(std::function<std::string()> call, std::chrono::milliseconds bound) {
    auto answer = std::make_shared<std::promise<std::string>>();
    std::future<std::string> answered = answer->get_future();
    std::thread([answer, call] { answer->set_value(call()); }).detach();
    return answered.wait_for(bound) == std::future_status::ready ? answered.get() : "still waiting";
}

std::string open_answer(const std::string& path, const read_interruption_ptr& interruption) {
    const read_interruption_scope scope(interruption);
    try {
        abandonable_file file(path);
        return "opened";
    } catch (const errors::failure& e) {
        return e.what();
    }
}

// A socket bound to a path, as a program's local server leaves one.
std::string make_socket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound ? path : std::string();
}

struct kind_case {
    const char* what;
    std::string (*make)(const test::TempDir& dir);
    const char* reason;
};

const kind_case kinds[] = {
    {"named pipe",
     [](const test::TempDir& dir) {
         const std::string path = dir.file("pipe.jpg");
         return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
     },
     "not a regular file: a named pipe"},
    {"device", [](const test::TempDir&) { return std::string("/dev/null"); }, "not a regular file: a device"},
    // Short: a socket's path must fit its address.
    {"socket", [](const test::TempDir&) { return make_socket("/tmp/kestrel-test-" + std::to_string(getpid())); },
     "not a regular file: a socket"},
    {"folder", [](const test::TempDir& dir) { return dir.path(); }, "a folder, not a file"},
};

} // namespace

// On the caller's thread and on a thread of its own alike.
TEST(AbandonableFile, RefusesWhatIsNoRegularFileAtOnceWithItsReason) {
    for (const kind_case& each : kinds) {
        for (const bool own_thread : {false, true}) {
            SCOPED_TRACE(std::string(each.what) + (own_thread ? ", own thread" : ", caller's thread"));
            test::TempDir dir;
            const std::string path = each.make(dir);
            ASSERT_FALSE(path.empty()) << "could not make the " << each.what;
            const read_interruption_ptr interruption =
                own_thread ? std::make_shared<read_interruption>() : read_interruption_ptr();
            EXPECT_EQ(each.reason, bounded([&] { return open_answer(path, interruption); },
                                           std::chrono::milliseconds(2000)));
            if (std::string(each.what) == "socket")
                ::unlink(path.c_str());
        }
    }
}

// A pipe whose writer never writes stands for a share that hangs: the read
// is given up once the interruption is on, the file can go, and its thread
// closes the pipe when the read finally returns.
TEST(AbandonableFile, AReadThatNeverReturnsIsGivenUpAndItsThreadEndsByItself) {
    int pipe_ends[2];
    ASSERT_EQ(0, ::pipe2(pipe_ends, O_CLOEXEC));
    const auto interruption = std::make_shared<read_interruption>();
    auto outcome = std::make_shared<std::promise<std::string>>();
    std::future<std::string> answered = outcome->get_future();
    const int reading_end = pipe_ends[0];
    std::thread reader([interruption, outcome, reading_end] {
        const read_interruption_scope scope(interruption);
        std::string answer;
        try {
            abandonable_file file(reading_end);
            uint8_t byte = 0;
            answer = "read " + std::to_string(file.read(&byte, 1));
        } catch (const read_interrupted& e) {
            answer = std::string("given up: ") + e.what();
        } catch (const std::exception& e) {
            answer = std::string("failed: ") + e.what();
        }
        outcome->set_value(answer); // the file is gone by now
    });
    EXPECT_EQ(std::future_status::timeout, answered.wait_for(std::chrono::milliseconds(200)))
        << "nothing was written: the read must wait";
    const auto asked = std::chrono::steady_clock::now();
    interruption->set(true);
    const bool given_up = answered.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    if (!given_up) {
        // Release the reader so that the test ends; it has failed already.
        EXPECT_EQ(1, ::write(pipe_ends[1], "x", 1));
        reader.join();
        FAIL() << "the read was not given up within 2 s";
    }
    reader.join();
    EXPECT_EQ("given up: reading was stopped", answered.get());
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(500));

    // The read returns: the thread left behind closes the reading end.
    ASSERT_EQ(1, ::write(pipe_ends[1], "x", 1));
    pollfd writer{pipe_ends[1], POLLOUT, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!(writer.revents & POLLERR) && std::chrono::steady_clock::now() < deadline)
        ::poll(&writer, 1, 20);
    EXPECT_TRUE(writer.revents & POLLERR) << "the reading end is still open";
    ::close(pipe_ends[1]);
}

// The music is opened by its loader and read later by the producer: a read
// watches the interruption of the thread that reads, at that read. One
// given up leaves its bytes to the next read, in order, and a read outside
// any scope is not given up while another thread's interruption is on.
TEST(AbandonableFile, AReadWatchesItsOwnThreadsInterruptionAndAGivenUpReadsBytesComeNext) {
    int pipe_ends[2];
    ASSERT_EQ(0, ::pipe2(pipe_ends, O_CLOEXEC));
    // Opened outside any scope, as the music's loader opens it.
    const auto file = std::make_shared<abandonable_file>(pipe_ends[0], watched_interruption::caller);
    const auto interruption = std::make_shared<read_interruption>();
    const auto read_one = [file] {
        try {
            uint8_t bytes[4] = {};
            const std::size_t got = file->read(bytes, sizeof bytes);
            return "read \"" + std::string(bytes, bytes + got) + "\"";
        } catch (const read_interrupted&) {
            return std::string("given up");
        } catch (const std::exception& e) {
            return std::string("failed: ") + e.what();
        }
    };
    const auto asked = std::chrono::steady_clock::now();
    const std::string stopped = bounded(
        [&] {
            const read_interruption_scope scope(interruption);
            std::thread([interruption] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                interruption->set(true);
            }).detach();
            return read_one();
        },
        std::chrono::seconds(2));
    EXPECT_EQ("given up", stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(700));

    // The interruption stays on; this thread watches none.
    ASSERT_EQ(1, ::write(pipe_ends[1], "a", 1));
    EXPECT_EQ("read \"a\"", bounded(read_one, std::chrono::seconds(2))) << "the byte the read given up got";
    ASSERT_EQ(1, ::write(pipe_ends[1], "b", 1));
    EXPECT_EQ("read \"b\"", bounded(read_one, std::chrono::seconds(2)));
    ::close(pipe_ends[1]);
    EXPECT_EQ("read \"\"", bounded(read_one, std::chrono::seconds(2)));
}
