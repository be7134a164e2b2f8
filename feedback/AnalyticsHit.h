#pragma once
// One event hit of the classic analytics collection protocol, as the text of
// a URL: the collector's "/__utm.gif" with the event and a made-up visitor
// cookie in the query. Every hit is a new visitor whose first, previous and
// current visit are now. Pure functions: the clock, the screen size and the
// account come in as arguments, so a hit can be reproduced; the random
// numbers come from a generator seeded with the hit's millisecond (two hits
// in the same millisecond carry the same numbers). Numbers are written
// without the process locale. Any thread.

#include <QDateTime>
#include <QSize>
#include <QString>

class QRandomGenerator;

namespace Feedback {

struct AnalyticsAccount {
    QString collectorHost; // "host[:port]" of the collection endpoint
    QString trackingId;    // utmac, as given
    QString hostName;      // utmhn, as given
    QString domainHash;    // first field of both cookies
};

struct AnalyticsEvent {
    QString category;
    QString action;
    QString label; // left out when empty
    QString value; // sent only when it reads as a whole decimal number
};

// Two 15-bit draws joined into a number below 2^31, reduced into min … max
// (min when max < min).
int randomNumber(QRandomGenerator& generator, int min, int max);

// The text inside "utme=5(…)": the encoded category, action and label
// joined by "*", then ")(" and the encoded value when there is one (blanks
// around a number still make it one).
QString eventText(const AnalyticsEvent& event);

// The whole hit: "http://" + collector host + "/__utm.gif?" + parameters.
// `screen` is the desktop's size in pixels.
QString eventHitUrl(const AnalyticsAccount& account, const AnalyticsEvent& event, const QDateTime& now,
                    const QSize& screen);

} // namespace Feedback
