// Starts the analytics sender and the advertisement service against the
// site given as argument (http://host:port), replaces a service whose feed
// is still downloading, starts a banner download and a hit, and once a line
// on its input says the site has seen both requests, returns from main with
// them still running. Prints a line as each held service is deleted.

#include "FeedbackTesting.h"

#include "feedback/Advertisement.h"
#include "feedback/GoogleAnalytics.h"

#include "componentmodel/EventTypes.h"

#include <QApplication>

#include <cstdio>

namespace {

void reportDeletion(QObject* service, const char* line)
{
    QObject::connect(service, &QObject::destroyed, [line] {
        std::puts(line);
        std::fflush(stdout);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString site = QString::fromLocal8Bit(argv[1]);
    qputenv("LUMIVISTA_ANALYTICS_HOST", argv[2]);

    Feedback::GoogleAnalytics::initialize("UA-1", "host", "1");
    reportDeletion(Feedback::GoogleAnalytics::instance(), "analytics deleted");
    Feedback::Advertisement::initialize("slideshow", "1.0.1.50", site + "/slow-ads.xml");
    reportDeletion(Feedback::Advertisement::instance(), "replaced advertisement deleted");
    Feedback::Advertisement::initialize("slideshow", "1.0.1.50", site + "/ads.xml");
    reportDeletion(Feedback::Advertisement::instance(), "advertisement deleted");

    FeedbackTesting::EventCounter feeds(Feedback::Advertisement::instance(),
                                        ComponentModel::EventTypes::advertisementFeedEnded);
    if (!FeedbackTesting::runEventsUntil([&] { return feeds.count == 1; }))
        return 3;
    Feedback::Advertisement::instance()->retreive("banner");
    Feedback::GoogleAnalytics::instance()->addEvent("Lumivista", "Exit");
    // The downloads run on threads of their own: nothing here needs the
    // event loop while the test checks that their requests went out.
    char line[8];
    if (!std::fgets(line, sizeof line, stdin))
        return 4;
    return 0;
}
