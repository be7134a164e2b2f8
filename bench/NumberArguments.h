#pragma once
// The benchmarks' whole-number arguments, read as the library reads numbers
// from text (base/DTNumberText.h: the whole word, whatever the process locale).
// A word that is no whole number in the range (a word, a fraction, NaN, a
// number out of the range or too large for any) is named on standard
// error with what it must be, and nothing is returned: main then ends with
// command_line::exit_usage (64).

#include "CommandLine.h"
#include "base/DTNumberText.h"

#include <optional>
#include <string>

namespace bench {

// The argument at `index` (named `name` in the refusal), or `fallback`
// when it is not given.
inline std::optional<int> whole_number(const command_line::arguments& line, std::size_t index, const char* name,
                                       int fallback, int least, int most) {
    if (index >= line.count())
        return fallback;
    const std::string word = line.at(index);
    try {
        const int value = kestrel::text::from_text<int>(word);
        if (value >= least && value <= most)
            return value;
    } catch (const std::exception&) {
    }
    line.refuse(std::string(name) + " must be a whole number from " + std::to_string(least) + " to " +
                std::to_string(most) + ", not \"" + word + "\"");
    return std::nullopt;
}

} // namespace bench
