// A program as the program starts one (the desktop's opener, a program
// handed to its launcher): it reads how it takes signals from its own
// /proc/self/status and says so on standard error, which both starters
// leave it from the program, in one line:
//   started <first argument> blocked <SigBlk> ignored <SigIgn>
// (the kernel's masks in hexadecimal), then ends.

#include <cstdio>

int main(int argc, char** argv)
{
    char blocked[32] = "?", ignored[32] = "?", line[256];
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        while (std::fgets(line, sizeof line, status)) {
            std::sscanf(line, "SigBlk: %31s", blocked);
            std::sscanf(line, "SigIgn: %31s", ignored);
        }
        std::fclose(status);
    }
    std::fprintf(stderr, "started %s blocked %s ignored %s\n", argc > 1 ? argv[1] : "", blocked, ignored);
    return 0;
}
