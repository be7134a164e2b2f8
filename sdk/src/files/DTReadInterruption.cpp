#include "files/DTReadInterruption.h"

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

} // namespace kestrel
