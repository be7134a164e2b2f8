#include "mvvm/DialogCallbacks.h"

#include "mvvm/DialogState.h"
#include "mvvm/NativeDestructionWatch.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWidget>

namespace Mvvm {

namespace {

// Connects the notify signal of `property` on `root`, when it has one.
void followProperty(QObject* root, const char* property, QObject* receiver, const char* slotSignature)
{
    const QMetaObject* meta = root->metaObject();
    const int index = meta->indexOfProperty(property);
    if (index < 0 || !meta->property(index).hasNotifySignal())
        return;
    const QMetaObject* receiverMeta = receiver->metaObject();
    QObject::connect(root, meta->property(index).notifySignal(), receiver,
                     receiverMeta->method(receiverMeta->indexOfSlot(slotSignature)));
}

bool isEnterKey(const QKeyEvent& key)
{
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
           (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// A push button of the widget set (it has `defaultbutton`) that can be pressed.
bool isPressableButton(const QQuickItem* item)
{
    return item && item->property("defaultbutton").isValid() && item->isVisible() && item->isEnabled();
}

QQuickItem* defaultButtonIn(QQuickItem* item)
{
    if (!item)
        return nullptr;
    if (isPressableButton(item) && item->property("defaultbutton").toBool())
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = defaultButtonIn(child))
            return found;
    return nullptr;
}

} // namespace

DialogCallbacks::DialogCallbacks(QWidget* window, QQuickWidget* view, QObject* root)
    : QObject(window), window_(window), view_(view), root_(root)
{
    followProperty(root, "dialogFullScreen", this, "viewFullScreenChanged()");
    const int closeRequest = root->metaObject()->indexOfSignal("dialogCloseRequested()");
    if (closeRequest >= 0) {
        QObject::connect(root, root->metaObject()->method(closeRequest), window,
                         window->metaObject()->method(window->metaObject()->indexOfSlot("close()")));
    }
    followProperty(root, "width", this, "widthChanged()");
    followProperty(root, "height", this, "heightChanged()");
    window->installEventFilter(this);
    connect(new NativeDestructionWatch(window), &NativeDestructionWatch::destroyedFromOutside, this,
            &DialogCallbacks::closeWithoutAsking, Qt::QueuedConnection);
}

void DialogCallbacks::closeWithoutAsking()
{
    asksBeforeClose_ = false;
    // A modal window (the preview, opened from this window's menu) runs its
    // event loop inside this window's action and view: closed now, this
    // window would be deleted from that loop, under the handler that waits
    // for it. The modal window ends first, without asking, and this one
    // closes from the loop that runs once it has gone.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != window_) {
        connect(modal, &QObject::destroyed, this, &DialogCallbacks::closeWithoutAsking, Qt::QueuedConnection);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    window_->close();
}

// A modal window open over this one (the preview, opened from this
// window's menu) runs its event loop inside this window's action and view:
// a window that goes on its close would be deleted from that loop, under
// the call of its view that waits for the modal one, which then returns
// into a view that is gone. So the modal window ends with this one's
// close, and this one goes once the modal one has gone, from the loop that
// runs then.
void DialogCallbacks::goAfterTheModal()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == window_ || !window_->testAttribute(Qt::WA_DeleteOnClose))
        return;
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    connect(modal, &QObject::destroyed, window_, &QObject::deleteLater, Qt::QueuedConnection);
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

void DialogCallbacks::viewFullScreenChanged()
{
    const QVariant fullScreen = root_ ? root_->property("dialogFullScreen") : QVariant();
    if (!fullScreen.isValid())
        return;
    if (fullScreen.toBool())
        window_->showFullScreen();
    else
        window_->showNormal();
}

void DialogCallbacks::widthChanged()
{
    const QVariant width = root_ ? root_->property("width") : QVariant();
    if (width.isValid())
        view_->resize(width.toInt(), view_->height());
}

void DialogCallbacks::heightChanged()
{
    const QVariant height = root_ ? root_->property("height") : QVariant();
    if (height.isValid())
        view_->resize(view_->width(), height.toInt());
}

bool DialogCallbacks::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::KeyPress && qobject_cast<QDialog*>(window_)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Cancel)) {
            window_->close();
            return true;
        }
        // Reaches the window only when the view did not take the key.
        if (isEnterKey(*key) && pressDefaultButton())
            return true;
    }
    if (event->type() != QEvent::Close)
        return false;
    // Qt hands an event to a window's filters by their place in its list,
    // and a filter installed while the view asks moves this one down a
    // place (the menu bar does so as a question gets its buttons after Alt,
    // as in Alt+F4): the same close would then come here again. So the
    // close the view allows is delivered anew from here, and the delivery
    // that asked stops; within that delivery, and only there, the same
    // close passes without a question.
    if (event == allowedClose_)
        return false;
    if (asksBeforeClose_ && !rootAllowsClose()) {
        event->ignore();
        return true;
    }
    if (auto* mainWindow = qobject_cast<QMainWindow*>(watched))
        rememberMainWindowGeometry(*mainWindow);
    goAfterTheModal();
    // Nested: the window may be closed again while it closes.
    const QEvent* const outerAllowed = allowedClose_;
    allowedClose_ = event;
    const QPointer<DialogCallbacks> alive(this);
    QCoreApplication::sendEvent(watched, event);
    if (alive)
        allowedClose_ = outerAllowed;
    return true;
}

// As desktop dialogs do: the focused button, else the default one.
bool DialogCallbacks::pressDefaultButton()
{
    QQuickItem* focused = view_->quickWindow() ? view_->quickWindow()->activeFocusItem() : nullptr;
    QQuickItem* button = isPressableButton(focused) ? focused : defaultButtonIn(view_->rootObject());
    return button && QMetaObject::invokeMethod(button, "click");
}

// A root without dialogCanClose(), or a call that cannot be made, says yes.
bool DialogCallbacks::rootAllowsClose() const
{
    if (!root_)
        return true;
    const QMetaObject* meta = root_->metaObject();
    const int index = meta->indexOfMethod("dialogCanClose()");
    if (index < 0)
        return true;
    const QMetaMethod method = meta->method(index);
    QVariant answer(true);
    if (method.returnMetaType() == QMetaType::fromType<QVariant>()) {
        method.invoke(root_, Qt::DirectConnection, Q_RETURN_ARG(QVariant, answer));
    } else if (method.returnMetaType().isValid() && method.returnMetaType().id() != QMetaType::Void) {
        QVariant typed(method.returnMetaType());
        if (method.invoke(root_, Qt::DirectConnection, QGenericReturnArgument(method.typeName(), typed.data())))
            answer = typed;
    }
    return answer.toBool();
}

} // namespace Mvvm
