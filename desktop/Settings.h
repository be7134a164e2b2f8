#pragma once
// "Settings": makes the properties a QML document declares on the element
// persistent in the application's settings store, under their own names in
// an optional `group`. They are loaded when the document is complete;
// afterwards changes are saved, a burst of them at once, on the next tick
// of a 500 ms timer, and whatever is still pending when the element goes
// is saved then. A stored value that cannot be converted to the property's
// type is left unused. GUI thread only.

#include <QObject>
#include <QQmlParserStatus>
#include <QSettings>

namespace Desktop {

class Settings : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QString group READ group WRITE setGroup)

public:
    static constexpr int saveIntervalMs = 500;

    explicit Settings(QObject* parent = nullptr);
    ~Settings() override;

    QString group() const;
    void setGroup(const QString& group);

    void classBegin() override;
    void componentComplete() override;

public slots:
    void propertyChanged();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void load();
    void save();

    QSettings m_settings;
    const int m_firstOwnProperty;
    int m_timerId = 0;
    int m_pendingChanges = 0;
    bool m_loaded = false;
};

} // namespace Desktop
