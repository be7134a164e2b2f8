#pragma once
// Names for the rows of a parameterised test made from the rows' own
// values: the test framework takes only letters, digits and '_' in a name,
// and would otherwise number the rows.

#include <algorithm>
#include <cstddef>
#include <string>

namespace kestrel {
namespace test {

inline bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

inline bool is_ascii_alnum(char c)
{
    return is_ascii_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// `text` as a row name: letters and digits kept, a minus before a digit as
// "minus", every other run of characters as one '_', none at the ends;
// "empty" for nothing. At most `longest` characters.
inline std::string row_name(const std::string& text, std::size_t longest = 48)
{
    std::string name;
    for (std::size_t i = 0; i < text.size() && name.size() < longest; ++i) {
        const char c = text[i];
        if (is_ascii_alnum(c)) {
            name += c;
        } else if (c == '-' && i + 1 < text.size() && is_ascii_digit(text[i + 1])) {
            name += name.empty() || name.back() == '_' ? "minus" : "_minus";
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    name.resize(std::min(name.size(), longest));
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name.empty() ? "empty" : name;
}

// Row `index` named by `text`, for rows whose texts may repeat or collide.
inline std::string row_name(std::size_t index, const std::string& text)
{
    return "row" + std::to_string(index) + "_" + row_name(text);
}

} // namespace test
} // namespace kestrel
