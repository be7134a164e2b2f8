#include "files/DTReadInterruption.h"

#include <algorithm>

namespace kestrel {

namespace {

thread_local read_interruption_ptr current_interruption;
thread_local std::chrono::steady_clock::duration current_patience = std::chrono::steady_clock::duration::zero();

} // namespace

read_interruption_scope::read_interruption_scope(read_interruption_ptr interruption,
                                                 std::chrono::steady_clock::duration patience)
    : outer_(std::move(current_interruption)), outer_patience_(current_patience) {
    current_interruption = std::move(interruption);
    current_patience = patience;
}

read_interruption_scope::~read_interruption_scope() {
    current_interruption = std::move(outer_);
    current_patience = outer_patience_;
}

read_interruption_ptr current_read_interruption() { return current_interruption; }

std::chrono::steady_clock::duration current_read_patience() { return current_patience; }

void read_interruption::add_wait(std::condition_variable& wake) const {
    const std::lock_guard<std::mutex> lock(waits_mutex_);
    waits_.push_back(&wake);
}

void read_interruption::remove_wait(std::condition_variable& wake) const {
    const std::lock_guard<std::mutex> lock(waits_mutex_);
    waits_.erase(std::remove(waits_.begin(), waits_.end(), &wake), waits_.end());
}

// Woken without the wait's own lock (which its holder may hold while it
// adds or removes itself here): a switch that falls between the wait's look
// and its sleep is seen at the next look, as without a wake.
void read_interruption::wake_waits() {
    const std::lock_guard<std::mutex> lock(waits_mutex_);
    for (std::condition_variable* wake : waits_)
        wake->notify_all();
}

} // namespace kestrel
