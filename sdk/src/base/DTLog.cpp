#include "base/DTLog.h"

#include "base/DTUtf8Text.h"

#include <boost/thread/mutex.hpp>

#include <string>

namespace kestrel {

namespace {

// Collects one thread's line and writes it to its target in one piece.
class line_buffer : public std::streambuf {
public:
    ~line_buffer() override { sync(); }

    void retarget(std::ostream* target) {
        if (target != target_) {
            sync();
            target_ = target;
        }
    }

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            text_ += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        text_.append(text, static_cast<std::size_t>(count));
        return count;
    }

    int sync() override {
        if (target_ && !text_.empty()) {
            // Never destroyed: detached threads (the music loader, the feed
            // downloads) may still log while the process runs its exit.
            static boost::mutex& output_mutex = *new boost::mutex;
            boost::mutex::scoped_lock lock(output_mutex);
            target_->write(text_.data(), static_cast<std::streamsize>(text_.size()));
            target_->flush();
        }
        text_.clear();
        return 0;
    }

private:
    std::ostream* target_ = nullptr;
    std::string text_;
};

std::ostream& line_stream(std::ostream* target) {
    thread_local line_buffer buffer;
    thread_local std::ostream stream(&buffer);
    buffer.retarget(target);
    return stream;
}

// A byte that would break the line or the quotes.
bool breaks_a_quoted_line(unsigned char c) { return c < 0x20 || c == 0x7F || c == '"' || c == '\\'; }

// Bytes [from, to) of the text, each that would break the line or the
// quotes, or is no part of UTF-8 text, as \xNN.
void append_escaped(std::string& out, const std::string& text, std::size_t from, std::size_t to) {
    append_utf8_escaped(out, text.data() + from, text.data() + to, breaks_a_quoted_line);
}

} // namespace

namespace logger {

std::ostream& null_stream() {
    thread_local basic_nullbuf<char> buffer;
    thread_local std::ostream stream(&buffer);
    return stream;
}

std::wostream& null_wstream() {
    thread_local basic_nullbuf<wchar_t> buffer;
    thread_local std::wostream stream(&buffer);
    return stream;
}

// Function-local statics: other libraries' static initialisers may log
// before this file's own would have run.
const log_level& error() {
    static const log_level level = {&std::cout, "error"};
    return level;
}

const log_level& warning() {
    static const log_level level = {&std::cout, "warning"};
    return level;
}

const log_level& info() {
    static const log_level level = {&std::cout, "info"};
    return level;
}

const log_level& trace() {
    thread_local const log_level level = {&null_stream(), "trace"};
    return level;
}

} // namespace logger

std::ostream& log_line(const log_level& level) {
    // A discarded line costs only its formatting.
    std::ostream& out = level.stream == &logger::null_stream() ? *level.stream
                                                                : line_stream(level.stream);
    return out << "[kestrel][" << level.name << "]";
}

std::string log_quoted(const std::string& text) {
    const std::size_t shown = 300;
    std::string quoted = "\"";
    if (text.size() <= shown) {
        append_escaped(quoted, text, 0, text.size());
    } else {
        append_escaped(quoted, text, 0, shown / 2);
        quoted += "...";
        append_escaped(quoted, text, text.size() - shown / 2, text.size());
    }
    return quoted + "\"";
}

} // namespace kestrel
