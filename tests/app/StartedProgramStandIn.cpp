// A program as the program starts one (the desktop's opener, a program
// handed to its launcher): it reads from its own /proc/self/status which
// of SIGTERM, SIGHUP and SIGINT it blocks and ignores, and says so on
// standard error, which both starters leave it from the program, as masks
// of those three in hexadecimal:
//   started <first argument>: end signals blocked <mask> ignored <mask>

#include <csignal>
#include <cstdio>

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
    std::fprintf(stderr, "started %s: end signals blocked %llx ignored %llx\n", argc > 1 ? argv[1] : "",
                 blocked & end, ignored & end);
    return 0;
}
