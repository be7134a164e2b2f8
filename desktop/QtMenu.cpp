#include "QtMenu.h"

#include "PixelValues.h"
#include "QtMenuItem.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QWidget>
#include <QWindow>

namespace Desktop {

QtMenu::QtMenu(QObject* parent) : QtMenuBase(parent), m_menu(new QMenu)
{
    connect(m_menu.get(), &QMenu::aboutToHide, this, &QtMenu::menuClosed);
}

QtMenu::~QtMenu()
{
    // The QMenu goes first, then the entries (QObject children) with their
    // actions, so the menu never points at a deleted action.
    m_menu.reset();
}

QAction* QtMenu::action()
{
    return m_menu->menuAction();
}

QString QtMenu::text() const { return m_menu->title(); }
void QtMenu::setText(const QString& text) { m_menu->setTitle(text); }

void QtMenu::activateEntry(int index)
{
    const QList<QAction*> actions = m_menu->actions();
    if (index >= 0 && index < actions.size())
        m_menu->setActiveAction(actions[index]);
}

void QtMenu::setSelectedIndex(int index)
{
    m_selectedIndex = index;
    activateEntry(index);
    emit selectedIndexChanged();
}

void QtMenu::setHoveredIndex(int index)
{
    m_hoveredIndex = index;
    activateEntry(index);
    emit hoveredIndexChanged();
}

QQmlListProperty<QtMenuBase> QtMenu::menuItems()
{
    return QQmlListProperty<QtMenuBase>(this, nullptr, &QtMenu::appendItem, &QtMenu::itemCount,
                                        &QtMenu::itemAt, nullptr);
}

void QtMenu::appendItem(QQmlListProperty<QtMenuBase>* list, QtMenuBase* item)
{
    if (auto* menu = qobject_cast<QtMenu*>(list->object); menu && item)
        menu->append(item);
}

qsizetype QtMenu::itemCount(QQmlListProperty<QtMenuBase>* list)
{
    auto* menu = qobject_cast<QtMenu*>(list->object);
    return menu ? menu->m_items.size() : 0;
}

QtMenuBase* QtMenu::itemAt(QQmlListProperty<QtMenuBase>* list, qsizetype index)
{
    auto* menu = qobject_cast<QtMenu*>(list->object);
    if (!menu || index < 0 || index >= menu->m_items.size())
        return nullptr;
    return menu->m_items[index];
}

void QtMenu::append(QtMenuBase* item)
{
    item->setParent(this);
    m_items.append(item);
    m_menu->addAction(item->action());
}

int QtMenu::minimumWidth() const { return m_menu->minimumWidth(); }
void QtMenu::setMinimumWidth(int width) { m_menu->setMinimumWidth(width); }

void QtMenu::showPopup(qreal x, qreal y, int atActionIndex)
{
    if (m_menu->isVisible())
        return;
    const QList<QAction*> actions = m_menu->actions();
    QAction* anchor = atActionIndex >= 0 && atActionIndex < actions.size() ? actions[atActionIndex]
                                                                            : nullptr;
    const QPoint cursor = QCursor::pos();
    const QPoint local(toPixels(x), toPixels(y));
    QPoint global;
    if (QWidget* widget = QApplication::widgetAt(cursor))
        global = widget->mapToGlobal(local);
    else if (QWindow* window = QGuiApplication::topLevelAt(cursor))
        global = window->mapToGlobal(local); // a Qt Quick window without widgets
    else
        return;
    setHoveredIndex(m_selectedIndex);
    m_menu->popup(global, anchor);
}

void QtMenu::hidePopup()
{
    m_menu->close();
}

void QtMenu::clearMenuItems()
{
    m_menu->clear();
    const QList<QtMenuBase*> items = m_items;
    m_items.clear();
    qDeleteAll(items);
}

void QtMenu::addMenuItem(const QString& text)
{
    auto* item = new QtMenuItem(this);
    item->setText(text);
    append(item);
    connect(item->action(), &QAction::triggered, this, &QtMenu::emitSelected);
    connect(item->action(), &QAction::hovered, this, &QtMenu::emitHovered);
    // The stored index 0 now names a real entry.
    if (m_menu->actions().size() == 1)
        emit selectedIndexChanged();
}

QString QtMenu::itemTextAt(int index) const
{
    const QList<QAction*> actions = m_menu->actions();
    if (index < 0 || index >= actions.size())
        return QString();
    return actions[index]->text();
}

int QtMenu::indexOfSender() const
{
    return m_menu->actions().indexOf(qobject_cast<QAction*>(sender()));
}

void QtMenu::emitSelected()
{
    if (!qobject_cast<QAction*>(sender()))
        return;
    m_selectedIndex = indexOfSender();
    emit selectedIndexChanged();
}

void QtMenu::emitHovered()
{
    if (!qobject_cast<QAction*>(sender()))
        return;
    m_hoveredIndex = indexOfSender();
    emit hoveredIndexChanged();
}

} // namespace Desktop
