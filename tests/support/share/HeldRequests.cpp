#include "HeldRequests.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace kestrel {
namespace share {

namespace {

const char* const kinds[] = {"lookup", "open",   "read",   "readlink", "getattr", "setattr",
                             "create", "write",  "flush",  "rename",   "unlink",  "all"};

bool known_kind(const std::string& kind) {
    return std::find(std::begin(kinds), std::end(kinds), kind) != std::end(kinds);
}

} // namespace

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void held_requests::serve(const char* kind, std::function<void()> answer) {
    if (!holds(kind))
        return answer();
    held_.push_back(std::move(answer));
    say(std::string("held ") + kind);
}

std::string held_requests::command(const std::string& line) {
    static const std::string hang = "hang ";
    if (line.compare(0, hang.size(), hang) == 0) {
        const std::string kind = line.substr(hang.size());
        if (!known_kind(kind))
            return "unknown kind: " + kind;
        held_kinds_.insert(kind);
    } else if (line == "answer") {
        answer_all();
    } else {
        return "unknown command: " + line;
    }
    return "ok";
}

void held_requests::answer_all() {
    held_kinds_.clear();
    std::vector<std::function<void()>> held;
    held.swap(held_);
    for (const auto& answer : held)
        answer();
}

void held_requests::let_go() {
    let_go_ = true;
    answer_all();
}

bool held_requests::holds(const std::string& kind) const {
    return !let_go_ && (held_kinds_.count(kind) != 0 || held_kinds_.count("all") != 0);
}

} // namespace share
} // namespace kestrel
