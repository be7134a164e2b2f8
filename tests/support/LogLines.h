#pragma once
// The lines of a captured log (the library writes to standard output) that
// hold a text, for tests that check what was logged and how often.

#include <sstream>
#include <string>
#include <vector>

namespace kestrel {
namespace test {

inline std::vector<std::string> log_lines_with(const std::string& log, const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.find(text) != std::string::npos)
            lines.push_back(line);
    return lines;
}

} // namespace test
} // namespace kestrel
