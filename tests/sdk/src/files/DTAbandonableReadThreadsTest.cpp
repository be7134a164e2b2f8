// Files that would hold a reader for ever: what is no regular file is
// refused at once with its reason and never opened, a read that never
// returns is left behind when its interruption is switched on, its thread
// going on by itself once the read returns, and no more than a few such
// reads are left waiting on one file system, which costs the others
// nothing. A file is read whole whichever way the system answers the
// calls that never wait, and one under another program's lease is waited
// for only where a stop holds.

#include "audio/DTAudioTrackFile.h"
#include "base/DTErrors.h"
#include "files/DTAbandonableRead.h"
#include "files/DTLongWaits.h"
#include "files/DTRegularFile.h"

#include "support/HangingShare.h"
#include "support/LeaseHolder.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"

#include <boost/exception/get_error_info.hpp>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

using namespace kestrel;
using kestrel::test::lease_holder;

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

// Whether what `path` leads to is opened (inotify's IN_OPEN) from now on.
class open_watch {
public:
    explicit open_watch(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        watching_ = fd_ >= 0 && ::inotify_add_watch(fd_, path.c_str(), IN_OPEN) >= 0;
    }
    ~open_watch() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool watching() const { return watching_; }
    // Opened since the last look: open() itself queues the event.
    bool opened() {
        char events[4096];
        bool any = false;
        while (::read(fd_, events, sizeof events) > 0)
            any = true;
        return any;
    }

private:
    int fd_;
    bool watching_ = false;
};

// Whether this system tells of a file located without being opened
// (O_PATH) as of one opened, as older kernels do: the reader locates a
// file before it opens it.
bool locating_counts_as_opening(const std::string& path) {
    open_watch watch(path);
    const int located = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (located >= 0)
        ::close(located);
    return watch.opened();
}

struct made_kind {
    std::string path;
    int keep = -1; // a descriptor that keeps it, closed at the end
};

struct kind_case {
    const char* what;
    made_kind (*make)(const test::TempDir& dir);
    const char* reason;
    bool watched; // the test's own, so that nobody else opens it meanwhile
};

// A terminal behind a path named like a photo: the other side of a
// pseudo-terminal that the test keeps open.
made_kind make_terminal(const test::TempDir& dir) {
    const int controller = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char* name =
        controller >= 0 && ::grantpt(controller) == 0 && ::unlockpt(controller) == 0 ? ::ptsname(controller) : nullptr;
    const std::string path = dir.file("terminal.jpg");
    if (!name || ::symlink(name, path.c_str()) != 0) {
        if (controller >= 0)
            ::close(controller);
        return made_kind();
    }
    return made_kind{path, controller};
}

const kind_case kinds[] = {
    {"named pipe",
     [](const test::TempDir& dir) {
         const std::string path = dir.file("pipe.jpg");
         return made_kind{::mkfifo(path.c_str(), 0600) == 0 ? path : std::string()};
     },
     "not a regular file: a named pipe", true},
    {"device", [](const test::TempDir&) { return made_kind{"/dev/null"}; }, "not a regular file: a device", false},
    {"terminal", make_terminal, "not a regular file: a device", true},
    // Short: a socket's path must fit its address.
    {"socket",
     [](const test::TempDir&) { return made_kind{make_socket("/tmp/kestrel-test-" + std::to_string(getpid()))}; },
     "not a regular file: a socket", true},
    {"folder", [](const test::TempDir& dir) { return made_kind{dir.path()}; }, "a folder, not a file", true},
};

} // namespace

// On the caller's thread and on a thread of its own alike. Nothing is
// opened to learn what it is: opening a device alone may act on it.
TEST(AbandonableFile, RefusesWhatIsNoRegularFileAtOnceWithItsReasonUnopened) {
    for (const kind_case& each : kinds) {
        for (const bool own_thread : {false, true}) {
            SCOPED_TRACE(std::string(each.what) + (own_thread ? ", own thread" : ", caller's thread"));
            test::TempDir dir;
            const made_kind made = each.make(dir);
            ASSERT_FALSE(made.path.empty()) << "could not make the " << each.what;
            const bool locating_seen = own_thread && locating_counts_as_opening(made.path);
            open_watch watch(made.path);
            const read_interruption_ptr interruption =
                own_thread ? std::make_shared<read_interruption>() : read_interruption_ptr();
            EXPECT_EQ(each.reason, bounded([&] { return open_answer(made.path, interruption); },
                                           std::chrono::milliseconds(2000)));
            if (each.watched && watch.watching() && !locating_seen) {
                EXPECT_FALSE(watch.opened()) << "opened to be refused";
                // The watch sees an open where there is one.
                const int opened = ::open(made.path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
                if (opened >= 0) {
                    ::close(opened);
                    EXPECT_TRUE(watch.opened());
                }
            }
            if (made.keep >= 0)
                ::close(made.keep);
            if (std::string(each.what) == "socket")
                ::unlink(made.path.c_str());
        }
    }
}

// A pipe whose writer never writes stands for a share that hangs: the read
// is given up once the interruption is on, the file can go, and its thread
// closes the pipe when the read finally returns.
TEST(AbandonableFile, AReadThatNeverReturnsIsGivenUpAndClosesTheFileOnceItReturns) {
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
    interruption->set(true);
    // A bound for a read never given up, however busy the machine.
    const bool given_up = answered.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!given_up) {
        // Release the reader so that the test ends; it has failed already.
        EXPECT_EQ(1, ::write(pipe_ends[1], "x", 1));
        reader.join();
        FAIL() << "the read was not given up within 10 s";
    }
    reader.join();
    EXPECT_EQ("given up: reading was stopped", answered.get());

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
    const std::string stopped = bounded(
        [&] {
            const read_interruption_scope scope(interruption);
            std::thread([interruption] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                interruption->set(true);
            }).detach();
            return read_one();
        },
        std::chrono::seconds(10));
    EXPECT_EQ("given up", stopped);

    // The interruption stays on; this thread watches none.
    ASSERT_EQ(1, ::write(pipe_ends[1], "a", 1));
    EXPECT_EQ("read \"a\"", bounded(read_one, std::chrono::seconds(2))) << "the byte the read given up got";
    ASSERT_EQ(1, ::write(pipe_ends[1], "b", 1));
    EXPECT_EQ("read \"b\"", bounded(read_one, std::chrono::seconds(2)));
    ::close(pipe_ends[1]);
    EXPECT_EQ("read \"\"", bounded(read_one, std::chrono::seconds(2)));
}

namespace {

// Starts the threads of a set as std::thread does, and counts them: a
// read is handed to a thread once its thread has started.
class counted_starts {
public:
    read_threads::thread_starter starter() {
        return [this](std::function<void()> body) {
            std::thread(std::move(body)).detach();
            std::lock_guard<std::mutex> lock(mutex_);
            ++started_;
            changed_.notify_all();
        };
    }
    bool reach(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return started_ >= count; });
    }
    int started() {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int started_ = 0;
};

// A pipe whose writer writes only when told: a share that hangs until then.
struct held_pipe {
    int ends[2] = {-1, -1};
    held_pipe() { EXPECT_EQ(0, ::pipe2(ends, O_CLOEXEC)); }
    ~held_pipe() { ::close(ends[1]); }
    void answer(char byte) { EXPECT_EQ(1, ::write(ends[1], &byte, 1)); }
};

// One byte read within `interruption`'s scope, "given up", or the failure.
std::string read_byte(abandonable_file& file, const read_interruption_ptr& interruption) {
    const read_interruption_scope scope(interruption);
    try {
        uint8_t byte = 0;
        return file.read(&byte, 1) == 1 ? std::string(1, static_cast<char>(byte)) : std::string("the end");
    } catch (const read_interrupted&) {
        return "given up";
    } catch (const std::exception& e) {
        return e.what();
    }
}

// Runs `body` with an interruption of its own, switched on should `body`
// not be done within 10 s: a read that would wait for ever (a reader
// watching the caller's interruption) is given up, and the test fails
// rather than hangs.
template <class Body>
auto within_bound(Body body) -> decltype(body(read_interruption_ptr())) {
    const auto interruption = std::make_shared<read_interruption>();
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::thread watch([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!changed.wait_for(lock, std::chrono::seconds(10), [&] { return done; }))
            interruption->set(true);
    });
    const auto answer = body(interruption);
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    changed.notify_all();
    watch.join();
    return answer;
}

std::string read_byte_within_bound(abandonable_file& file) {
    return within_bound([&](const read_interruption_ptr& interruption) { return read_byte(file, interruption); });
}

// Files whose reads were given up, each keeping a place of `threads` until
// its pipe is written to: a share that hangs. Its pipes all lie on one
// file system, the system's for pipes.
struct hung_share {
    std::vector<std::unique_ptr<held_pipe>> pipes;
    std::vector<std::unique_ptr<abandonable_file>> files;

    hung_share(read_threads& threads, counted_starts& starts, int count) {
        for (int i = 0; i < count; ++i) {
            pipes.push_back(std::make_unique<held_pipe>());
            // Read by whichever thread calls, as the music is.
            files.push_back(
                std::make_unique<abandonable_file>(pipes[i]->ends[0], watched_interruption::caller, threads));
            const auto interruption = std::make_shared<read_interruption>();
            std::string outcome;
            const int started = starts.started();
            std::thread reader([&] { outcome = read_byte(*files[i], interruption); });
            const bool handed_over = starts.reach(started + 1);
            interruption->set(true);
            reader.join();
            EXPECT_TRUE(handed_over) << "the read was not handed to a thread";
            EXPECT_EQ("given up", outcome) << i;
        }
    }
};

} // namespace

// As many reads given up as there are places, each on a share that hangs:
// a new file is refused at once, its descriptor closed, and so is a new
// read of a file opened before, no thread started for either; a read that
// comes back gives its place back.
TEST(AbandonableFile, PastTheCapANewFileIsRefusedAtOnceAndAReadThatComesBackGivesItsPlaceBack) {
    counted_starts starts;
    read_threads threads(starts.starter());
    const int cap = read_threads::max_left_waiting;
    held_pipe early_pipe;
    abandonable_file early(early_pipe.ends[0], watched_interruption::caller, threads);
    hung_share share(threads, starts, cap);
    std::vector<std::unique_ptr<held_pipe>>& pipes = share.pipes;
    std::vector<std::unique_ptr<abandonable_file>>& files = share.files;
    ASSERT_EQ(cap, threads.left_waiting());

    held_pipe late;
    std::string refusal;
    try {
        const read_interruption_scope scope(std::make_shared<read_interruption>());
        abandonable_file refused(late.ends[0], watched_interruption::opener, threads);
    } catch (const errors::failure& e) {
        refusal = e.what();
        const int* code = boost::get_error_info<errinfo_errno>(e);
        EXPECT_TRUE(code && *code == EBUSY);
        EXPECT_EQ(file_refusal::earlier_calls_wait, refusal_of(std::current_exception()));
    }
    EXPECT_EQ(log_words(file_refusal::earlier_calls_wait), refusal);
    EXPECT_EQ(-1, ::fcntl(late.ends[0], F_GETFD)) << "the refused file's descriptor is still open";
    // A file opened before is refused its next read as well.
    early_pipe.answer('e');
    EXPECT_EQ(log_words(file_refusal::earlier_calls_wait), read_byte_within_bound(early));
    EXPECT_EQ(cap, starts.started());

    // The first share answers: the read given up gets its byte, and its
    // place is free again.
    pipes[0]->answer('a');
    EXPECT_EQ("a", read_byte_within_bound(*files[0]));
    EXPECT_EQ(cap - 1, threads.left_waiting());
    held_pipe next;
    next.answer('n');
    abandonable_file accepted(next.ends[0], watched_interruption::caller, threads);
    EXPECT_EQ("n", read_byte_within_bound(accepted));

    EXPECT_EQ("e", read_byte_within_bound(early));
    for (int i = 1; i < cap; ++i) {
        pipes[i]->answer('b');
        EXPECT_EQ("b", read_byte_within_bound(*files[i])) << i;
    }
    EXPECT_EQ(0, threads.left_waiting());
}

// No thread to be had: the file is read on the caller's thread, and keeps
// no place.
TEST(AbandonableFile, WithoutAThreadAFileIsReadOnTheCallersThread) {
    read_threads refusing([](std::function<void()>) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    held_pipe pipe;
    pipe.answer('x');
    const auto interruption = std::make_shared<read_interruption>();
    const read_interruption_scope scope(interruption);
    abandonable_file file(pipe.ends[0], watched_interruption::opener, refusing);
    EXPECT_EQ("x", read_byte(file, interruption));
    EXPECT_EQ(0, refusing.left_waiting());
}

// The end of a file, once met, is not asked for again: a file that grows
// afterwards gives nothing more until a seek, on the caller's thread and
// on the reader's alike.
TEST(AbandonableFile, TheEndOnceMetStaysUntilASeek) {
    for (const bool own_thread : {false, true}) {
        SCOPED_TRACE(own_thread ? "own thread" : "caller's thread");
        test::TempDir dir;
        const std::string path = dir.file("grows.jpg");
        test::write_file(path, "abcdef");
        const read_interruption_scope scope(own_thread ? std::make_shared<read_interruption>()
                                                       : read_interruption_ptr());
        abandonable_file file(path);
        uint8_t bytes[64] = {};
        ASSERT_EQ(6u, file.read(bytes, sizeof bytes));
        EXPECT_EQ(0u, file.read(bytes, sizeof bytes));
        test::write_file(path, "abcdefghij");
        EXPECT_EQ(0u, file.read(bytes, sizeof bytes));
        EXPECT_EQ(0u, file.read(bytes, 2));
        EXPECT_EQ(6, file.seek(0, SEEK_CUR));
        ASSERT_EQ(4u, file.read(bytes, sizeof bytes));
        EXPECT_EQ("ghij", std::string(bytes, bytes + 4));
    }
}

namespace {

// The calls that never wait, answering as a system that refuses them with
// `refusal`, or as Linux 5.9 and 5.10 may: 0 before the end (here past
// the first page).
std::atomic<int> refusal{0};

int refused_locate(const char*) {
    errno = refusal.load();
    return -1;
}

ssize_t refused_read(int, void*, std::size_t, off_t) {
    errno = refusal.load();
    return -1;
}

ssize_t read_ending_early(int fd, void* buffer, std::size_t size, off_t offset) {
    const off_t page = 4096;
    const off_t at = offset >= 0 ? offset : ::lseek(fd, 0, SEEK_CUR);
    if (at >= page)
        return 0;
    return system_no_wait_calls().read_at_hand(fd, buffer, std::min<std::size_t>(size, page - at), offset);
}

// Puts `calls` in use for as long as it lives.
class calls_in_use {
public:
    explicit calls_in_use(const no_wait_calls& calls) : calls_(calls) { use_no_wait_calls(&calls_); }
    ~calls_in_use() { use_no_wait_calls(nullptr); }

private:
    const no_wait_calls calls_;
};

// All of a file, in pieces of an odd size, or the failure.
std::string read_whole(abandonable_file& file) {
    std::string whole;
    uint8_t piece[1000];
    try {
        while (const std::size_t got = file.read(piece, sizeof piece))
            whole.append(piece, piece + got);
    } catch (const std::exception& e) {
        return e.what();
    }
    return whole;
}

// A local photo opened as a photo is (by its path) or as the music is (a
// descriptor read by whichever thread calls), read whole within a scope.
std::string open_and_read(const std::string& path, bool as_music, read_threads& threads) {
    return within_bound([&](const read_interruption_ptr& interruption) {
        const read_interruption_scope scope(interruption);
        try {
            if (!as_music) {
                abandonable_file photo(path, threads);
                return read_whole(photo);
            }
            const int fd = open_regular_file(path);
            if (fd < 0)
                return std::string("not opened");
            abandonable_file music(fd, watched_interruption::caller, threads);
            return read_whole(music);
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    });
}

} // namespace

// While a share that hangs holds all of its places, a file of this
// machine's disk is read whole, both as a photo and as the music, however
// the calls that never wait answer: as they should, refused as an older
// kernel (ENOSYS) or a sandbox (EPERM) refuses them, or as bytes not in
// memory (EAGAIN), or with a 0 before the end. The share itself stays
// refused.
TEST(AbandonableFile, EveryRoadReadsALocalFileWholeWhileAShareThatHangsHoldsItsPlaces) {
    counted_starts starts;
    read_threads threads(starts.starter());
    hung_share share(threads, starts, read_threads::max_left_waiting);
    ASSERT_EQ(read_threads::max_left_waiting, threads.left_waiting());

    test::TempDir dir;
    const std::string path = dir.file("local.jpg");
    std::string bytes(300 * 1000, '\0'); // more than one read ahead
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    test::write_file(path, bytes);

    const no_wait_calls system = system_no_wait_calls();
    struct road {
        std::string what;
        no_wait_calls calls;
        int refused_with;
    };
    std::vector<road> roads = {
        {"the system's calls", system, 0},
        {"a read at hand that says 0 before the end", {system.locate_known, read_ending_early}, 0}};
    for (const int error : {ENOSYS, EPERM, EAGAIN}) {
        const std::string named = std::strerror(error);
        roads.push_back({"locating refused: " + named, {refused_locate, system.read_at_hand}, error});
        roads.push_back({"reading at hand refused: " + named, {system.locate_known, refused_read}, error});
    }
    for (const road& each : roads) {
        for (const bool as_music : {false, true}) {
            SCOPED_TRACE(each.what + (as_music ? ", as the music" : ", as a photo"));
            refusal = each.refused_with;
            const calls_in_use use(each.calls);
            const std::string read = open_and_read(path, as_music, threads);
            EXPECT_TRUE(read == bytes) << read.size() << " bytes: " << read.substr(0, 80);
        }
    }

    held_pipe more;
    std::string refused;
    try {
        abandonable_file file(more.ends[0], watched_interruption::caller, threads);
    } catch (const errors::failure& e) {
        const int* code = boost::get_error_info<errinfo_errno>(e);
        refused = std::string(e.what()) + (code && *code == EBUSY ? " (busy)" : "");
    }
    EXPECT_EQ(std::string(log_words(file_refusal::earlier_calls_wait)) + " (busy)", refused);

    for (std::size_t i = 0; i < share.pipes.size(); ++i) {
        share.pipes[i]->answer('a');
        EXPECT_EQ("a", read_byte_within_bound(*share.files[i]));
    }
    EXPECT_EQ(0, threads.left_waiting());
}

namespace {

// Opens `path` as a photo and reads a byte, within a scope of its own whose
// interruption is switched on once `under_way` has seen the opening ask
// (a share holding its request, a lease holder told of it): "given up",
// else what came instead, or "not asked" or "not given up" when the bound
// passed first (then `release` lets the opening end; the test has failed).
std::string open_then_give_up(const std::string& path, read_threads& threads, const std::function<bool()>& under_way,
                              const std::function<void()>& release) {
    const auto interruption = std::make_shared<read_interruption>();
    auto outcome = std::make_shared<std::promise<std::string>>();
    std::future<std::string> answered = outcome->get_future();
    std::thread opener([&threads, interruption, outcome, path] {
        const read_interruption_scope scope(interruption);
        try {
            abandonable_file file(path, threads);
            uint8_t byte = 0;
            file.read(&byte, 1);
            outcome->set_value("read");
        } catch (const read_interrupted&) {
            outcome->set_value("given up");
        } catch (const std::exception& e) {
            outcome->set_value(e.what());
        }
    });
    const bool asked = under_way();
    interruption->set(true);
    const bool returned = answered.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!returned)
        release();
    opener.join();
    return !asked ? "not asked" : !returned ? "not given up" : answered.get();
}

} // namespace

// A file server holds a lease on a photo of this machine's disk: opening
// it asks the server to let go, which may take the system's lease-break
// time (45 s). That wait happens on a reader's thread, never the
// caller's: a stop holds at once, and once the lease goes the call left
// behind opens the file and gives its place back.
TEST(AbandonableFile, AFileUnderALeaseIsWaitedForOnlyWhereAStopHolds) {
    test::TempDir dir;
    const std::string path = dir.file("leased.jpg");
    test::write_file(path, "leased bytes");
    test::lease_holder holder(path);
    ASSERT_EQ('l', holder.next()) << "no lease could be taken";

    read_threads threads;
    EXPECT_EQ("given up", open_then_give_up(
                              path, threads, [&] { return holder.next() == 'b'; }, [&] { holder.let_go(); }))
        << "the opening waited for the lease on the caller's thread";
    holder.let_go(); // the opening waits no more, whatever it waited in

    // The call moves its place from the lease's count back to the disk's
    // before it reads on, so a moment's 0 is not yet its return: it must
    // stay.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int seen_none = 0;
    while (seen_none < 5 && std::chrono::steady_clock::now() < deadline) {
        seen_none = threads.left_waiting() == 0 ? seen_none + 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(0, threads.left_waiting()) << "the call left behind did not come back once the lease went";
}


// Photos reached through links on this machine's disk (a folder link, a
// file link, a folder link and "..") into a share whose look-ups, openings
// or reads hang: each photo given up counts on the share, not on the disk
// the links lie on. Past the share's places a photo there, also through a
// mount of it bound elsewhere, is refused at once, while a photo and the
// music of the disk are read as ever; once the share answers, its places
// come back.
TEST(AbandonableFile, AShareReachedThroughALinkKeepsItsTroubleToItself) {
    test::TempDir dir;
    const std::string source = dir.file("source");
    const std::string mounted = dir.file("the share");
    const std::string bound = dir.file("bound");
    for (const std::string& folder : {source, source + "/sub", mounted, bound})
        ASSERT_EQ(0, ::mkdir(folder.c_str(), 0700));
    const std::string photo_bytes(100 * 1000, 'p');
    for (const char* name : {"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg", "/e.jpg"})
        test::write_file(source + name, photo_bytes);
    test::hanging_share share(source, mounted);
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();
    test::scoped_mount bound_mount(mounted, bound, nullptr, MS_BIND);
    ASSERT_EQ("", bound_mount.unavailable());
    ASSERT_EQ(0, ::symlink(mounted.c_str(), dir.file("Pictures").c_str()));
    ASSERT_EQ(0, ::symlink((mounted + "/b.jpg").c_str(), dir.file("b.jpg").c_str()));
    const std::string local = dir.file("local.jpg");
    test::write_file(local, photo_bytes);
    const std::vector<std::string> through_links = {dir.file("Pictures/a.jpg"), dir.file("b.jpg"),
                                                    dir.file("Pictures/sub/../c.jpg"), dir.file("Pictures/d.jpg")};

    for (const char* kind : {"lookup", "open", "read"}) {
        SCOPED_TRACE(std::string("the share's ") + kind + "s hang");
        read_threads threads;
        share.hang(kind);
        for (const std::string& path : through_links)
            EXPECT_EQ("given up", open_then_give_up(
                                      path, threads, [&] { return share.held_within(std::chrono::seconds(10)); },
                                      [&] { share.answer(); }))
                << path;
        EXPECT_EQ(read_threads::max_left_waiting, threads.left_waiting());

        for (const bool as_music : {false, true}) {
            SCOPED_TRACE(as_music ? "the music" : "a photo");
            const std::string read = open_and_read(local, as_music, threads);
            EXPECT_TRUE(read == photo_bytes) << read.substr(0, 80);
        }
        for (const std::string& path : {dir.file("Pictures/e.jpg"), bound + "/e.jpg"}) {
            const std::string refusal = within_bound([&](const read_interruption_ptr& interruption) {
                const read_interruption_scope scope(interruption);
                try {
                    abandonable_file file(path, threads);
                    return std::string("opened");
                } catch (const errors::failure& e) {
                    const int* code = boost::get_error_info<errinfo_errno>(e);
                    return std::string(e.what()) + (code && *code == EBUSY ? " (busy)" : "");
                }
            });
            EXPECT_EQ(std::string(log_words(file_refusal::earlier_calls_wait)) + " (busy)", refusal) << path;
        }

        share.answer();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (threads.left_waiting() != 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(0, threads.left_waiting()) << "the calls left behind did not come back";
    }
}

namespace {

// The whole sound of the music file, as the engine decodes it.
std::string decoded_sound(const std::string& path) {
    audio_track_file track(path, nullptr, false);
    std::string sound;
    while (audio_data_timed_ptr block = track.read(100.0))
        sound.append(reinterpret_cast<const char*>(block->data->data()), block->data->size());
    return sound;
}

bool listed_as_waiting(const std::string& path, file_refusal why) {
    for (const long_wait& wait : long_waits())
        if (wait.file == path && wait.why == why)
            return true;
    return false;
}

} // namespace

// The music under another program's lease (a file server's) is opened as a
// photo is, on a reader thread that waits for the lease to be let go: the
// wait is listed with its cause while it lasts, and a holder that lets go
// gives the very sound the file gives without a lease.
TEST(AbandonableFile, MusicUnderALeaseIsWaitedForNamedAndReadAsWithoutOne) {
    test::TempDir dir;
    const std::string path = dir.file("song.wav");
    test::make_tone_file(path, test::tone_file());
    const std::string unleased = decoded_sound(path);
    ASSERT_FALSE(unleased.empty());

    lease_holder holder(path);
    if (holder.next() != 'l')
        GTEST_SKIP() << "no lease can be taken here";
    auto sound = std::make_shared<std::promise<std::string>>();
    std::future<std::string> decoded = sound->get_future();
    std::thread loader([sound, path] {
        try {
            sound->set_value(decoded_sound(path));
        } catch (const std::exception& e) {
            sound->set_value(std::string("failed: ") + e.what());
        }
    });
    EXPECT_EQ('b', holder.next()) << "the music was not opened";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!listed_as_waiting(path, file_refusal::held_by_lease) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(listed_as_waiting(path, file_refusal::held_by_lease)) << "the wait for the lease is not named";
    holder.let_go();
    const bool answered = decoded.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    loader.join();
    ASSERT_TRUE(answered);
    const std::string leased = decoded.get();
    EXPECT_TRUE(leased == unleased) << leased.substr(0, 80);
    EXPECT_FALSE(listed_as_waiting(path, file_refusal::held_by_lease));
}

// Openings given up while they waited for other programs' leases count
// apart from the disk the files lie on: while four of them hold their
// places, a file of that disk that needs a reader is read as ever.
TEST(AbandonableFile, LeasesGivenUpLeaveTheDisksOwnFilesToBeRead) {
    test::TempDir dir;
    const std::string local = dir.file("local.jpg");
    test::write_file(local, "local bytes");
    std::vector<std::unique_ptr<lease_holder>> holders;
    read_threads threads;
    for (int i = 0; i < read_threads::max_left_waiting; ++i) {
        const std::string path = dir.file("leased " + std::to_string(i) + ".jpg");
        test::write_file(path, "leased");
        holders.push_back(std::make_unique<lease_holder>(path));
        ASSERT_EQ('l', holders.back()->next()) << "no lease could be taken";
        lease_holder& holder = *holders.back();
        EXPECT_EQ("given up", open_then_give_up(
                                  path, threads, [&] { return holder.next() == 'b'; }, [&] { holder.let_go(); }));
    }
    ASSERT_EQ(read_threads::max_left_waiting, threads.left_waiting());

    refusal = EAGAIN; // the file is read on a reader's thread
    {
        const calls_in_use use({refused_locate, system_no_wait_calls().read_at_hand});
        EXPECT_EQ("local bytes", open_and_read(local, false, threads));
    }
    holders.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (threads.left_waiting() != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(0, threads.left_waiting());
}

namespace {

// Holds the threads a set starts until let go: calls queued behind the
// program's own threads, or waiting for a processor.
class held_starts {
public:
    ~held_starts() { let_go(); }
    read_threads::thread_starter starter() {
        return [this](std::function<void()> body) {
            std::thread([this, body = std::move(body)] {
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    changed_.wait(lock, [this] { return let_go_; });
                }
                body();
            }).detach();
        };
    }
    void let_go() {
        std::lock_guard<std::mutex> lock(mutex_);
        let_go_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool let_go_ = false;
};

// A gate the calls' bodies wait at: a file system that does not answer
// until opened.
struct file_system_gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int done = 0;
    void pass() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return open; });
        ++done;
        changed.notify_all();
    }
    void open_and_wait_for(int count) {
        std::unique_lock<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
        EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return done >= count; }));
    }
};

void spin_for(std::chrono::milliseconds busy) {
    const auto until = std::chrono::steady_clock::now() + busy;
    while (std::chrono::steady_clock::now() < until) {
    }
}

bool becomes(const std::function<bool()>& condition, std::chrono::seconds bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (!condition() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

} // namespace

// A disk that answers never fills its places, however long its calls wait
// for a thread or a processor: calls left to themselves count only once
// their file system has kept them waiting, and a patience runs out only on
// the time the file system did not answer.
TEST(AbandonableFile, OnlyTheTimeAFileSystemDoesNotAnswerTakesItsPlaces) {
    const file_system_id disk = 42;
    const int cap = read_threads::max_left_waiting;
    {
        held_starts queued;
        read_threads threads(queued.starter());
        std::atomic<int> closed{0};
        for (int i = 0; i < 2 * cap; ++i)
            leave_to_itself(disk, [&closed] { ++closed; }, threads);
        EXPECT_FALSE(threads.full(disk)) << "closes waiting for their threads took the disk's places";
        EXPECT_EQ(0, threads.left_waiting());
        queued.let_go();
        EXPECT_TRUE(becomes([&] { return closed == 2 * cap; }, std::chrono::seconds(10)));
    }
    read_threads threads;
    std::atomic<int> busy_done{0};
    for (int i = 0; i < cap; ++i)
        leave_to_itself(disk, [&busy_done] { spin_for(std::chrono::milliseconds(900)); ++busy_done; }, threads);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_FALSE(threads.full(disk)) << "calls running on the processors were taken for calls not answered";
    EXPECT_TRUE(becomes([&] { return busy_done == cap; }, std::chrono::seconds(20)));

    const read_interruption_scope patient(std::make_shared<read_interruption>(), std::chrono::milliseconds(200));
    bool named = true;
    EXPECT_NO_THROW(run_abandonable(
        "busy",
        [&named](call_steps&) {
            spin_for(long_wait_after + std::chrono::milliseconds(300));
            const auto waits = long_waits();
            named = std::any_of(waits.begin(), waits.end(), [](const long_wait& wait) { return wait.file == "busy"; });
        },
        {}, threads))
        << "a call that ran past its patience on the processor was given up";
    EXPECT_FALSE(named) << "a call busy on the processor was named as one its file system kept waiting";

    const auto gate = std::make_shared<file_system_gate>();
    EXPECT_EQ(file_refusal::does_not_answer, [&] {
        try {
            run_abandonable(
                "held", [gate, disk](call_steps& steps) { steps.asking(disk), gate->pass(); }, {}, threads);
        } catch (...) {
            return refusal_of(std::current_exception());
        }
        return file_refusal::none;
    }());
    for (int i = 0; i < cap - 1; ++i)
        leave_to_itself(disk, [gate] { gate->pass(); }, threads);
    EXPECT_TRUE(becomes([&] { return threads.full(disk); }, std::chrono::seconds(5)))
        << "closes the disk never answered took no place";
    gate->open_and_wait_for(cap);
    EXPECT_TRUE(becomes([&] { return threads.left_waiting() == 0 && !threads.full(disk); }, std::chrono::seconds(5)));
}
