#include "QtMenuBar.h"

#include "QTopLevelWindow.h"
#include "QWindowItem.h"
#include "QtMenu.h"

#include <QMenu>
#include <QMenuBar>

namespace Desktop {

QtMenuBar::QtMenuBar(QQuickItem* parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, false);
    connect(this, &QQuickItem::parentChanged, this, &QtMenuBar::updateParent);
}

QQmlListProperty<QtMenu> QtMenuBar::menus()
{
    return QQmlListProperty<QtMenu>(this, nullptr, &QtMenuBar::appendMenu, &QtMenuBar::menuCount,
                                    &QtMenuBar::menuAt, nullptr);
}

void QtMenuBar::appendMenu(QQmlListProperty<QtMenu>* list, QtMenu* menu)
{
    auto* bar = qobject_cast<QtMenuBar*>(list->object);
    if (!bar || !menu)
        return;
    menu->setParent(bar);
    bar->m_menus.append(menu);
    if (bar->m_menuBar)
        bar->m_menuBar->addMenu(menu->menu());
}

qsizetype QtMenuBar::menuCount(QQmlListProperty<QtMenu>* list)
{
    auto* bar = qobject_cast<QtMenuBar*>(list->object);
    return bar ? bar->m_menus.size() : 0;
}

QtMenu* QtMenuBar::menuAt(QQmlListProperty<QtMenu>* list, qsizetype index)
{
    auto* bar = qobject_cast<QtMenuBar*>(list->object);
    if (!bar || index < 0 || index >= bar->m_menus.size())
        return nullptr;
    return bar->m_menus[index];
}

void QtMenuBar::updateParent()
{
    if (auto* window = qobject_cast<QWindowItem*>(parentItem()); window && window->topLevelWindow())
        m_menuBar = window->topLevelWindow()->menuBar();
    if (!m_menuBar)
        return;
    m_menuBar->clear();
    for (QtMenu* menu : std::as_const(m_menus))
        m_menuBar->addMenu(menu->menu());
}

} // namespace Desktop
