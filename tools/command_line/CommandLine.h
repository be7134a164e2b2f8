#pragma once
// A program's command line, read the one way every program of the project
// reads it, before the program does any work:
//   --help, -h   the usage (the usage line, then what the program does, its
//                arguments and their defaults) to standard output; the
//                program ends at once with 0
//   -x, --xyz    an option the program does not know: named on standard
//                error with the usage line; the program ends with 64
//   --           ends the options: every word after it is an argument
// The other words are the program's arguments, in order; a word that looks
// like a negative number ("-5") is an argument too, for the program to
// judge. Fewer or more arguments than the program takes: the usage line on
// standard error, and the program ends with 64. Nothing is thrown but
// std::bad_alloc. Main thread.

#include <cstddef>
#include <string>
#include <vector>

namespace command_line {

// The exit status of a wrong command line (EX_USAGE of sysexits.h).
inline constexpr int exit_usage = 64;

struct usage {
    std::string program;  // "kestrel_stop_bench"
    std::string synopsis; // "[runs] [preset]"
    std::string help;     // what follows the usage line; ends with a newline
    std::size_t least;    // how many arguments it takes
    std::size_t most;
};

class arguments {
public:
    arguments(int argc, const char* const* argv, usage about);

    // Whether the program is to end at once, with exit_status(): 0 once the
    // usage was printed, 64 once an unknown option or a wrong count was named.
    bool ended() const { return status_ >= 0; }
    int exit_status() const { return status_; }

    std::size_t count() const { return words_.size(); }
    // The argument at `index`, or `fallback` when fewer were given.
    std::string at(std::size_t index, const std::string& fallback = std::string()) const;

    // Names what is wrong on standard error ("<program>: <why>", or nothing
    // when `why` is empty) followed by the usage line, and returns 64 for
    // main to return.
    int refuse(const std::string& why = std::string()) const;

private:
    usage about_;
    std::vector<std::string> words_;
    int status_ = -1;
};

} // namespace command_line
