#include "ServedProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace kestrel {
namespace share {

namespace {

// The kernel's mark of a task that is exiting (include/linux/sched.h).
const unsigned long task_exiting = 0x4;

// The whole of a small file of the process's /proc folder; empty once the
// process is gone.
std::string read_whole(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string();
    std::string text;
    char chunk[1024];
    for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(got));
    ::close(fd);
    return text;
}

// The value after "<key>:" in /proc/PID/status, without its blanks.
std::string status_value(const std::string& status, const char* key) {
    const std::string wanted = std::string("\n") + key + ":";
    const std::size_t at = status.find(wanted);
    if (at == std::string::npos)
        return std::string();
    const std::size_t begin = status.find_first_not_of(" \t", at + wanted.size());
    const std::size_t end = status.find('\n', at + 1);
    return begin == std::string::npos || begin >= end ? std::string() : status.substr(begin, end - begin);
}

// Whether a mask of signals, as status writes it in hexadecimal, holds SIGKILL.
bool holds_kill(const std::string& mask) {
    return !mask.empty() && (std::strtoull(mask.c_str(), nullptr, 16) >> (SIGKILL - 1) & 1) != 0;
}

// The state letter and the flags in /proc/PID/stat: the third and the
// ninth field, counted after the command's closing parenthesis (the
// command may hold spaces and parentheses).
bool state_and_flags(const std::string& stat, char& state, unsigned long& flags) {
    const std::size_t closing = stat.rfind(')');
    if (closing == std::string::npos || closing + 2 >= stat.size())
        return false;
    state = stat[closing + 2];
    const char* field = stat.c_str() + closing + 2;
    for (int skipped = 0; skipped < 6; ++skipped) {
        field = std::strchr(field, ' ');
        if (!field)
            return false;
        ++field;
    }
    flags = std::strtoul(field, nullptr, 10);
    return true;
}

} // namespace

served_process::served_process()
    : folder_(::open(("/proc/" + std::to_string(::getppid())).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

served_process::~served_process() {
    if (folder_ >= 0)
        ::close(folder_);
}

bool served_process::ending() const {
    if (folder_ < 0)
        return true;
    const std::string stat = read_whole(folder_, "stat");
    const std::string status = read_whole(folder_, "status");
    char state = 0;
    unsigned long flags = 0;
    if (stat.empty() || status.empty() || !state_and_flags(stat, state, flags))
        return true; // gone
    return state == 'Z' || state == 'X' || (flags & task_exiting) != 0 || holds_kill(status_value(status, "SigPnd")) ||
           holds_kill(status_value(status, "ShdPnd")) || status_value(status, "CoreDumping") == "1";
}

} // namespace share
} // namespace kestrel
