#pragma once
// The process-wide sender of usage events. Each event becomes one hit of
// the classic analytics protocol (AnalyticsHit.h), built on the caller's
// thread and sent fire and forget by a job of the sender's own bounded
// queue (NetworkJobs.h: two hits at once, eight more in line, the oldest
// dropped), never on Qt's global thread pool, which the window's painting
// waits for. Nothing of the answer is read, reported, retried or kept, and
// a failure (no collector, a time-out, a URL that does not parse) ends the
// job silently. The job holds only its copy of the URL and the queue's
// switch, so it never touches the sender. When the application is about to
// quit (and at the latest when the sender goes) the hits in flight are
// cancelled and the others dropped, and the quit waits for none of them.
// initialize() and instance() on the GUI thread; the holder deletes the
// sender after main has returned. Not a QML type.

#include "feedback/AnalyticsHit.h"
#include "feedback/NetworkJobs.h"

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

    // Returns at once; the hit goes out on a thread of the queue. GUI thread.
    Q_INVOKABLE void addEvent(const QString& category, const QString& action, const QString& label = QString(),
                              const QString& value = QString());

    // The hit's job: opens the URL (connection "Keep-Alive", the browser
    // user agent), reads the answer's head and nothing more, within ten
    // seconds. Throws nothing.
    static void sendRequest(const QString& url, const urdl::cancellation& cancel = urdl::cancellation());

private:
    const AnalyticsAccount account_;
    NetworkJobs hits_;
};

} // namespace Feedback
