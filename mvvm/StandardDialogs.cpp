// The file dialogs and the message box of Mvvm::Dialog.

#include "mvvm/Dialog.h"

#include "mvvm/DialogState.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace Mvvm {

namespace {

// The folder given, else the one remembered; when it is gone (or was never
// made, as the movies folder of a fresh account), its nearest existing
// parent: the dialog would show a missing folder's name as a file name.
QString startFolder(const QString& directory, const QString& remembered)
{
    const QString wanted = directory.isEmpty() ? remembered : directory;
    QFileInfo folder(wanted);
    if (wanted.isEmpty() || folder.isDir())
        return wanted;
    while (!folder.isDir()) {
        const QString parent = folder.absolutePath();
        if (parent == folder.absoluteFilePath())
            return QString();
        folder.setFile(parent);
    }
    return folder.absoluteFilePath();
}

QString titleOr(const QString& caption)
{
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

// The canonical folder of a chosen file. A file the save dialog names may
// not exist yet: its folder does.
QString canonicalFolderOf(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? folder : canonical;
}

QMessageBox::Icon messageIcon(int icon)
{
    return icon >= Dialog::NoIcon && icon <= Dialog::QuestionIcon ? static_cast<QMessageBox::Icon>(icon)
                                                                   : QMessageBox::NoIcon;
}

// The text with a break allowed between the characters of each word wider
// than `width`: a label wraps only between words, and cuts such a word (and
// the "…" a cut feed text ends with) at its right edge. Narrower words still
// wrap between words.
QString withLongWordsBreakable(const QString& text, const QFontMetrics& metrics, int width)
{
    const QChar zeroWidthSpace(0x200B);
    QString result;
    QTextBoundaryFinder lineBreaks(QTextBoundaryFinder::Line, text);
    for (qsizetype start = 0, end = lineBreaks.toNextBoundary(); end > start;
         start = end, end = lineBreaks.toNextBoundary()) {
        const QString word = text.mid(start, end - start);
        if (metrics.horizontalAdvance(word.trimmed()) <= width) {
            result += word;
            continue;
        }
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, word);
        for (qsizetype from = 0, to = characters.toNextBoundary(); to > from;
             from = to, to = characters.toNextBoundary()) {
            if (from > 0)
                result += zeroWidthSpace;
            result += word.mid(from, to - from);
        }
    }
    return result;
}

// A message box sizes itself to its text as it is shown, as tall as the text
// needs: a long text would put its buttons below the screen. This one first
// lets a plain text's word wider than the box wrap anywhere, then widens a
// box too tall for the screen while that saves lines, then gives its text at
// most the height the screen leaves, so the whole box fits the screen's
// available area, and it stays within that area.
class ScreenBoundedMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        fitTheScreen();
    }

    // The box sizes itself anew at every layout request, and bounding its
    // label posts one: it is fitted again after each, or the first pass of
    // the event loop would undo the fitting.
    bool event(QEvent* event) override
    {
        const bool handled = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest && isVisible() && !fitting_)
            fitTheScreen();
        return handled;
    }

private:
    void fitTheScreen()
    {
        const QScopedValueRollback<bool> busy(fitting_, true);
        const QRect available = screen()->availableGeometry();
        const QSize frame = frameGeometry().size() - size();
        const QSize room = available.size() - frame;
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label && textFormat() == Qt::PlainText) {
            // The label's width once the box fits the screen; the box is as
            // wide as its widest word allows, up to a limit of its own.
            layout()->setGeometry(QRect(0, 0, std::min(width(), room.width()), height()));
            const QString breakable =
                withLongWordsBreakable(text(), label->fontMetrics(), label->contentsRect().width());
            // Setting the text has the box size itself again.
            if (breakable != text())
                setText(breakable);
        }
        if (height() > room.height() && label) {
            const int boxWidth = widthForFewestLines(std::min(width(), room.width()), room);
            setFixedSize(boxWidth, heightForBoxWidth(boxWidth));
            if (height() > room.height()) {
                // The label's height at that width, less what does not fit.
                layout()->setGeometry(rect());
                label->setMaximumHeight(
                    std::max(label->fontMetrics().height(), label->height() - (height() - room.height())));
                // What does not fit is left out at the end, not at both ends.
                label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
                setFixedSize(boxWidth, heightForBoxWidth(boxWidth));
            }
        }
        // The box takes the screen's whole width for a long word, with no
        // room for a window frame.
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
    int heightForBoxWidth(int width) const
    {
        return layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                             : layout()->totalMinimumSize().height();
    }

    // A text too tall for the screen at the width the box chose may take
    // fewer lines in a wider box: the narrowest box, up to the screen's
    // width, that is as short as the screen, or as short as any can be.
    int widthForFewestLines(int narrowest, const QSize& room) const
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

    bool fitting_ = false;
};

} // namespace

QStringList Dialog::showOpenDialog(bool singleSelect, const QString& filters, const QString& directory,
                                   const QString& caption)
{
    DialogState& state = dialogState();
    const QString start = startFolder(directory, state.openDialogDirectory);
    QStringList files;
    if (singleSelect) {
        const QString file = QFileDialog::getOpenFileName(QApplication::activeWindow(), titleOr(caption), start,
                                                          filters);
        if (!file.isEmpty())
            files << file;
    } else {
        files = QFileDialog::getOpenFileNames(QApplication::activeWindow(), titleOr(caption), start, filters);
    }
    if (!files.isEmpty()) {
        state.openDialogDirectory = canonicalFolderOf(files.first());
        saveDialogSettings();
    }
    return files;
}

QString Dialog::showSaveDialog(const QString& filters, const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const QString file = QFileDialog::getSaveFileName(QApplication::activeWindow(), titleOr(caption),
                                                      startFolder(directory, state.saveDialogDirectory), filters);
    if (!file.isEmpty()) {
        state.saveDialogDirectory = canonicalFolderOf(file);
        saveDialogSettings();
    }
    return file;
}

QString Dialog::showDirectoryDialog(const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const QString folder =
        QFileDialog::getExistingDirectory(QApplication::activeWindow(), titleOr(caption),
                                          startFolder(directory, state.dirDialogDirectory),
                                          QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        state.dirDialogDirectory = canonical.isEmpty() ? folder : canonical;
        saveDialogSettings();
    }
    return folder;
}

int Dialog::showMessageDialog(const QString& text, int icon, const QString& caption, const QStringList& buttons,
                              int defaultIndex, int format)
{
    ScreenBoundedMessageBox box(messageIcon(icon), titleOr(caption), text, QMessageBox::NoButton,
                                QApplication::activeWindow(), Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    if (format == PlainText)
        box.setTextFormat(Qt::PlainText);
    // The box picks its escape button by role: the one button, or the one
    // rejecting button, so the default is the only accepting one.
    QList<QPushButton*> pushButtons;
    for (int i = 0; i < buttons.size(); ++i) {
        pushButtons << box.addButton(buttons.at(i),
                                     i == defaultIndex ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    }
    if (defaultIndex >= 0 && defaultIndex < pushButtons.size())
        box.setDefaultButton(pushButtons.at(defaultIndex));
    box.exec();
    return pushButtons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
}

} // namespace Mvvm
