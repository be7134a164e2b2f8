#include "MakerWatch.h"

#include <chrono>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace make_show {

namespace {

const std::chrono::milliseconds stop_look(10);
// Long waits are listed after seconds: a tenth of one is soon enough.
const int stop_looks_per_wait_look = 10;

} // namespace

maker_watch::maker_watch(const std::atomic<bool>& stop_asked, kestrel::read_interruption_ptr interruption,
                         std::function<void(const kestrel::long_wait&)> name)
    : stop_asked_(stop_asked), interruption_(std::move(interruption)), name_(std::move(name)) {
    thread_ = std::thread([this] { watch(); });
}

maker_watch::~maker_watch() { end(); }

void maker_watch::end() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        end_ = true;
    }
    ending_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void maker_watch::watch() {
    // A wait is told apart from the others by its file and why; one that
    // goes on is named once, one that changes its why again.
    std::set<std::string> named;
    std::unique_lock<std::mutex> lock(mutex_);
    for (int look = 1; !ending_.wait_for(lock, stop_look, [this] { return end_; }); ++look) {
        if (stop_asked_ && !interruption_->on())
            interruption_->set(true);
        if (look % stop_looks_per_wait_look != 0)
            continue;
        std::set<std::string> listed;
        std::vector<kestrel::long_wait> first_seen;
        for (const kestrel::long_wait& wait : kestrel::long_waits()) {
            const std::string key = wait.file + '\0' + kestrel::log_words(wait.why);
            if (listed.insert(key).second && !named.count(key))
                first_seen.push_back(wait);
        }
        named.swap(listed);
        lock.unlock();
        for (const kestrel::long_wait& wait : first_seen)
            name_(wait);
        lock.lock();
    }
}

} // namespace make_show
