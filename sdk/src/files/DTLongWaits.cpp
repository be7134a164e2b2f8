#include "files/DTLongWaits.h"

#include "base/DTLog.h"
#include "base/DTNumberText.h"

#include <cmath>
#include <map>
#include <mutex>

namespace kestrel {

namespace {

struct listed_wait {
    std::string file;
    file_refusal why = file_refusal::does_not_answer;
    std::chrono::steady_clock::time_point since;
};

std::mutex mutex;
unsigned long long next_id = 0;
// By the order the waits began in.
std::map<unsigned long long, listed_wait>& listed() {
    static auto* const waits = new std::map<unsigned long long, listed_wait>();
    return *waits;
}

double seconds_since(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// "2.5": seconds to a tenth.
std::string seconds_text(double seconds) {
    const long long tenths = std::llround(seconds * 10);
    return text::to_text(tenths / 10) + "." + text::to_text(tenths % 10);
}

} // namespace

std::vector<long_wait> long_waits() {
    std::vector<long_wait> waits;
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& each : listed())
        waits.push_back({each.second.file, each.second.why, seconds_since(each.second.since)});
    return waits;
}

long_wait_entry::long_wait_entry(std::string file, file_refusal why, std::chrono::steady_clock::time_point since) {
    log_line(logger::warning()) << "[read] waiting for " << log_quoted(file) << ": " << log_words(why) << std::endl;
    std::lock_guard<std::mutex> lock(mutex);
    id_ = next_id++;
    listed()[id_] = listed_wait{std::move(file), why, since};
}

long_wait_entry::~long_wait_entry() {
    listed_wait ended;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ended = listed()[id_];
        listed().erase(id_);
    }
    log_line(logger::info()) << "[read] " << log_quoted(ended.file) << (answered_ ? " answered" : " given up")
                             << " after " << seconds_text(seconds_since(ended.since))
                             << " s" << std::endl;
}

void long_wait_entry::set_why(file_refusal why) {
    std::lock_guard<std::mutex> lock(mutex);
    listed()[id_].why = why;
}

} // namespace kestrel
