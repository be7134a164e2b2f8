#include "Settings.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QTimerEvent>

namespace Desktop {

Settings::Settings(QObject* parent)
    : QObject(parent), m_firstOwnProperty(staticMetaObject.propertyCount())
{
}

Settings::~Settings()
{
    // Changes the timer has not written yet would otherwise be lost.
    if (m_pendingChanges > 0)
        save();
}

QString Settings::group() const
{
    return m_settings.group();
}

void Settings::setGroup(const QString& group)
{
    if (m_pendingChanges > 0)
        save();
    if (!m_settings.group().isEmpty())
        m_settings.endGroup();
    if (!group.isEmpty())
        m_settings.beginGroup(group);
    if (m_loaded)
        load();
}

void Settings::classBegin() {}

void Settings::componentComplete()
{
    load();
    m_loaded = true;
}

void Settings::load()
{
    const QMetaObject* meta = metaObject();
    const QMetaMethod onChange = staticMetaObject.method(
        staticMetaObject.indexOfSlot("propertyChanged()"));
    for (int i = m_firstOwnProperty; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        const QVariant current = property.read(this);
        const QVariant stored = m_settings.value(QString::fromLatin1(property.name()), current);
        if (!stored.isNull() && stored.canConvert(current.metaType())) {
            QVariant converted = stored;
            // Letters stored for a number do not convert; keep the default.
            if (converted.convert(current.metaType()) && converted != current)
                property.write(this, converted);
        }
        if (!m_loaded && property.hasNotifySignal())
            connect(this, property.notifySignal(), this, onChange);
    }
}

void Settings::save()
{
    const QMetaObject* meta = metaObject();
    for (int i = m_firstOwnProperty; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        m_settings.setValue(QString::fromLatin1(property.name()), property.read(this));
    }
    m_pendingChanges = 0;
}

void Settings::propertyChanged()
{
    ++m_pendingChanges;
    if (m_timerId == 0)
        m_timerId = startTimer(saveIntervalMs);
}

void Settings::timerEvent(QTimerEvent* event)
{
    Q_UNUSED(event);
    if (m_pendingChanges > 0) {
        save();
        return;
    }
    killTimer(m_timerId);
    m_timerId = 0;
}

} // namespace Desktop
