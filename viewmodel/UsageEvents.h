#pragma once
// The one door through which the view models send usage events: category,
// action, label and value, as the analytics sender takes them. By default
// they go to the process-wide Feedback::GoogleAnalytics, and nowhere when
// none is installed (a view model made without start-up's sender must not
// crash).
// Tests put a sink of their own in its place. GUI thread only.

#include <QString>

#include <functional>

namespace ViewModel {

using UsageEventSink =
    std::function<void(const QString& category, const QString& action, const QString& label, const QString& value)>;

void sendUsageEvent(const QString& category, const QString& action, const QString& label = QString(),
                    const QString& value = QString());

// Installs a sink and returns the one it replaces; an empty sink brings
// back the analytics sender.
UsageEventSink setUsageEventSink(UsageEventSink sink);

} // namespace ViewModel
