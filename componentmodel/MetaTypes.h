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
// Runs a counted registration for the source file that owns it.
template <void (*Register)(), void (*Unregister)()>
struct RegistrationGuard {
    RegistrationGuard() { Register(); }
    ~RegistrationGuard() { Unregister(); }
    RegistrationGuard(const RegistrationGuard&) = delete;
    RegistrationGuard& operator=(const RegistrationGuard&) = delete;
};
} // namespace Detail

namespace {
const Detail::RegistrationGuard<&registerMetaTypes, &unregisterMetaTypes> metaTypeRegistrationGuard;
} // namespace

} // namespace ComponentModel
