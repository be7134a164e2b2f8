#pragma once
// The process-wide holder of a service object (the analytics sender, the
// advertisement service): one owning pointer, empty until the start-up
// installs an object, which the holder deletes when the process ends.
// The holder comes into being at its first use, during main after the
// application object, so it is destroyed before the libraries' own statics
// that a QObject's destructor may still use. GUI thread only.

#include <memory>

namespace Feedback {
namespace Detail {

template <class Service>
std::unique_ptr<Service>& processWide()
{
    static std::unique_ptr<Service> held;
    return held;
}

// Installs the new object first, then deletes the one it replaces, so the
// old one's destructor never sees itself still installed.
template <class Service>
void replaceProcessWide(std::unique_ptr<Service> next)
{
    std::unique_ptr<Service> previous = std::move(processWide<Service>());
    processWide<Service>() = std::move(next);
    previous.reset();
}

} // namespace Detail
} // namespace Feedback
