#include "componentmodel/MetaTypes.h"

#include "componentmodel/Platform.h"
#include "componentmodel/PropertyBinding.h"
#include "componentmodel/SignalArgs.h"

#include <QMetaType>

#include <atomic>

namespace ComponentModel {

namespace {

std::atomic<int> registrations{0};

// Asking for the id registers the type under its full name (the enums and
// classes are declared with their namespaces) and does nothing the second time.
template <typename T>
void registerType()
{
    QMetaType::fromType<T>().id();
}

} // namespace

void registerMetaTypes()
{
    if (registrations.fetch_add(1) != 0)
        return;
    registerType<PropertyBinding::Mode>();
    registerType<ListChangedSignalArgs>();
    registerType<ListChangedSignalArgs::Action>();
    registerType<Platform::Architecture>();
    registerType<PropertyChangedSignalArgs>();
    registerType<SelectionChangedSignalArgs>();
    registerType<SignalArgs>();
}

void unregisterMetaTypes()
{
    registrations.fetch_sub(1);
}

} // namespace ComponentModel
