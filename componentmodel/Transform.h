#pragma once
// Display texts for QML views: a time in ms as a clock text or as a coarse
// phrase of the time left ("remain"), a byte count as a size, and a pixmap
// to and from Base64 text. Stateless: static functions, also invokable from
// QML through an instance. Numbers are written with the C locale, so texts
// never depend on the process locale. GUI thread for the pixmap functions.

#include <QObject>
#include <QPixmap>
#include <QString>

namespace ComponentModel {

class Transform : public QObject {
    Q_OBJECT
public:
    explicit Transform(QObject* parent = nullptr);

    // Any format but "remain" is a QTime format; a time that is not a time of
    // day (24 h or more, negative) then gives empty text. "remain" gives the
    // translated "%1 hour", "%1 min" or "%1 sec", rounded for display.
    Q_INVOKABLE static QString timeToString(qint64 time, const QString& format);
    Q_INVOKABLE static QString timeToString(qint64 time);
    // "1023 b", "1.5 kB", "1.0 MB", ...; the format "k", "m" or "g" (either
    // case) keeps the unit from climbing past it.
    Q_INVOKABLE static QString storageSizeToString(qint64 size, const QString& format);
    Q_INVOKABLE static QString storageSizeToString(qint64 size);
    Q_INVOKABLE static QPixmap base64ToPixmap(const QString& base64);
    Q_INVOKABLE static QString pixmapToBase64(const QPixmap& pixmap);
};

} // namespace ComponentModel
