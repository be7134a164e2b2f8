#include "DTLog.h"

#include <iostream>

namespace kestrel {
namespace logger {

// Function-local statics: other libraries' static initialisers may log
// before this file's own would have run.
std::ostream& null_stream() {
    static basic_nullbuf<char> buffer;
    static std::ostream stream(&buffer);
    return stream;
}

std::wostream& null_wstream() {
    static basic_nullbuf<wchar_t> buffer;
    static std::wostream stream(&buffer);
    return stream;
}

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
    static const log_level level = {&null_stream(), "trace"};
    return level;
}

} // namespace logger

std::ostream& log_line(const log_level& level) {
    return *level.stream << "[kestrel][" << level.name << "]";
}

} // namespace kestrel
