#include "feedback/AnalyticsHit.h"

#include "feedback/EngineText.h"

#include <QRandomGenerator>

namespace Feedback {

namespace {

// The collector counts from local midnight at the start of 1970.
QDateTime localEpoch()
{
    return QDateTime(QDate(1970, 1, 1), QTime(0, 0));
}

int eightDigitNumber(QRandomGenerator& generator)
{
    return randomNumber(generator, 10000000, 99999999);
}

} // namespace

int randomNumber(QRandomGenerator& generator, int min, int max)
{
    const quint32 high = generator.generate() >> 17;
    const quint32 low = generator.generate() >> 17;
    const quint32 drawn = (high << 16) | low;
    const qint64 span = qint64(max) - qint64(min) + 1;
    if (span <= 0)
        return min;
    return int(qint64(min) + qint64(drawn % quint64(span)));
}

QString eventText(const AnalyticsEvent& event)
{
    QString text = percentEncoded(event.category) + QLatin1Char('*') + percentEncoded(event.action);
    if (!event.label.isEmpty())
        text += QLatin1Char('*') + percentEncoded(event.label);
    bool isNumber = false;
    event.value.toInt(&isNumber, 10);
    if (!event.value.isEmpty() && isNumber)
        text += QStringLiteral(")(") + percentEncoded(event.value);
    return text;
}

QString eventHitUrl(const AnalyticsAccount& account, const AnalyticsEvent& event, const QDateTime& now,
                    const QSize& screen)
{
    const QDateTime epoch = localEpoch();
    const QString seconds = QString::number(epoch.secsTo(now));
    const quint32 millisecond = quint32(epoch.msecsTo(now));
    QRandomGenerator generator(millisecond % 32767u);
    const int requestNumber = eightDigitNumber(generator);
    const int pageNumber = eightDigitNumber(generator);
    const int visitorNumber = eightDigitNumber(generator);

    QString url = QStringLiteral("http://") + account.collectorHost + QStringLiteral("/__utm.gif?");
    url += QStringLiteral("utmwv=5.1.1&utms=3&");
    url += QStringLiteral("utmn=") + QString::number(requestNumber) + QLatin1Char('&');
    url += QStringLiteral("utmhn=") + account.hostName + QLatin1Char('&');
    url += QStringLiteral("utmt=event&");
    url += QStringLiteral("utme=5(") + eventText(event) + QStringLiteral(")&");
    url += QStringLiteral("utmcs=UTF-8&");
    url += QStringLiteral("utmsr=") + QString::number(screen.width()) + QLatin1Char('x') +
           QString::number(screen.height()) + QLatin1Char('&');
    url += QStringLiteral("utmsc=24-bit&utmul=en-us&utmje=0&utmfl=10.0%20r2&utmdt=-&");
    url += QStringLiteral("utmhid=") + QString::number(pageNumber) + QLatin1Char('&');
    url += QStringLiteral("utmr=-&utmp=%2F&");
    url += QStringLiteral("utmac=") + account.trackingId + QLatin1Char('&');
    url += QStringLiteral("utmcc=__utma%3D") + account.domainHash + QLatin1Char('.') +
           QString::number(visitorNumber) + QLatin1Char('.') + seconds + QLatin1Char('.') + seconds +
           QLatin1Char('.') + seconds + QStringLiteral(".1%3B%2B");
    url += QStringLiteral("__utmz%3D") + account.domainHash + QLatin1Char('.') + seconds +
           QStringLiteral(".1.1.utmcsr%3D(direct)%7Cutmccn%3D(direct)%7Cutmcmd%3D(none)%3B&");
    url += QStringLiteral("utmu=6AAAAAAAAAAAAAAAQ~");
    return url;
}

} // namespace Feedback
