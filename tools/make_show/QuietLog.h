#pragma once
// Keeps the engine's chatter off a program's output: while it lives,
// standard output (where the library logs, and the renderer writes a line
// per frame) passes on only the library's error and warning lines, to
// standard error; everything else written to std::cout is dropped, and so
// is the library's line on a wait that lasts, which the program words
// itself. The program prints its own lines through out(), the real
// standard output.
// Once silence_engine() has returned, nothing of the engine goes through:
// a worker that could not be joined never speaks after the program's last
// line, as long as the quiet_log lives; its end gives std::cout back.
//
// Threads: many threads log at once; each gathers its line apart, and a
// whole line goes out under one lock.

#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

namespace make_show {

class quiet_log : private std::streambuf {
public:
    quiet_log() : out_(std::cout.rdbuf()) {
        out_.imbue(std::locale::classic());
        std::cout.rdbuf(this);
    }
    ~quiet_log() override {
        std::cout.flush();
        std::cout.rdbuf(out_.rdbuf());
    }
    quiet_log(const quiet_log&) = delete;
    quiet_log& operator=(const quiet_log&) = delete;

    std::ostream& out() { return out_; }

    void silence_engine() {
        std::lock_guard<std::mutex> lock(mutex_);
        silenced_ = true;
    }

private:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        put(traits_type::to_char_type(c));
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        for (std::streamsize i = 0; i < count; ++i)
            put(text[i]);
        return count;
    }

    void put(char c) {
        std::string& line = partial_line();
        line += c;
        if (c != '\n')
            return;
        const bool said = line.compare(0, 16, "[kestrel][error]") == 0 ||
                          (line.compare(0, 18, "[kestrel][warning]") == 0 &&
                           line.compare(0, 37, "[kestrel][warning][read] waiting for ") != 0);
        if (said) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!silenced_)
                std::cerr << line << std::flush;
        }
        line.clear();
    }
    static std::string& partial_line() {
        thread_local std::string line;
        return line;
    }

    std::ostream out_;
    std::mutex mutex_;
    bool silenced_ = false;
};

} // namespace make_show
