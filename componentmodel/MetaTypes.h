#pragma once
// Process-wide registration of the toolkit's value types with Qt's meta-type
// system, needed before a change signal is connected by its signature or
// queued. Every source file that includes a ComponentModel header owns one
// guard below; the guards share a counter, so the first one to run (during
// static initialisation, before main) registers and the others only count.
// Start-up may also call registerMetaTypes() itself; it is counted the same
// way. Nothing is ever unregistered. Not thread-safe beyond the counter:
// call it from the GUI thread or before threads start.

namespace ComponentModel {

void registerMetaTypes();
void unregisterMetaTypes();

namespace Detail {
struct MetaTypeRegistrationGuard {
    MetaTypeRegistrationGuard() { registerMetaTypes(); }
    ~MetaTypeRegistrationGuard() { unregisterMetaTypes(); }
    MetaTypeRegistrationGuard(const MetaTypeRegistrationGuard&) = delete;
    MetaTypeRegistrationGuard& operator=(const MetaTypeRegistrationGuard&) = delete;
};
} // namespace Detail

namespace {
const Detail::MetaTypeRegistrationGuard metaTypeRegistrationGuard;
} // namespace

} // namespace ComponentModel
