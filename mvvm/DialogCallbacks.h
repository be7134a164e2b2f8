#pragma once
// Connects one hosted view's root object to its window: follows
// dialogFullScreen and the root's size, closes the window on
// dialogCloseRequested(), and asks dialogCanClose() before any close
// (including Escape in a dialog, which would otherwise close it without a
// close event), once for each close even when it reaches the filter
// again; an allowed close is delivered anew from the filter (the window's
// other filters see it once more), a later close is asked again whatever
// its address. Return and keypad Enter that the view leaves press the
// focused push button of the widget set, else the shown one marked
// `defaultbutton`. A main window that closes leaves its geometry in the
// shared state. A window whose native window the window system destroyed
// from outside closes without asking (NativeDestructionWatch.h): nothing
// is left to answer on; a modal window open then ends first, and the
// window closes once it has gone. A window closed while a modal one is
// open over it (only the program can: the window system's closes are
// dropped) ends the modal one with it, and goes once that has gone.
// Child of the window, so it goes with it. GUI thread only.

#include <QObject>
#include <QPointer>

class QQuickWidget;
class QWidget;

namespace Mvvm {

class DialogCallbacks : public QObject {
    Q_OBJECT
public:
    DialogCallbacks(QWidget* window, QQuickWidget* view, QObject* root);

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void viewFullScreenChanged();
    void widthChanged();
    void heightChanged();

private:
    bool rootAllowsClose() const;
    void closeWithoutAsking();
    void goAfterTheModal();
    bool pressDefaultButton();

    QWidget* window_;
    QQuickWidget* view_;
    QPointer<QObject> root_;
    // The close event the view has allowed, while this filter delivers it
    // anew: compared, never read.
    const QEvent* allowedClose_ = nullptr;
    bool asksBeforeClose_ = true;
};

} // namespace Mvvm
