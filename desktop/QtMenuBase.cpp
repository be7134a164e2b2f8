#include "QtMenuBase.h"

#include <QAction>
#include <QIcon>

namespace Desktop {

QtMenuBase::QtMenuBase(QObject* parent) : QObject(parent) {}

void QtMenuBase::setIconSource(const QString& source)
{
    m_iconSource = source;
    if (m_iconName.isEmpty())
        action()->setIcon(QIcon(source));
    else
        action()->setIcon(QIcon::fromTheme(m_iconName, QIcon(source)));
    emit iconSourceChanged();
}

void QtMenuBase::setIconName(const QString& name)
{
    m_iconName = name;
    action()->setIcon(QIcon::fromTheme(name, QIcon(m_iconSource)));
    emit iconNameChanged();
}

} // namespace Desktop
