#include "QWindowItem.h"

#include "PixelValues.h"
#include "QTopLevelWindow.h"

#include <QCoreApplication>
#include <QMenuBar>
#include <QTimer>
#include <QtDebug>

namespace Desktop {

namespace {

// Sets a flag for the lifetime of the guard, so that the item's own
// changes made while following the window are not acted on again.
class Following {
public:
    explicit Following(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~Following() { m_flag = m_old; }

private:
    bool& m_flag;
    bool m_old;
};

} // namespace

QWindowItem::QWindowItem(QQuickItem* parent) : QWindowItem(new QTopLevelWindow, parent) {}

QWindowItem::QWindowItem(QTopLevelWindow* window, QQuickItem* parent)
    : QQuickItem(parent), m_window(window), m_content(new QQuickItem)
{
    m_content->setParent(this);
    setFlag(ItemHasContents, false);
    connectWindow();
    // A window starts hidden, and so does the item that stands for it.
    followWindow();
}

QWindowItem::~QWindowItem()
{
    if (m_window)
        m_window->removeEventFilter(this);
}

void QWindowItem::connectWindow()
{
    connect(m_window, &QTopLevelWindow::visibilityChanged, this, &QWindowItem::followWindow);
    connect(m_window, &QTopLevelWindow::windowStateChanged, this, &QWindowItem::windowStateChanged);
    connect(m_window, &QTopLevelWindow::sizeChanged, this, &QWindowItem::updateSize);
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, m_window.data(),
            &QWidget::close);
    m_window->installEventFilter(this);
}

int QWindowItem::menuAllowance() const
{
    // Only a menu bar the window really has counts; asking QMainWindow for
    // one would create an empty bar.
    const auto* bar = m_window ? qobject_cast<QMenuBar*>(m_window->menuWidget()) : nullptr;
    const int height = bar ? bar->sizeHint().height() : 0;
    return height == 0 ? 0 : height + 1;
}

void QWindowItem::followWindow()
{
    if (!m_window)
        return;
    Following following(m_following);
    setVisible(m_window->isVisible());
    setPosition(QPointF(m_window->x(), m_window->y()));
    setSize(QSizeF(m_window->width(), m_window->height()));
}

void QWindowItem::updateSize(QSize newSize)
{
    {
        Following following(m_following);
        setSize(QSizeF(newSize));
    }
    emit sizeChanged();
}

void QWindowItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (m_following || !m_window)
        return;
    if (newGeometry.x() != oldGeometry.x())
        writeX(toPixels(newGeometry.x()));
    if (newGeometry.y() != oldGeometry.y())
        writeY(toPixels(newGeometry.y()));
    if (newGeometry.width() != oldGeometry.width())
        writeWidth(toPixels(newGeometry.width()));
    if (newGeometry.height() != oldGeometry.height())
        writeHeight(toPixels(newGeometry.height()));
}

void QWindowItem::itemChange(ItemChange change, const ItemChangeData& value)
{
    QQuickItem::itemChange(change, value);
    if (change == ItemVisibleHasChanged && !m_following && m_window)
        writeVisible(value.boolValue);
    // Items added once the window is up are shown in it too.
    if (change == ItemChildAddedChange && isComponentComplete() && m_window)
        value.item->setParentItem(m_content);
}

void QWindowItem::writeX(int x)
{
    m_x = x;
    qDebug("a %d, %d", m_x, m_y);
    m_window->trackedMove(QPoint(m_x, m_y));
    followWindow();
}

void QWindowItem::writeY(int y)
{
    m_y = y;
    qDebug("a %d, %d", m_x, m_y);
    m_window->trackedMove(QPoint(m_x, m_y));
    followWindow();
}

void QWindowItem::writeWidth(int width)
{
    m_window->resize(width, m_window->height());
    followWindow();
}

void QWindowItem::writeHeight(int height)
{
    m_window->resize(m_window->width(), addPixels(height, menuAllowance()));
    followWindow();
}

void QWindowItem::writeVisible(bool visible)
{
    m_window->applyWindowFlags(m_window->windowFlags());
    if (!visible) {
        m_window->hide();
        return;
    }
    if (!isComponentComplete()) {
        m_showPending = true;
        return;
    }
    // Shown from the event loop, once the document has finished setting up.
    QTimer::singleShot(1, m_window.data(), &QWidget::show);
}

int QWindowItem::minimumHeight() const { return m_window ? m_window->minimumHeight() : 0; }

void QWindowItem::setMinimumHeight(int height)
{
    if (m_window)
        m_window->setMinimumHeight(addPixels(height, menuAllowance()));
    emit minimumHeightChanged();
}

int QWindowItem::maximumHeight() const { return m_window ? m_window->maximumHeight() : 0; }

void QWindowItem::setMaximumHeight(int height)
{
    if (m_window)
        m_window->setMaximumHeight(addPixels(height, menuAllowance()));
    emit maximumHeightChanged();
}

int QWindowItem::minimumWidth() const { return m_window ? m_window->minimumWidth() : 0; }

void QWindowItem::setMinimumWidth(int width)
{
    if (m_window)
        m_window->setMinimumWidth(width);
    emit minimumWidthChanged();
}

int QWindowItem::maximumWidth() const { return m_window ? m_window->maximumWidth() : 0; }

void QWindowItem::setMaximumWidth(int width)
{
    if (m_window)
        m_window->setMaximumWidth(width);
    emit maximumWidthChanged();
}

bool QWindowItem::windowDecoration() const
{
    return m_window && !(m_window->windowFlags() & Qt::FramelessWindowHint);
}

void QWindowItem::setWindowDecoration(bool decorated)
{
    if (m_window) {
        const bool wasVisible = m_window->isVisible();
        Qt::WindowFlags flags = m_window->windowFlags();
        flags.setFlag(Qt::FramelessWindowHint, !decorated);
        m_window->applyWindowFlags(flags);
        // Changing flags hides a window.
        if (wasVisible)
            m_window->show();
    }
    emit windowDecorationChanged();
}

bool QWindowItem::modal() const
{
    return m_window && m_window->windowModality() != Qt::NonModal;
}

void QWindowItem::setModal(bool modal)
{
    if (m_window) {
        const bool wasVisible = m_window->isVisible();
        m_window->hide();
        m_window->setWindowModality(modal ? Qt::WindowModal : Qt::NonModal);
        Qt::WindowFlags flags = m_window->windowFlags();
        flags.setFlag(Qt::WindowStaysOnTopHint, modal);
        m_window->applyWindowFlags(flags);
        if (wasVisible)
            m_window->show();
    }
    emit modalityChanged();
}

void QWindowItem::setClose(bool close)
{
    if (close && m_window)
        m_window->close();
}

Qt::WindowState QWindowItem::windowState() const
{
    if (!m_window)
        return Qt::WindowNoState;
    const Qt::WindowStates states = m_window->windowState() & ~Qt::WindowActive;
    return Qt::WindowState(int(states));
}

void QWindowItem::setWindowState(Qt::WindowState state)
{
    if (m_window)
        m_window->setWindowState(state);
}

QString QWindowItem::title() const { return m_window ? m_window->windowTitle() : QString(); }

void QWindowItem::setTitle(const QString& title)
{
    if (m_window)
        m_window->setWindowTitle(title);
    emit titleChanged();
}

void QWindowItem::center()
{
    if (m_window)
        m_window->center();
}

void QWindowItem::moveWindow(int x, int y, int lx, int ly)
{
    if (!m_window)
        return;
    const QPoint global = m_window->mapToGlobal(QPoint(addPixels(x, 0), addPixels(y, 0)));
    const QPoint grab(addPixels(lx, 0), addPixels(ly, 0));
    m_window->trackedMove(QPoint(addPixels(global.x(), -grab.x()), addPixels(global.y(), -grab.y())));
}

void QWindowItem::classBegin()
{
    QQuickItem::classBegin();
}

void QWindowItem::componentComplete()
{
    for (QQuickItem* ancestor = parentItem(); ancestor; ancestor = ancestor->parentItem()) {
        if (auto* parentWindow = qobject_cast<QWindowItem*>(ancestor)) {
            if (parentWindow->m_window && m_window)
                parentWindow->m_window->addChildWindow(m_window);
            break;
        }
    }
    if (m_window) {
        // The declared items are drawn in the window's own view; this item
        // stays behind as their stand-in, outside any scene, so that its
        // visibility is the window's alone.
        const QList<QQuickItem*> children = childItems();
        for (QQuickItem* child : children)
            child->setParentItem(m_content);
        m_window->setContentItem(m_content);
        if (!m_window->parentWidget())
            m_window->initialPositioning();
    }
    {
        Following following(m_following);
        setParentItem(nullptr);
    }
    QQuickItem::componentComplete();
    if (m_showPending && m_window) {
        m_showPending = false;
        writeVisible(true);
    }
}

bool QWindowItem::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: a window being destroyed still sends its last events
    // through here, and is no longer a QTopLevelWindow to compare with.
    const bool moved = event->type() == QEvent::Move;
    const bool resized = event->type() == QEvent::Resize;
    if ((moved || resized) && watched == m_window) {
        followWindow();
        if (resized)
            emit sizeChanged();
    }
    return QQuickItem::eventFilter(watched, event);
}

} // namespace Desktop
