#pragma once
// A QML "Window": a separate native window for the items declared in it.
// The item itself stays an invisible stand-in in the document that declares
// it; its children are shown in the window's own Qt Quick view. Its
// geometry and visibility follow the window: writing x, y, width, height or
// visible moves, sizes, shows or hides the window, and the window's moves,
// resizes, showing and hiding come back as the item's values. Heights
// include the menu bar's (the "menu allowance"). A window declared inside
// another is its child window: kept above it, centred on it, hidden with
// it. The item never deletes the window; a window without parent deletes
// itself when closed, after which the item keeps its last values.
// GUI thread only.

#include <QPointer>
#include <QQuickItem>

#include "QTopLevelWindow.h"

namespace Desktop {

class QWindowItem : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(int minimumHeight READ minimumHeight WRITE setMinimumHeight NOTIFY minimumHeightChanged)
    Q_PROPERTY(int maximumHeight READ maximumHeight WRITE setMaximumHeight NOTIFY maximumHeightChanged)
    Q_PROPERTY(int minimumWidth READ minimumWidth WRITE setMinimumWidth NOTIFY minimumWidthChanged)
    Q_PROPERTY(int maximumWidth READ maximumWidth WRITE setMaximumWidth NOTIFY maximumWidthChanged)
    Q_PROPERTY(bool windowDecoration READ windowDecoration WRITE setWindowDecoration
               NOTIFY windowDecorationChanged)
    Q_PROPERTY(bool modal READ modal WRITE setModal NOTIFY modalityChanged)
    Q_PROPERTY(bool close READ close WRITE setClose)
    Q_PROPERTY(Qt::WindowState windowState READ windowState WRITE setWindowState
               NOTIFY windowStateChanged)
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)

public:
    explicit QWindowItem(QQuickItem* parent = nullptr);
    // For a window made by the caller; the item does not own it.
    explicit QWindowItem(QTopLevelWindow* window, QQuickItem* parent = nullptr);
    ~QWindowItem() override;

    QTopLevelWindow* topLevelWindow() const { return m_window; }
    // The height the window's menu bar takes: its hint plus 1, or 0.
    int menuAllowance() const;

    int minimumHeight() const;
    void setMinimumHeight(int height);
    int maximumHeight() const;
    void setMaximumHeight(int height);
    int minimumWidth() const;
    void setMinimumWidth(int width);
    int maximumWidth() const;
    void setMaximumWidth(int width);
    bool windowDecoration() const;
    void setWindowDecoration(bool decorated);
    bool modal() const;
    void setModal(bool modal);
    bool close() const { return false; }
    void setClose(bool close);
    Qt::WindowState windowState() const;
    void setWindowState(Qt::WindowState state);
    QString title() const;
    void setTitle(const QString& title);

    void classBegin() override;
    void componentComplete() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void updateSize(QSize newSize);
    void center();
    // Moves the window so that the item point (x, y) lies under the global
    // point it maps to, less (lx, ly): dragging a frameless window.
    void moveWindow(int x, int y, int lx, int ly);

signals:
    void sizeChanged();
    void windowDecorationChanged();
    void windowStateChanged();
    void minimumHeightChanged();
    void minimumWidthChanged();
    void maximumHeightChanged();
    void maximumWidthChanged();
    void titleChanged();
    void modalityChanged();

protected:
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;

private:
    void connectWindow();
    void writeVisible(bool visible);
    void writeX(int x);
    void writeY(int y);
    void writeWidth(int width);
    void writeHeight(int height);
    // Copies the window's geometry and visibility into the item without
    // acting on them again.
    void followWindow();

    QPointer<QTopLevelWindow> m_window;
    QQuickItem* m_content; // shown in the window's view; owned by this item
    int m_x = 0;
    int m_y = 0;
    bool m_showPending = false;
    bool m_following = false;
};

} // namespace Desktop
