#pragma once
// A QML menu bar ("MenuBar") that draws nothing: declared inside a "Window",
// it puts its menus into that window's native menu bar. Moved to a parent
// that is no window, it keeps filling the menu bar it found before.
// GUI thread only.

#include <QList>
#include <QPointer>
#include <QQmlListProperty>
#include <QQuickItem>

#include <QMenuBar>

namespace Desktop {

class QtMenu;

class QtMenuBar : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(QQmlListProperty<QtMenu> menus READ menus)
    Q_CLASSINFO("DefaultProperty", "menus")

public:
    explicit QtMenuBar(QQuickItem* parent = nullptr);

    QQmlListProperty<QtMenu> menus();
    QMenuBar* targetMenuBar() const { return m_menuBar; }

public slots:
    void updateParent();

private:
    static void appendMenu(QQmlListProperty<QtMenu>* list, QtMenu* menu);
    static qsizetype menuCount(QQmlListProperty<QtMenu>* list);
    static QtMenu* menuAt(QQmlListProperty<QtMenu>* list, qsizetype index);

    QList<QtMenu*> m_menus;
    QPointer<QMenuBar> m_menuBar; // owned by the window
};

} // namespace Desktop
