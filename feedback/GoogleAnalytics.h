#pragma once
// The process-wide sender of usage events. Each event becomes one hit of
// the classic analytics protocol (AnalyticsHit.h), built on the caller's
// thread and sent fire and forget by a job on Qt's global thread pool:
// nothing of the answer is read, reported, retried or kept, and a failure
// (no collector, a time-out, a URL that does not parse) ends the job
// silently. The job holds only its copy of the URL and the sender's switch,
// so it never touches the sender. When the application is about to quit
// (and at the latest when the sender goes) the hits in flight are
// cancelled and later ones dropped at once, so Qt's pool, which the
// application waits for as it ends, never waits for the collector.
// initialize() and instance() on the GUI thread; the holder deletes the
// sender after main has returned. Not a QML type.

#include "feedback/AnalyticsHit.h"

#include "net/Cancellation.h"

#include <QObject>
#include <QString>

namespace Feedback {

class GoogleAnalytics : public QObject {
    Q_OBJECT
public:
    // Collector host from analyticsCollectorHost(), read now.
    GoogleAnalytics(const QString& trackingId, const QString& hostName, const QString& domainHash);
    ~GoogleAnalytics() override;

    // Installs a new sender and deletes the one it replaces.
    static void initialize(const QString& trackingId, const QString& hostName, const QString& domainHash);
    // The installed sender, or null before initialize().
    static GoogleAnalytics* instance();

    // Returns at once; the hit goes out on a pool thread. GUI thread.
    Q_INVOKABLE void addEvent(const QString& category, const QString& action, const QString& label = QString(),
                              const QString& value = QString());

    // The pool job: opens the URL (connection "Keep-Alive", the browser
    // user agent), reads the answer's head and nothing more, within ten
    // seconds. Throws nothing.
    static void sendRequest(const QString& url, const urdl::cancellation& cancel = urdl::cancellation());

private:
    const AnalyticsAccount account_;
    urdl::cancellation hits_;
};

} // namespace Feedback
