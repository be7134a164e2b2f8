#include "net/Cancellation.h"

#include <map>
#include <mutex>

namespace urdl {

struct cancellation::state {
    std::mutex mutex;
    bool cancelled = false;
    unsigned long next_id = 0;
    std::map<unsigned long, std::function<void()>> stops;
};

cancellation::cancellation() : state_(std::make_shared<state>()) {}

void cancellation::cancel() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->cancelled)
        return;
    state_->cancelled = true;
    for (auto& stop : state_->stops)
        stop.second();
}

bool cancellation::cancelled() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->cancelled;
}

std::unique_ptr<cancellation::watch> cancellation::on_cancel(std::function<void()> stop) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const unsigned long id = state_->next_id++;
    if (state_->cancelled)
        stop();
    else
        state_->stops.emplace(id, std::move(stop));
    return std::unique_ptr<watch>(new watch(state_, id));
}

cancellation::watch::watch(std::shared_ptr<state> switch_state, unsigned long id)
    : state_(std::move(switch_state)), id_(id) {}

cancellation::watch::~watch() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stops.erase(id_);
}

} // namespace urdl
