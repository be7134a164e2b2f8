// The run statistics of Notification: one count per start, sent as a usage
// event by size bucket, and the thank-you page on the first start of a
// newer version.

#include "feedback/Notification.h"

#include "feedback/GoogleAnalytics.h"
#include "feedback/VersionNumber.h"

#include "componentmodel/DesktopLauncher.h"

#include <QCoreApplication>
#include <QSettings>

#include <limits>

namespace Feedback {

namespace {

QString runBucket(int earlierRuns)
{
    if (earlierRuns == 0)
        return QStringLiteral("First");
    if (earlierRuns < 10)
        return QStringLiteral("Less than 10");
    if (earlierRuns < 100)
        return QStringLiteral("Less than 100");
    return QStringLiteral("More than 100");
}

} // namespace

void Notification::registerRun(const QString& category)
{
    QSettings settings;
    const int earlierRuns = settings.value(QStringLiteral("Notification/runCount"), 0).toInt();
    if (GoogleAnalytics* analytics = GoogleAnalytics::instance())
        analytics->addEvent(category, QStringLiteral("Run"), runBucket(earlierRuns), QString::number(earlierRuns));

    const QString version = QCoreApplication::applicationVersion();
    const QString lastVersion =
        settings.value(QStringLiteral("Notification/lastVersion"), QStringLiteral("0.0.0.0")).toString();
    if (isNewerVersion(version, lastVersion))
        ComponentModel::openUrl(QUrl(settings.value(QStringLiteral("webThanks")).toString()));

    // A count that reached the largest int stays there.
    const int runs = earlierRuns == std::numeric_limits<int>::max() ? earlierRuns : earlierRuns + 1;
    settings.setValue(QStringLiteral("Notification/runCount"), runs);
    settings.setValue(QStringLiteral("Notification/lastVersion"), version);
}

} // namespace Feedback
