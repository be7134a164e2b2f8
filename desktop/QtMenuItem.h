#pragma once
// One entry of a native menu ("MenuItem") and a separator line
// ("Separator"). Every property of the entry is its QAction's own.
// GUI thread only.

#include "QtMenuBase.h"

namespace Desktop {

class QtMenuItem : public QtMenuBase {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString shortcut READ shortcut WRITE setShortcut NOTIFY shortcutChanged)
    Q_PROPERTY(bool checkable READ checkable WRITE setCheckable)
    Q_PROPERTY(bool checked READ checked WRITE setChecked NOTIFY toggled)
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(bool visible READ visible WRITE setVisible NOTIFY visibleChanged)

public:
    explicit QtMenuItem(QObject* parent = nullptr);

    QAction* action() override { return m_action; }

    QString text() const;
    void setText(const QString& text);
    QString shortcut() const;
    void setShortcut(const QString& shortcut);
    bool checkable() const;
    void setCheckable(bool checkable);
    bool checked() const;
    void setChecked(bool checked);
    bool enabled() const;
    void setEnabled(bool enabled);
    bool visible() const;
    void setVisible(bool visible);

signals:
    void triggered();
    void textChanged();
    void shortcutChanged();
    void toggled(bool checked);
    void enabledChanged();
    void visibleChanged();

private:
    QAction* m_action;
};

class QtMenuSeparator : public QtMenuBase {
    Q_OBJECT

public:
    explicit QtMenuSeparator(QObject* parent = nullptr);

    QAction* action() override { return m_action; }

private:
    QAction* m_action;
};

} // namespace Desktop
