#include "QtMenuItem.h"

#include <QAction>
#include <QKeySequence>

namespace Desktop {

QtMenuItem::QtMenuItem(QObject* parent) : QtMenuBase(parent), m_action(new QAction(this))
{
    connect(m_action, &QAction::triggered, this, &QtMenuItem::triggered);
    connect(m_action, &QAction::toggled, this, &QtMenuItem::toggled);
}

QString QtMenuItem::text() const { return m_action->text(); }

void QtMenuItem::setText(const QString& text)
{
    m_action->setText(text);
    emit textChanged();
}

QString QtMenuItem::shortcut() const
{
    return m_action->shortcut().toString(QKeySequence::PortableText);
}

void QtMenuItem::setShortcut(const QString& shortcut)
{
    m_action->setShortcut(QKeySequence(shortcut, QKeySequence::PortableText));
    emit shortcutChanged();
}

bool QtMenuItem::checkable() const { return m_action->isCheckable(); }
void QtMenuItem::setCheckable(bool checkable) { m_action->setCheckable(checkable); }
bool QtMenuItem::checked() const { return m_action->isChecked(); }
void QtMenuItem::setChecked(bool checked) { m_action->setChecked(checked); }
bool QtMenuItem::enabled() const { return m_action->isEnabled(); }

void QtMenuItem::setEnabled(bool enabled)
{
    m_action->setEnabled(enabled);
    emit enabledChanged();
}

bool QtMenuItem::visible() const { return m_action->isVisible(); }

void QtMenuItem::setVisible(bool visible)
{
    m_action->setVisible(visible);
    emit visibleChanged();
}

QtMenuSeparator::QtMenuSeparator(QObject* parent)
    : QtMenuBase(parent), m_action(new QAction(this))
{
    m_action->setSeparator(true);
}

} // namespace Desktop
