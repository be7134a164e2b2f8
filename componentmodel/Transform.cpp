#include "componentmodel/Transform.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QLocale>
#include <QTime>

namespace ComponentModel {

namespace {

QString remainingPhrase(qint64 hours, qint64 minutes, qint64 seconds)
{
    if (hours > 0) {
        if (minutes > 30)
            ++hours;
        return QCoreApplication::translate("QObject", "%1 hour").arg(hours);
    }
    if (minutes < 1) {
        if (seconds >= 10) {
            if (seconds % 10 > 2 && seconds < 50)
                seconds += 9;
            seconds -= seconds % 10;
        }
        return QCoreApplication::translate("QObject", "%1 sec").arg(seconds);
    }
    if (seconds > 30 && minutes != 59)
        ++minutes;
    return QCoreApplication::translate("QObject", "%1 min").arg(minutes);
}

} // namespace

Transform::Transform(QObject* parent) : QObject(parent) {}

QString Transform::timeToString(qint64 time, const QString& format)
{
    const qint64 hours = time / 3600000;
    const qint64 minutes = (time - hours * 3600000) / 60000;
    const qint64 rest = time - hours * 3600000 - minutes * 60000;
    const qint64 seconds = rest / 1000;
    const qint64 milliseconds = rest - seconds * 1000;
    if (format == QLatin1String("remain"))
        return remainingPhrase(hours, minutes, seconds);
    if (hours > 23 || !QTime::isValid(int(hours), int(minutes), int(seconds), int(milliseconds)))
        return QString();
    return QTime(int(hours), int(minutes), int(seconds), int(milliseconds)).toString(format);
}

QString Transform::timeToString(qint64 time)
{
    return timeToString(time, QStringLiteral("hh:mm:ss.zzz"));
}

QString Transform::storageSizeToString(qint64 size, const QString& format)
{
    if (size < 1024)
        return QStringLiteral("%1 b").arg(size);
    const QString stop = format.toUpper();
    static const char* const units[] = {"kB", "MB", "GB"};
    static const char* const stops[] = {"K", "M", "G"};
    double value = static_cast<double>(size) / 1024.0;
    for (int unit = 0; unit < 3; ++unit) {
        if (value < 1024.0 || stop == QLatin1String(stops[unit]))
            return QStringLiteral("%1 %2").arg(QLocale::c().toString(value, 'f', 1), QLatin1String(units[unit]));
        value /= 1024.0;
    }
    return QStringLiteral("%1 TB").arg(QLocale::c().toString(value, 'f', 1));
}

QString Transform::storageSizeToString(qint64 size)
{
    return storageSizeToString(size, QString());
}

QPixmap Transform::base64ToPixmap(const QString& base64)
{
    if (base64.isNull())
        return QPixmap();
    const QByteArray bytes = QByteArray::fromBase64(base64.toLatin1());
    if (bytes.isEmpty())
        return QPixmap();
    QDataStream stream(bytes);
    QPixmap pixmap;
    stream >> pixmap;
    return pixmap;
}

QString Transform::pixmapToBase64(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return QString();
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << pixmap;
    }
    if (bytes.isEmpty())
        return QString();
    return QString::fromLatin1(bytes.toBase64());
}

} // namespace ComponentModel
