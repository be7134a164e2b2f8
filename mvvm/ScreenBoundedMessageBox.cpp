#include "mvvm/ScreenBoundedMessageBox.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTextDocumentFragment>

#include <algorithm>

namespace Mvvm {

ScreenBoundedMessageBox::ScreenBoundedMessageBox(Icon icon, const QString& title, const QString& text,
                                                 QWidget* parent, Qt::WindowFlags flags)
    : QMessageBox(icon, title, text, NoButton, parent, flags)
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &ScreenBoundedMessageBox::giveTheCopyBack);
}

void ScreenBoundedMessageBox::showEvent(QShowEvent* event)
{
    QMessageBox::showEvent(event);
    fitTheScreen();
}

// The box sizes itself anew at every layout request, and bounding its label
// posts one: it is fitted again after each, or the first pass of the event
// loop would undo the fitting. A window manager frames the box after it is
// shown, and tells it by no event of its own: the first event after that
// finds a frame the box was not fitted with.
bool ScreenBoundedMessageBox::event(QEvent* event)
{
    const bool handled = QMessageBox::event(event);
    if (isVisible() && !fitting_ && (event->type() == QEvent::LayoutRequest || frame() != fittedFrame_))
        fitTheScreen();
    return handled;
}

void ScreenBoundedMessageBox::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(copiedText());
        return;
    }
    QMessageBox::keyPressEvent(event);
}

void ScreenBoundedMessageBox::fitTheScreen()
{
    const QScopedValueRollback<bool> busy(fitting_, true);
    fittedFrame_ = frame();
    const QRect available = screen()->availableGeometry();
    const QSize room = available.size()
                       - QSize(fittedFrame_.left() + fittedFrame_.right(), fittedFrame_.top() + fittedFrame_.bottom());
    QLabel* const text = label();
    if (text && textFormat() == Qt::PlainText) {
        // The label's width once the box fits the screen; the box is as
        // wide as its widest word allows, up to a limit of its own.
        layout()->setGeometry(QRect(0, 0, std::min(width(), room.width()), height()));
        const QString given = showsBreakableText() ? breakable_.given() : this->text();
        breakable_ = BreakableText(given, text->fontMetrics(), text->contentsRect().width());
        // Setting the text has the box size itself again.
        if (breakable_.shown() != this->text())
            setText(breakable_.shown());
    }
    if (height() > room.height() && text) {
        const int boxWidth = widthForFewestLines(std::min(width(), room.width()), room);
        setFixedSize(boxWidth, heightForBoxWidth(boxWidth));
        if (height() > room.height()) {
            // The label's height at that width, less what does not fit.
            layout()->setGeometry(rect());
            text->setMaximumHeight(
                std::max(text->fontMetrics().height(), text->height() - (height() - room.height())));
            // What does not fit is left out at the end, not at both ends.
            text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
            setFixedSize(boxWidth, heightForBoxWidth(boxWidth));
        }
    }
    // The box takes the screen's whole width for a long word, with no room
    // for a window frame.
    if (width() > room.width() || height() > room.height())
        setFixedSize(std::min(width(), room.width()), std::min(height(), room.height()));
    QRect placed = frameGeometry();
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    move(placed.topLeft());
}

// As the box sizes itself: the height its layout needs at that width.
int ScreenBoundedMessageBox::heightForBoxWidth(int width) const
{
    return layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                         : layout()->totalMinimumSize().height();
}

// A text too tall for the screen at the width the box chose may take fewer
// lines in a wider box: the narrowest box, up to the screen's width, that is
// as short as the screen, or as short as any can be.
int ScreenBoundedMessageBox::widthForFewestLines(int narrowest, const QSize& room) const
{
    const int widest = std::max(narrowest, room.width());
    const int wanted = std::max(room.height(), heightForBoxWidth(widest));
    int low = narrowest;
    int high = widest;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (heightForBoxWidth(middle) <= wanted)
            high = middle;
        else
            low = middle + 1;
    }
    return high;
}

QLabel* ScreenBoundedMessageBox::label() const
{
    return findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
}

QMargins ScreenBoundedMessageBox::frame() const
{
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

bool ScreenBoundedMessageBox::showsBreakableText() const
{
    return textFormat() == Qt::PlainText && text() == breakable_.shown();
}

// The label's selection, or else its whole text, as the user reads it.
QString ScreenBoundedMessageBox::copiedText() const
{
    QLabel* const text = label();
    const bool selected = text && text->hasSelectedText();
    if (showsBreakableText()) {
        if (!selected)
            return breakable_.given();
        const int from = text->selectionStart();
        return breakable_.givenBetween(from, from + static_cast<int>(text->selectedText().size()));
    }
    if (selected)
        return QTextDocumentFragment::fromPlainText(text->selectedText()).toPlainText();
    const bool rich =
        textFormat() == Qt::RichText || (textFormat() == Qt::AutoText && Qt::mightBeRichText(this->text()));
    return rich ? QTextDocumentFragment::fromHtml(this->text()).toPlainText() : this->text();
}

// The label copies its selection with the breaks it shows (by its keys, its
// menu, or into the X11 selection as it is made): the text as given takes
// its place. Only while the box is active, so that another program's copy
// is not fetched for nothing.
void ScreenBoundedMessageBox::giveTheCopyBack(QClipboard::Mode mode)
{
    QLabel* const text = label();
    if (!isActiveWindow() || !showsBreakableText() || !text || !text->hasSelectedText())
        return;
    QClipboard* const clipboard = QGuiApplication::clipboard();
    const QString copied = clipboard->text(mode);
    // What the label copies: its selection as a document's plain text.
    if (copied != QTextDocumentFragment::fromPlainText(text->selectedText()).toPlainText())
        return;
    const QString given = copiedText();
    if (given != copied)
        clipboard->setText(given, mode);
}

} // namespace Mvvm
