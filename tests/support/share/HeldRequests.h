#pragma once
// The share's holding of requests by kind, as a server that went away
// does: while a kind is held, a request of it is kept unanswered (its
// answer kept for later) until answer_all(). One thread (the share's loop)
// calls it all; each request held is said on standard output as
// "held <kind>".

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace kestrel {
namespace share {

class held_requests {
public:
    // Answers now, unless the kind is held; then keeps `answer` for later.
    void serve(const char* kind, std::function<void()> answer);
    // "hang KIND" or "answer": what to say back, "ok" when done.
    std::string command(const std::string& line);
    // Answers every request held, holding nothing more.
    void answer_all();
    // Answers every request held and holds none from now on, whatever is
    // asked: the process served is ending.
    void let_go();

private:
    bool holds(const std::string& kind) const;

    bool let_go_ = false;
    std::set<std::string> held_kinds_;
    std::vector<std::function<void()>> held_;
};

// Prints one line on standard output, at once.
void say(const std::string& line);

} // namespace share
} // namespace kestrel
