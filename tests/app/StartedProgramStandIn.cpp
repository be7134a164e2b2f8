// A program as the program starts one (the desktop's opener, a program
// handed to its launcher): it reads from its own /proc/self/status which
// of SIGTERM, SIGHUP and SIGINT it blocks and ignores, and which processes
// read its standard error when that is a pipe, and says so on standard
// error, which every starter leaves it from the program, as masks of
// those three in hexadecimal and the readers' numbers:
//   started <first argument>: end signals blocked <mask> ignored <mask>,
//   standard error no pipe | pipe read by[ <pid>]...
// (on one line).

#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether the descriptor /proc/<process>/fd/<fd> is open for reading only.
bool readsOnly(const std::string& process, const char* fd)
{
    unsigned flags = O_WRONLY;
    char line[256];
    std::FILE* info = std::fopen((process + "/fdinfo/" + fd).c_str(), "r");
    while (info && std::fgets(line, sizeof line, info))
        std::sscanf(line, "flags: %o", &flags);
    if (info)
        std::fclose(info);
    return (flags & O_ACCMODE) == O_RDONLY;
}

// The processes that hold the read end of the pipe `pipe` ("pipe:[<inode>]").
std::string readersOf(const std::string& pipe)
{
    std::string readers;
    DIR* processes = ::opendir("/proc");
    while (dirent* process = processes ? ::readdir(processes) : nullptr) {
        const std::string pid = process->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || std::atol(pid.c_str()) == ::getpid())
            continue;
        const std::string folder = "/proc/" + pid;
        DIR* fds = ::opendir((folder + "/fd").c_str());
        while (dirent* fd = fds ? ::readdir(fds) : nullptr) {
            char target[64];
            const ssize_t size = ::readlink((folder + "/fd/" + fd->d_name).c_str(), target, sizeof target - 1);
            if (size > 0 && std::string(target, size_t(size)) == pipe && readsOnly(folder, fd->d_name)) {
                readers += " " + pid;
                break;
            }
        }
        if (fds)
            ::closedir(fds);
    }
    if (processes)
        ::closedir(processes);
    return readers;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned long long blocked = ~0ULL, ignored = ~0ULL;
    char line[256];
    std::FILE* status = std::fopen("/proc/self/status", "r");
    while (status && std::fgets(line, sizeof line, status)) {
        std::sscanf(line, "SigBlk: %llx", &blocked);
        std::sscanf(line, "SigIgn: %llx", &ignored);
    }
    const unsigned long long end = (1ULL << (SIGTERM - 1)) | (1ULL << (SIGHUP - 1)) | (1ULL << (SIGINT - 1));
    struct stat error;
    const bool piped = ::fstat(STDERR_FILENO, &error) == 0 && S_ISFIFO(error.st_mode);
    const std::string errorTo =
        piped ? "pipe read by" + readersOf("pipe:[" + std::to_string(error.st_ino) + "]") : "no pipe";
    std::fprintf(stderr, "started %s: end signals blocked %llx ignored %llx, standard error %s\n",
                 argc > 1 ? argv[1] : "", blocked & end, ignored & end, errorTo.c_str());
    return 0;
}
