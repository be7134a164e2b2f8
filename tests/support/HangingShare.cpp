#include "support/HangingShare.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kestrel {
namespace test {

scoped_mount::scoped_mount(const std::string& source, const std::string& target, const char* type,
                           unsigned long flags)
    : target_(target) {
    if (::mount(source.c_str(), target.c_str(), type, flags, nullptr) != 0)
        unavailable_ = "cannot mount " + target + ": " + std::strerror(errno);
}

scoped_mount::~scoped_mount() {
    if (unavailable_.empty())
        ::umount2(target_.c_str(), MNT_DETACH);
}

hanging_share::hanging_share(const std::string& source, const std::string& mount_point) {
    int to[2], from[2];
    if (::pipe2(to, O_CLOEXEC) != 0 || ::pipe2(from, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe for the share's server");
    server_ = ::fork();
    if (server_ == 0) {
        ::dup2(to[0], STDIN_FILENO);
        ::dup2(from[1], STDOUT_FILENO);
        ::execl(KESTREL_HANGING_SHARE, KESTREL_HANGING_SHARE, source.c_str(), mount_point.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(to[0]);
    ::close(from[1]);
    to_server_ = to[1];
    from_server_ = from[0];
    const std::string first = next_line(std::chrono::seconds(10));
    if (first != "ready")
        unavailable_ = first.empty() ? std::string("the share's server did not start") : first;
}

hanging_share::~hanging_share() {
    // Its standard input ending, the server answers what it holds,
    // unmounts and ends.
    ::close(to_server_);
    if (server_ > 0)
        ::waitpid(server_, nullptr, 0);
    ::close(from_server_);
}

void hanging_share::tell(const std::string& command) {
    const std::string line = command + "\n";
    if (::write(to_server_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        throw std::runtime_error("the share's server is gone");
    for (;;) {
        const std::string heard = next_line(std::chrono::seconds(10));
        if (heard == "ok")
            return;
        if (heard.empty() || heard.compare(0, 5, "held ") != 0)
            throw std::runtime_error("the share's server did not take \"" + command + "\"");
    }
}

void hanging_share::hang(const std::string& kind) { tell("hang " + kind); }

void hanging_share::answer() { tell("answer"); }

bool hanging_share::held_within(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (held_ == 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || next_line(left).empty())
            break;
    }
    const bool held = held_ > 0;
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
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait{from_server_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            return std::string();
        char chunk[256];
        const ssize_t got = ::read(from_server_, chunk, sizeof chunk);
        if (got <= 0)
            return std::string();
        heard_.append(chunk, static_cast<std::size_t>(got));
    }
}

} // namespace test
} // namespace kestrel
