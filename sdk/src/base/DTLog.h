#pragma once
// The library's log: four levels, each bound to a stream. A line is
// "[kestrel][<level>]" followed by what the caller writes, usually
// "[component] message", and ends with std::endl.
//
//   log_line(logger::info()) << "[slideshow_produce] start produce" << std::endl;
//
// Lines are logged from many threads at once (producer, read-ahead, photo
// workers, FFmpeg's codec threads). Each thread gathers its line in a stream
// of its own and hands it to the level's stream whole when the line is
// flushed, so lines never interleave and threads never share a stream.

#include <iostream> // every logging unit initialises std::cout before it logs
#include <streambuf>
#include <string>

namespace kestrel {

struct log_level {
    std::ostream* stream;
    const char* name;
};

// A stream buffer that swallows everything and never fails.
template <class Char, class Traits = std::char_traits<Char>>
class basic_nullbuf : public std::basic_streambuf<Char, Traits> {
protected:
    typename Traits::int_type overflow(typename Traits::int_type c) override {
        return Traits::eq_int_type(c, Traits::eof()) ? typename Traits::int_type() : c;
    }
};

namespace logger {
// Error, warning and info go to standard output, trace to a null stream.
const log_level& error();
const log_level& warning();
const log_level& info();
// The trace entry and the null streams are per thread: writing to a stream
// changes its state, so threads must not share one.
const log_level& trace();
std::ostream& null_stream();
std::wostream& null_wstream();
} // namespace logger

// Starts a line on the level; the caller writes the rest and ends it with
// std::endl (or flushes it).
std::ostream& log_line(const log_level& level);

// Text from outside (a path, a web address) as a line may show it: in double
// quotes, on one line (control bytes, quotes and backslashes as \xNN), as
// UTF-8 text (each other byte as \xNN, as messages show it: base/DTUtf8Text.h),
// and no longer than 300 bytes of the text: a longer one keeps its start
// and its end around "...".
std::string log_quoted(const std::string& text);

} // namespace kestrel
