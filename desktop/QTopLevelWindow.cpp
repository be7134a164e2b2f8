#include "QTopLevelWindow.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QResizeEvent>
#include <QScreen>

namespace Desktop {

QTopLevelWindow::QTopLevelWindow(QWidget* parent)
    : QMainWindow(parent), m_view(new QQuickWidget(this))
{
    m_view->setClearColor(palette().color(QPalette::Current, QPalette::Window));
    m_view->setResizeMode(QQuickWidget::SizeRootObjectToView);
    setCentralWidget(m_view);
    m_view->installEventFilter(this);
    setAttribute(Qt::WA_DeleteOnClose, true);
    hide();
}

QTopLevelWindow::~QTopLevelWindow()
{
    // The QML items belong to the QML document, not to this window.
    if (m_content)
        m_content->setParentItem(nullptr);
}

void QTopLevelWindow::setContentItem(QQuickItem* content)
{
    m_content = content;
    content->setParentItem(m_view->quickWindow()->contentItem());
    fitContentToView();
}

void QTopLevelWindow::fitContentToView()
{
    if (m_content)
        m_content->setSize(m_view->size());
}

void QTopLevelWindow::addChildWindow(QTopLevelWindow* child)
{
    if (!m_childWindows.contains(child))
        m_childWindows.append(child);
    // As a plain child widget for now; showing it makes it a window again,
    // one that stays above this one.
    child->setParent(this);
}

QList<QTopLevelWindow*> QTopLevelWindow::childWindows() const
{
    QList<QTopLevelWindow*> windows;
    for (const QPointer<QTopLevelWindow>& child : m_childWindows)
        if (child)
            windows.append(child);
    return windows;
}

void QTopLevelWindow::trackedMove(const QPoint& position)
{
    m_positioned = true;
    move(position);
}

void QTopLevelWindow::applyWindowFlags(Qt::WindowFlags flags)
{
    setWindowFlags(flags | Qt::Window);
}

void QTopLevelWindow::center()
{
    QPoint middle;
    if (QWidget* parent = parentWidget())
        middle = parent->geometry().center();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        middle = screen->geometry().center();
    QRect frame = geometry();
    frame.moveCenter(middle);
    setGeometry(frame);
}

void QTopLevelWindow::initialPositioning()
{
    if (!m_positioned)
        center();
    for (QTopLevelWindow* child : childWindows())
        child->initialPositioning();
}

bool QTopLevelWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::Resize)
        fitContentToView();
    return QMainWindow::eventFilter(watched, event);
}

bool QTopLevelWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        emit sizeChanged(static_cast<QResizeEvent*>(event)->size());
        break;
    case QEvent::Show:
        emit visibilityChanged();
        break;
    case QEvent::Hide:
        for (QTopLevelWindow* child : childWindows())
            child->hide();
        emit visibilityChanged();
        break;
    case QEvent::ParentChange:
        setAttribute(Qt::WA_DeleteOnClose, parentWidget() == nullptr);
        break;
    case QEvent::WindowStateChange:
        emit windowStateChanged();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

} // namespace Desktop
