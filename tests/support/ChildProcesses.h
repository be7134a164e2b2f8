#pragma once
// The processes a process has started that still run, found by one word of
// their command lines (their option, say), from what /proc says of them.

#include <dirent.h>
#include <sys/types.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kestrel {
namespace test {

inline std::vector<pid_t> children_running(pid_t parent, const std::string& word)
{
    std::vector<pid_t> found;
    DIR* processes = ::opendir("/proc");
    while (const dirent* entry = processes ? ::readdir(processes) : nullptr) {
        const std::string folder = std::string("/proc/") + entry->d_name;
        std::ifstream status(folder + "/status"), command(folder + "/cmdline");
        const std::string said((std::istreambuf_iterator<char>(status)), std::istreambuf_iterator<char>());
        const std::string words((std::istreambuf_iterator<char>(command)), std::istreambuf_iterator<char>());
        if (said.find("\nPPid:\t" + std::to_string(parent) + "\n") != std::string::npos &&
            words.find(word + '\0') != std::string::npos)
            found.push_back(pid_t(std::stoi(entry->d_name)));
    }
    if (processes)
        ::closedir(processes);
    return found;
}

} // namespace test
} // namespace kestrel
