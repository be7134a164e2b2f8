#pragma once
// The native window behind a QML "Window": a main window whose central
// widget is a Qt Quick view. The QML items of the window are shown under
// `setContentItem`'s item, which the window never deletes. Child windows
// stay above their parent and are hidden with it. A window without parent
// deletes itself when closed. GUI thread only.

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QQuickItem;
class QQuickWidget;

namespace Desktop {

class QTopLevelWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit QTopLevelWindow(QWidget* parent = nullptr);
    ~QTopLevelWindow() override;

    QQuickWidget* view() const { return m_view; }
    // Shows `content` in the view, sized to it; not owned.
    void setContentItem(QQuickItem* content);

    void addChildWindow(QTopLevelWindow* child);
    QList<QTopLevelWindow*> childWindows() const;
    bool positioned() const { return m_positioned; }
    // Moves the window and remembers that it was placed on purpose.
    void trackedMove(const QPoint& position);
    // Every flag change passes through here so that Qt::Window stays set.
    void applyWindowFlags(Qt::WindowFlags flags);
    // Centres the window on its parent, or on the primary screen without one.
    void center();
    // Centres this window and its child windows unless they were placed.
    void initialPositioning();

signals:
    void visibilityChanged();
    void windowStateChanged();
    void sizeChanged(QSize newSize);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitContentToView();

    QQuickWidget* m_view;
    QPointer<QQuickItem> m_content;
    QList<QPointer<QTopLevelWindow>> m_childWindows;
    bool m_positioned = false;
};

} // namespace Desktop
