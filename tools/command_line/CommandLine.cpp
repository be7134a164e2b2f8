#include "CommandLine.h"

#include <iostream>
#include <utility>

namespace command_line {

namespace {

// "-5" and "-.5" are numbers the program judges, not options.
bool is_option(const std::string& word) {
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9') && word[1] != '.';
}

std::string usage_line(const usage& about) {
    return "usage: " + about.program + (about.synopsis.empty() ? "" : " " + about.synopsis) + "\n";
}

} // namespace

arguments::arguments(int argc, const char* const* argv, usage about) : about_(std::move(about)) {
    std::vector<std::string> words(argv + 1, argv + (argc > 1 ? argc : 1));
    // Asked for anywhere among the options, the usage wins over any mistake.
    for (const std::string& word : words) {
        if (word == "--")
            break;
        if (word == "--help" || word == "-h") {
            std::cout << usage_line(about_) << about_.help << std::flush;
            status_ = 0;
            return;
        }
    }
    bool options = true;
    for (const std::string& word : words) {
        if (options && word == "--") {
            options = false;
        } else if (options && is_option(word)) {
            status_ = refuse("unknown option " + word);
            return;
        } else {
            words_.push_back(word);
        }
    }
    if (words_.size() < about_.least || words_.size() > about_.most)
        status_ = refuse();
}

std::string arguments::at(std::size_t index, const std::string& fallback) const {
    return index < words_.size() ? words_[index] : fallback;
}

int arguments::refuse(const std::string& why) const {
    if (!why.empty())
        std::cerr << about_.program << ": " << why << '\n';
    std::cerr << usage_line(about_) << std::flush;
    return exit_usage;
}

} // namespace command_line
