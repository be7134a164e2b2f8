#include "DTReadInterruption.h"

namespace kestrel {

namespace {

thread_local read_interruption_ptr current_interruption;

} // namespace

read_interruption_scope::read_interruption_scope(read_interruption_ptr interruption)
    : outer_(std::move(current_interruption)) {
    current_interruption = std::move(interruption);
}

read_interruption_scope::~read_interruption_scope() { current_interruption = std::move(outer_); }

read_interruption_ptr current_read_interruption() { return current_interruption; }

} // namespace kestrel
