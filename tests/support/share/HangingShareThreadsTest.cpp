// The tests' share itself: each kind of request is held until answered and
// then done on the source, what the video writer does on a folder works
// on it, and its going never waits for a server that does not end.

#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include "files/DTUnfinishedVideo.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

using kestrel::test::hanging_share;
using kestrel::test::TempDir;
using kestrel::test::read_file;
using kestrel::test::write_file;

namespace {

bool exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

// A call on the share (given the share's folder and a file of it open for
// reading and writing) and what it left in the source folder.
struct held_call {
    const char* kind;
    std::function<bool(const std::string& share, int fd)> call;
    std::function<bool(const std::string& source)> done;
};

bool nothing_to_see(const std::string&) { return true; }

const std::vector<held_call>& held_calls() {
    static const std::vector<held_call> calls = {
        {"lookup", [](const std::string& share, int) { return exists(share + "/file"); }, nothing_to_see},
        {"getattr", [](const std::string&, int fd) { struct stat s; return ::fstat(fd, &s) == 0 && s.st_size == 14; },
         nothing_to_see},
        {"open",
         [](const std::string& share, int) {
             const int fd = ::open((share + "/file").c_str(), O_RDONLY | O_CLOEXEC);
             return fd >= 0 && ::close(fd) == 0;
         },
         nothing_to_see},
        {"read", [](const std::string&, int fd) { char byte; return ::pread(fd, &byte, 1, 0) == 1 && byte == 'o'; },
         nothing_to_see},
        {"readlink",
         [](const std::string& share, int) {
             char target[16] = {};
             return ::readlink((share + "/link").c_str(), target, sizeof target - 1) == 4 &&
                    std::string(target) == "file";
         },
         nothing_to_see},
        {"create",
         [](const std::string& share, int) {
             const int fd = ::open((share + "/new").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
             return fd >= 0 && ::close(fd) == 0;
         },
         [](const std::string& source) { return exists(source + "/new"); }},
        {"write", [](const std::string&, int fd) { return ::pwrite(fd, "written", 7, 0) == 7; },
         [](const std::string& source) { return read_file(source + "/file") == "writtenl bytes"; }},
        {"setattr", [](const std::string&, int fd) { return ::ftruncate(fd, 2) == 0; },
         [](const std::string& source) { return read_file(source + "/file") == "or"; }},
        // A close waits for its flush.
        {"flush", [](const std::string&, int fd) { return ::close(::dup(fd)) == 0; }, nothing_to_see},
        {"rename",
         [](const std::string& share, int) {
             return ::renameat2(AT_FDCWD, (share + "/gone").c_str(), AT_FDCWD, (share + "/renamed").c_str(),
                                RENAME_NOREPLACE) == 0;
         },
         [](const std::string& source) { return exists(source + "/renamed") && !exists(source + "/gone"); }},
        {"unlink", [](const std::string& share, int) { return ::unlink((share + "/gone").c_str()) == 0; },
         [](const std::string& source) { return !exists(source + "/gone"); }},
    };
    return calls;
}

// The share's server: the only child of that name of `parent`.
pid_t share_server(pid_t parent = ::getpid()) {
    DIR* processes = ::opendir("/proc");
    pid_t found = -1;
    while (const dirent* entry = processes ? ::readdir(processes) : nullptr) {
        std::ifstream status(std::string("/proc/") + entry->d_name + "/status");
        std::string line, name;
        pid_t ppid = -1;
        while (std::getline(status, line)) {
            if (line.compare(0, 5, "Name:") == 0)
                name = line.substr(line.find_first_not_of(" \t", 5));
            else if (line.compare(0, 5, "PPid:") == 0)
                ppid = std::atoi(line.c_str() + 5);
        }
        if (ppid == parent && name.compare(0, 15, "kestrel_hanging") == 0)
            found = std::atoi(entry->d_name);
    }
    if (processes)
        ::closedir(processes);
    return found;
}

// A share of an empty folder of the test's.
class HangingShare : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, ::mkdir(source.c_str(), 0700));
        ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
        share = std::make_unique<hanging_share>(source, mounted);
    }

    TempDir dir;
    const std::string source = dir.file("source"), mounted = dir.file("share");
    std::unique_ptr<hanging_share> share;
};

} // namespace

// Each kind of request, held: the call waits until the share answers, then
// has done on the source what it does on a disk.
TEST_F(HangingShare, EachKindIsHeldUntilAnsweredAndThenDone) {
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    EXPECT_THROW(share->hang("everything"), std::runtime_error);

    for (const held_call& each : held_calls()) {
        SCOPED_TRACE(each.kind);
        ::unlink((source + "/new").c_str());
        ::unlink((source + "/renamed").c_str());
        ::unlink((source + "/link").c_str());
        write_file(source + "/file", "original bytes");
        write_file(source + "/gone", "");
        ASSERT_EQ(0, ::symlink("file", (source + "/link").c_str()));
        const int fd = ::open((mounted + "/file").c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_LE(0, fd);

        share->hang(each.kind);
        std::packaged_task<bool()> task([&] { return each.call(mounted, fd); });
        std::future<bool> called = task.get_future();
        std::thread caller(std::move(task));
        const bool held = share->held_within(std::chrono::seconds(10));
        const bool waited = called.wait_for(std::chrono::milliseconds(200)) == std::future_status::timeout;
        share->answer();
        const bool answered = called.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        if (!answered)
            share->answer();
        caller.join();
        EXPECT_TRUE(held);
        EXPECT_TRUE(waited) << "the call did not wait for the share";
        EXPECT_TRUE(answered);
        EXPECT_TRUE(called.get());
        ::close(fd);
        EXPECT_TRUE(each.done(source));
    }
}

// A held look-up holds no other one of its folder in the kernel, nor a
// held read another one of its file: each reaches the share.
TEST_F(HangingShare, AHeldRequestHoldsNoOtherOfItsFolderOrFile) {
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    for (const char* name : {"/a", "/b", "/c"})
        write_file(source + name, "bytes");
    const int fds[] = {::open((mounted + "/a").c_str(), O_RDONLY | O_CLOEXEC),
                       ::open((mounted + "/a").c_str(), O_RDONLY | O_CLOEXEC)};
    ASSERT_LE(0, fds[0]);
    ASSERT_LE(0, fds[1]);
    // Names never looked up: a name known is only checked again, which
    // holds no folder.
    const auto look = [&](int which) { return exists(mounted + (which ? "/c" : "/b")); };
    const auto read = [&](int which) {
        char byte;
        return ::pread(fds[which], &byte, 1, 0) == 1;
    };
    for (const char* kind : {"lookup", "read"}) {
        SCOPED_TRACE(kind);
        const auto call = std::string(kind) == "read" ? std::function<bool(int)>(read) : look;
        share->hang(kind);
        std::future<bool> first = std::async(std::launch::async, call, 0);
        std::future<bool> second = std::async(std::launch::async, call, 1);
        EXPECT_TRUE(share->held_within(std::chrono::seconds(10), 2)) << "one waited behind the other";
        share->answer();
        EXPECT_TRUE(first.get());
        EXPECT_TRUE(second.get());
    }
    ::close(fds[0]);
    ::close(fds[1]);
}

// The video writer's way with its folder on the share: a hidden file made,
// locked and written, left alone by another run's clean-up while locked,
// named without replacing anything, or removed.
TEST_F(HangingShare, AVideoIsMadeAndNamedOnIt) {
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    write_file(source + "/taken.avi", "another video");

    kestrel::unfinished_video video, other;
    ASSERT_EQ(0, kestrel::unfinished_video::probe(mounted));
    ASSERT_EQ(0, video.create(mounted));
    write_file(video.writer_path(), "the video's bytes");
    ASSERT_EQ(0, other.create(mounted)) << "the clean-up removed a video being made";
    EXPECT_EQ(EEXIST, video.finish_as("taken.avi"));
    EXPECT_EQ(0, video.finish_as("show.avi"));
    other.discard();

    EXPECT_EQ("the video's bytes", read_file(source + "/show.avi"));
    EXPECT_EQ("another video", read_file(source + "/taken.avi"));
    DIR* listing = ::opendir(source.c_str());
    ASSERT_NE(nullptr, listing);
    int names = 0;
    while (const dirent* entry = ::readdir(listing))
        names += entry->d_name[0] != '.' || kestrel::unfinished_video::is_unfinished_name(entry->d_name);
    ::closedir(listing);
    EXPECT_EQ(2, names) << "a hidden file was left";
}

// A server that no longer answers anything, not even the end: the share
// goes within seconds all the same, and a call that waited on it fails
// (its connection gone) instead of waiting for ever.
TEST_F(HangingShare, ItsGoingNeverWaitsForAServerThatDoesNotEnd) {
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    write_file(source + "/file", "bytes");
    const pid_t server = share_server();
    ASSERT_LT(0, server);

    share->hang("read");
    std::future<int> read = std::async(std::launch::async, [&] {
        const int fd = ::open((mounted + "/file").c_str(), O_RDONLY | O_CLOEXEC);
        char byte;
        const int got = fd < 0 ? -1 : static_cast<int>(::read(fd, &byte, 1));
        const int error = got < 0 ? errno : 0;
        if (fd >= 0)
            ::close(fd);
        return error;
    });
    ASSERT_TRUE(share->held_within(std::chrono::seconds(10)));
    ASSERT_EQ(0, ::kill(server, SIGSTOP));

    const auto start = std::chrono::steady_clock::now();
    std::future<void> gone = std::async(std::launch::async, [&] { share.reset(); });
    const bool went = gone.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!went)
        ::kill(server, SIGKILL); // lets the going end, the test having failed
    gone.wait();
    EXPECT_TRUE(went) << "the share's going waited for its server";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    ASSERT_EQ(std::future_status::ready, read.wait_for(std::chrono::seconds(10)));
    const int error = read.get();
    EXPECT_TRUE(error == ECONNABORTED || error == ENOTCONN) << std::strerror(error);
}

namespace {

// How a process the share serves ends while one of its threads waits for a
// read the share holds (a test that fails: a crash, a sanitizer's report).
enum class ending { exits, exits_while_its_main_thread_waits, aborts, is_killed };

const int no_share_here = 77, nothing_held = 78;

// In a child of the test, which never returns: its own share with a read
// held on it, `told` written to once the read is held, then the end.
[[noreturn]] void wait_on_the_share_and_end(const std::string& source, const std::string& mounted, ending how,
                                            int told) {
    hanging_share share(source, mounted);
    if (!share.unavailable().empty())
        ::_exit(no_share_here);
    const int fd = ::open((mounted + "/file").c_str(), O_RDONLY | O_CLOEXEC);
    share.hang("read");
    const auto read_held = [fd] {
        char byte;
        (void)!::pread(fd, &byte, 1, 0);
    };
    const auto once_held = [&] {
        if (!share.held_within(std::chrono::seconds(10)))
            ::_exit(nothing_held);
        (void)!::write(told, "h", 1);
    };
    if (how == ending::exits_while_its_main_thread_waits) {
        std::thread ender([&] {
            once_held();
            ::_exit(0);
        });
        read_held();
        ::_exit(nothing_held);
    }
    std::thread reader(read_held);
    once_held();
    if (how == ending::aborts) {
        const rlimit no_core{0, 0};
        ::setrlimit(RLIMIT_CORE, &no_core);
        std::abort();
    }
    if (how == ending::is_killed)
        for (;;)
            ::pause();
    ::_exit(0);
}

} // namespace

// A process that ends while its thread waits for the share (it exits, its
// main thread waiting; it aborts; it is killed, as by ctest's time-out)
// ends within seconds, never held by a share nobody tells to answer.
TEST(HangingShareServed, AProcessEndingWhileItWaitsOnTheShareEndsWithinSeconds) {
    TempDir dir;
    const std::string source = dir.file("source"), mounted = dir.file("share");
    ASSERT_EQ(0, ::mkdir(source.c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
    write_file(source + "/file", "bytes");
    struct stat unmounted;
    ASSERT_EQ(0, ::stat(mounted.c_str(), &unmounted));

    for (const ending how :
         {ending::exits, ending::exits_while_its_main_thread_waits, ending::aborts, ending::is_killed}) {
        SCOPED_TRACE(static_cast<int>(how));
        int told[2];
        ASSERT_EQ(0, ::pipe2(told, O_CLOEXEC));
        const pid_t child = ::fork();
        ASSERT_LE(0, child);
        if (child == 0)
            wait_on_the_share_and_end(source, mounted, how, told[1]);
        ::close(told[1]);
        char held = 0;
        pollfd hearing{told[0], POLLIN, 0};
        if (::poll(&hearing, 1, 30000) == 1 && ::read(told[0], &held, 1) == 1 && how == ending::is_killed)
            ::kill(child, SIGKILL);
        ::close(told[0]);

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        pid_t ended = 0;
        while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (ended == 0) {
            // Held by the share: its server goes, and with it the wait.
            const pid_t server = share_server(child);
            if (server > 0)
                ::kill(server, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == no_share_here)
            GTEST_SKIP() << "no share that hangs can be made here";
        ASSERT_EQ('h', held) << "the read was never held";
        ASSERT_NE(0, ended) << "the process did not end within 10 s of its end";
        if (how == ending::exits || how == ending::exits_while_its_main_thread_waits)
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        else
            EXPECT_TRUE(WIFSIGNALED(status)) << status;

        // The share went with the process (while it goes, a look at it may
        // fail).
        struct stat now{};
        for (int looks = 0; looks < 500 && (::stat(mounted.c_str(), &now) != 0 || now.st_dev != unmounted.st_dev);
             ++looks)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(unmounted.st_dev, now.st_dev) << "the share stayed mounted";
    }
}
