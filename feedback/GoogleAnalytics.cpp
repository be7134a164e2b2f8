#include "feedback/GoogleAnalytics.h"

#include "feedback/ProcessWide.h"
#include "feedback/WebAddresses.h"

#include "net/HttpOptions.h"
#include "net/IStream.h"
#include "net/StreamLimits.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

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
    : account_{analyticsCollectorHost(), trackingId, hostName, domainHash}, hits_(2, 8)
{
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { hits_.abandon(); });
}

GoogleAnalytics::~GoogleAnalytics() = default;

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
    hits_.post([url](const urdl::cancellation& cancel) { sendRequest(url, cancel); });
}

namespace {
const std::size_t hitTimeoutMs = 10000;
} // namespace

void GoogleAnalytics::sendRequest(const QString& url, const urdl::cancellation& cancel)
{
    try {
        urdl::istream stream;
        // A hit holds one of the queue's two threads: an unreachable
        // collector must not hold it for the client's usual five minutes.
        stream.rdbuf()->set_open_timeout(hitTimeoutMs);
        stream.rdbuf()->set_read_timeout(hitTimeoutMs);
        stream.rdbuf()->set_request_timeout(hitTimeoutMs);
        stream.set_option(cancel);
        // Nothing of the answer's body is read.
        stream.set_option(urdl::max_body_size(0));
        stream.set_option(urdl::http::connection_type("Keep-Alive"));
        stream.set_option(urdl::http::user_agent(browserUserAgent()));
        stream.open(urdl::url(url.toLatin1().toStdString()));
    } catch (...) {
        // Fire and forget: a hit that cannot go out is dropped.
    }
}

} // namespace Feedback
