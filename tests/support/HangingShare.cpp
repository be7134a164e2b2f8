#include "support/HangingShare.h"

#include "files/DTFileSystem.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kestrel {
namespace test {

namespace {

// A mount point as mountinfo writes it: a space, a tab, a newline or a
// backslash as a backslash and three octal digits.
std::string unescaped(const std::string& word) {
    std::string plain;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '\\' && word.size() - i > 3) {
            plain += static_cast<char>(std::strtol(word.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            plain += word[i];
        }
    }
    return plain;
}

// The device of the latest mount at `mount_point`, from the mount table:
// the share is not asked (only the folder the mount point lies in).
file_system_id device_mounted_at(const std::string& mount_point) {
    const std::size_t slash = mount_point.find_last_of('/');
    char* folder = ::realpath(slash == std::string::npos ? "." : mount_point.substr(0, slash + 1).c_str(), nullptr);
    if (!folder)
        return 0;
    const std::string wanted = std::string(folder) + (folder[1] ? "/" : "") + mount_point.substr(slash + 1);
    std::free(folder);
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    file_system_id found = 0;
    while (std::getline(mounts, line)) {
        std::istringstream words(line);
        words.imbue(std::locale::classic());
        unsigned long long id = 0, parent = 0;
        unsigned major_number = 0, minor_number = 0;
        char colon = 0;
        std::string root, point;
        if ((words >> id >> parent >> major_number >> colon >> minor_number >> root >> point) && colon == ':' &&
            unescaped(point) == wanted)
            found = makedev(major_number, minor_number);
    }
    return found;
}

// The number of the FUSE connection mounted at `mount_point`, as
// /sys/fs/fuse/connections names it (the kernel's form of its device
// number), learnt without asking the share.
std::string fuse_connection(const std::string& mount_point) {
    const file_system_id device = device_mounted_at(mount_point);
    return std::to_string((static_cast<unsigned long long>(major(device)) << 20) | minor(device));
}

// Whatever waits on the connection gets ENOTCONN at once.
void abort_connection(const std::string& connection) {
    const int abort = ::open(("/sys/fs/fuse/connections/" + connection + "/abort").c_str(), O_WRONLY | O_CLOEXEC);
    if (abort < 0)
        return;
    (void)!::write(abort, "1", 1);
    ::close(abort);
}

std::chrono::milliseconds left_until(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
}

} // namespace

scoped_mount::scoped_mount(const std::string& source, const std::string& target, const char* type,
                           unsigned long flags, const char* options)
    : target_(target) {
    if (::mount(source.c_str(), target.c_str(), type, flags, options) != 0)
        unavailable_ = "cannot mount " + target + ": " + std::strerror(errno);
}

scoped_mount::~scoped_mount() {
    if (unavailable_.empty())
        ::umount2(target_.c_str(), MNT_DETACH);
}

hanging_share::hanging_share(const std::string& source, const std::string& mount_point) : mount_point_(mount_point) {
    // A socket, not a pipe: a server gone makes a command fail, never
    // SIGPIPE the test.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throw std::runtime_error("no socket for the share's server");
    server_ = ::fork();
    if (server_ < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        throw std::runtime_error("the share's server could not be started");
    }
    if (server_ == 0) {
        ::dup2(ends[1], STDIN_FILENO);
        ::dup2(ends[1], STDOUT_FILENO);
        ::execl(KESTREL_HANGING_SHARE, KESTREL_HANGING_SHARE, source.c_str(), mount_point.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    server_ends_ = ends[0];
    // Far above the slowest start on a loaded machine: a share missing
    // would skip the test.
    const std::string first = next_line(std::chrono::seconds(30));
    if (first != "ready")
        unavailable_ = first.empty() ? std::string("the share's server did not start") : first;
    else
        connection_ = fuse_connection(mount_point);
}

hanging_share::~hanging_share() {
    // Its standard input ending, the server answers what it holds,
    // unmounts and ends; one that does not is made to.
    ::shutdown(server_ends_, SHUT_WR);
    if (server_ > 0 && !ended_within(std::chrono::seconds(5))) {
        ::kill(server_, SIGKILL);
        ended_within(std::chrono::seconds(5));
        if (!connection_.empty())
            abort_connection(connection_);
        if (unavailable_.empty())
            ::umount2(mount_point_.c_str(), MNT_DETACH);
    }
    ::close(server_ends_);
}

bool hanging_share::ended_within(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (::waitpid(server_, nullptr, WNOHANG) == server_)
            return true;
        const auto left = left_until(deadline);
        if (left.count() <= 0)
            return false;
        pollfd wait{server_ends_, POLLIN, 0};
        if (::poll(&wait, 1, static_cast<int>(std::min<long long>(left.count(), 20))) > 0) {
            char dropped[256];
            if (::read(server_ends_, dropped, sizeof dropped) <= 0) // gone: only the reaping is left
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

void hanging_share::tell(const std::string& command) {
    const std::lock_guard<std::mutex> talking(talking_);
    const std::string line = command + "\n";
    if (::send(server_ends_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
        throw std::runtime_error("the share's server is gone");
    for (;;) {
        const std::string heard = next_line(std::chrono::seconds(30));
        if (heard == "ok")
            return;
        if (heard.compare(0, 5, "held ") != 0)
            throw std::runtime_error("the share's server did not take \"" + command + "\": " + heard);
    }
}

void hanging_share::hang(const std::string& kind) {
    last_hang_ = std::chrono::steady_clock::now().time_since_epoch().count();
    hanging_ = true;
    tell("hang " + kind);
}

std::chrono::steady_clock::time_point hanging_share::last_hang() const {
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(last_hang_.load()));
}

void hanging_share::answer() {
    hanging_ = false;
    tell("answer");
}

bool hanging_share::held_within(std::chrono::milliseconds bound, int count) {
    const std::lock_guard<std::mutex> talking(talking_);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (held_ < count) {
        const auto left = left_until(deadline);
        if (left.count() <= 0 || next_line(left).empty())
            break;
    }
    const bool held = held_ >= count;
    held_ = 0;
    return held;
}

std::string hanging_share::next_line(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const std::size_t end = heard_.find('\n');
        if (end != std::string::npos) {
            const std::string line = heard_.substr(0, end);
            heard_.erase(0, end + 1);
            if (line.compare(0, 5, "held ") == 0)
                ++held_;
            return line;
        }
        const auto left = left_until(deadline);
        pollfd wait{server_ends_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            return std::string();
        char chunk[256];
        const ssize_t got = ::read(server_ends_, chunk, sizeof chunk);
        if (got <= 0)
            return std::string();
        heard_.append(chunk, static_cast<std::size_t>(got));
    }
}

bool returns_unhelped(hanging_share& share, std::chrono::milliseconds bound, const std::function<void()>& call) {
    std::promise<void> returned;
    std::atomic<bool> helped{false};
    std::thread watchdog([&, done = returned.get_future()] {
        const auto started = std::chrono::steady_clock::now();
        for (;;) {
            // Until the share hangs nothing can wait for it: the call's own
            // work before (a video made on busy cores) is not timed.
            if (!share.hanging()) {
                if (done.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready)
                    return;
                continue;
            }
            const auto give_up = std::max(started, share.last_hang()) + bound;
            if (std::chrono::steady_clock::now() >= give_up) {
                helped = true;
                share.answer();
                return;
            }
            if (done.wait_until(give_up) == std::future_status::ready)
                return;
        }
    });
    call();
    returned.set_value();
    watchdog.join();
    return !helped;
}

answer_when_held::answer_when_held(hanging_share& share, std::function<bool()> held)
    : watchdog_([&share, held = std::move(held), done = finished_.get_future()] {
          while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
              if (held())
                  share.answer();
      }) {}

answer_when_held::~answer_when_held() {
    finished_.set_value();
    watchdog_.join();
}

} // namespace test
} // namespace kestrel
