#pragma once
// The message box of Mvvm::Dialog. A message box sizes itself to its text
// as it is shown, as tall as the text needs: a long text would put its
// buttons below the screen. This one lets a plain text's word wider than the
// box wrap anywhere (see BreakableText), widens a box too tall for the
// screen while that saves lines, then gives its text at most the height the
// screen leaves, so that the whole box, window frame included, fits the
// screen's available area; and it stays within that area. A window manager
// frames the box only once it is shown: it is fitted again then.
// Copying gives the text as given, never the added breaks: Ctrl+C on the box
// copies the label's selection, or else its whole text; the label's own
// copies (its keys, its menu, the X11 selection) are put right as they
// reach the clipboard. GUI thread.

#include "mvvm/BreakableText.h"

#include <QClipboard>
#include <QMargins>
#include <QMessageBox>

class QLabel;

namespace Mvvm {

class ScreenBoundedMessageBox : public QMessageBox {
public:
    ScreenBoundedMessageBox(Icon icon, const QString& title, const QString& text, QWidget* parent,
                            Qt::WindowFlags flags);

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitTheScreen();
    int heightForBoxWidth(int width) const;
    int widthForFewestLines(int narrowest, const QSize& room) const;

    QLabel* label() const;
    // The window frame's thickness on each side; none before a window
    // manager has framed the box.
    QMargins frame() const;
    // The label's plain text as given, when it shows breaks of its own.
    bool showsBreakableText() const;
    QString copiedText() const;
    void giveTheCopyBack(QClipboard::Mode mode);

    BreakableText breakable_;
    QMargins fittedFrame_;
    bool fitting_ = false;
};

} // namespace Mvvm
