#pragma once
// Standard output silenced while it lives: the library logs, and prints a
// line per render, there; the benchmarks print their figures after the runs.

#include <iostream>
#include <streambuf>

namespace bench {

class quiet_stdout {
public:
    quiet_stdout() : saved_(std::cout.rdbuf(&null_)) {}
    ~quiet_stdout() { std::cout.rdbuf(saved_); }
    quiet_stdout(const quiet_stdout&) = delete;
    quiet_stdout& operator=(const quiet_stdout&) = delete;

private:
    struct null_buffer : std::streambuf {
        int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    } null_;
    std::streambuf* saved_;
};

} // namespace bench
