#include "feedback/GoogleAnalytics.h"

#include "feedback/ProcessWide.h"
#include "feedback/WebAddresses.h"

#include "net/HttpOptions.h"
#include "net/IStream.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThreadPool>

namespace Feedback {

namespace {

// The whole desktop, across all screens.
QSize desktopSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualSize() : QSize(0, 0);
}

} // namespace

GoogleAnalytics::GoogleAnalytics(const QString& trackingId, const QString& hostName, const QString& domainHash)
    : account_{analyticsCollectorHost(), trackingId, hostName, domainHash}
{
}

void GoogleAnalytics::initialize(const QString& trackingId, const QString& hostName, const QString& domainHash)
{
    Detail::replaceProcessWide(std::make_unique<GoogleAnalytics>(trackingId, hostName, domainHash));
}

GoogleAnalytics* GoogleAnalytics::instance()
{
    return Detail::processWide<GoogleAnalytics>().get();
}

void GoogleAnalytics::addEvent(const QString& category, const QString& action, const QString& label,
                               const QString& value)
{
    const QString url =
        eventHitUrl(account_, AnalyticsEvent{category, action, label, value}, QDateTime::currentDateTime(),
                    desktopSize());
    QThreadPool::globalInstance()->start([url] { sendRequest(url); }, 0);
}

namespace {
const std::size_t hitTimeoutMs = 10000;
} // namespace

void GoogleAnalytics::sendRequest(const QString& url)
{
    try {
        urdl::istream stream;
        // A hit holds a thread of Qt's global pool, and the application waits
        // for that pool when it quits: an unreachable collector must not keep
        // the program alive for the client's usual five minutes.
        stream.rdbuf()->set_open_timeout(hitTimeoutMs);
        stream.rdbuf()->set_read_timeout(hitTimeoutMs);
        stream.set_option(urdl::http::connection_type("Keep-Alive"));
        stream.set_option(urdl::http::user_agent(browserUserAgent()));
        stream.open(urdl::url(url.toLatin1().toStdString()));
    } catch (...) {
        // Fire and forget: a hit that cannot go out is dropped.
    }
}

} // namespace Feedback
