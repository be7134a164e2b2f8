#pragma once
// The processes a process has started that still run, found by one word of
// their command lines (their option, say), from what /proc says of them. A
// process that ends meanwhile is not one.

#include <dirent.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace kestrel {
namespace test {

namespace child_processes_detail {

// What `path` holds, as much as could be read.
inline std::string read_all(const std::string& path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char bytes[4096];
    ssize_t count;
    while (fd >= 0 && (count = ::read(fd, bytes, sizeof bytes)) > 0)
        text.append(bytes, std::size_t(count));
    if (fd >= 0)
        ::close(fd);
    return text;
}

} // namespace child_processes_detail

inline std::vector<pid_t> children_running(pid_t parent, const std::string& word)
{
    using child_processes_detail::read_all;
    std::vector<pid_t> found;
    DIR* processes = ::opendir("/proc");
    while (const dirent* entry = processes ? ::readdir(processes) : nullptr) {
        const std::string folder = std::string("/proc/") + entry->d_name;
        if (read_all(folder + "/status").find("\nPPid:\t" + std::to_string(parent) + "\n") != std::string::npos &&
            read_all(folder + "/cmdline").find(word + '\0') != std::string::npos)
            found.push_back(pid_t(std::stoi(entry->d_name)));
    }
    if (processes)
        ::closedir(processes);
    return found;
}

} // namespace test
} // namespace kestrel
