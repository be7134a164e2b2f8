#include "viewmodel/UsageEvents.h"

#include <utility>

namespace ViewModel {

namespace {

void toAnalyticsSender(const QString&, const QString&, const QString&, const QString&)
{
    // The analytics sender is not part of this library yet; until it is,
    // events end here.
}

UsageEventSink& currentSink()
{
    static UsageEventSink sink = &toAnalyticsSender;
    return sink;
}

} // namespace

void sendUsageEvent(const QString& category, const QString& action, const QString& label, const QString& value)
{
    currentSink()(category, action, label, value);
}

UsageEventSink setUsageEventSink(UsageEventSink sink)
{
    UsageEventSink previous = std::move(currentSink());
    currentSink() = sink ? std::move(sink) : UsageEventSink(&toAnalyticsSender);
    return previous;
}

} // namespace ViewModel
