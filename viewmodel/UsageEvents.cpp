#include "viewmodel/UsageEvents.h"

#include "feedback/GoogleAnalytics.h"

#include <utility>

namespace ViewModel {

namespace {

void toAnalyticsSender(const QString& category, const QString& action, const QString& label, const QString& value)
{
    if (Feedback::GoogleAnalytics* sender = Feedback::GoogleAnalytics::instance())
        sender->addEvent(category, action, label, value);
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
