#pragma once
// A native popup menu for QML ("Menu"), filled with entries declared in QML
// (`menuItems`) or added by text (`addMenuItem`), and opened at a point of
// the window under the mouse cursor. Entries added by text report the one
// chosen through `selectedIndex`; entries declared in QML report their own
// `triggered()`. The menu owns its QMenu and, as QObject children, its
// entries. GUI thread only.

#include "QtMenuBase.h"

#include <QList>
#include <QQmlListProperty>

#include <memory>

class QMenu;

namespace Desktop {

class QtMenu : public QtMenuBase {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(int selectedIndex READ selectedIndex WRITE setSelectedIndex NOTIFY selectedIndexChanged)
    Q_PROPERTY(int hoveredIndex READ hoveredIndex WRITE setHoveredIndex NOTIFY hoveredIndexChanged)
    Q_PROPERTY(QQmlListProperty<QtMenuBase> menuItems READ menuItems)
    Q_CLASSINFO("DefaultProperty", "menuItems")

public:
    explicit QtMenu(QObject* parent = nullptr);
    ~QtMenu() override;

    QAction* action() override;
    QMenu* menu() const { return m_menu.get(); }

    QString text() const;
    void setText(const QString& text);
    int selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(int index);
    int hoveredIndex() const { return m_hoveredIndex; }
    void setHoveredIndex(int index);
    QQmlListProperty<QtMenuBase> menuItems();

    Q_INVOKABLE int minimumWidth() const;
    Q_INVOKABLE void setMinimumWidth(int width);
    // Opens the menu with (x, y), in the coordinates of the window under the
    // mouse cursor, as its corner, or with the entry at atActionIndex there.
    Q_INVOKABLE void showPopup(qreal x, qreal y, int atActionIndex = -1);
    Q_INVOKABLE void hidePopup();
    Q_INVOKABLE void clearMenuItems();
    Q_INVOKABLE void addMenuItem(const QString& text);
    Q_INVOKABLE QString itemTextAt(int index) const;

public slots:
    void emitSelected();
    void emitHovered();

signals:
    void menuClosed();
    void selectedIndexChanged();
    void hoveredIndexChanged();

private:
    static void appendItem(QQmlListProperty<QtMenuBase>* list, QtMenuBase* item);
    static qsizetype itemCount(QQmlListProperty<QtMenuBase>* list);
    static QtMenuBase* itemAt(QQmlListProperty<QtMenuBase>* list, qsizetype index);
    void append(QtMenuBase* item);
    // Makes the entry at index the menu's active one, when there is one.
    void activateEntry(int index);
    int indexOfSender() const;

    std::unique_ptr<QMenu> m_menu;
    QList<QtMenuBase*> m_items;
    int m_selectedIndex = 0;
    int m_hoveredIndex = 0;
};

} // namespace Desktop
