#include "HostedWindows.h"

#include "mvvm/Dialog.h"

#include "support-qt/LogCapture.h"
#include "support-qt/TestChooser.h"
#include "support/ChildProcesses.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

using Mvvm::Dialog;

namespace {

enum class Answer { Enter, Escape, CloseButton, EscapeThenLastButton };

struct MessageCase {
    const char* name;
    QStringList buttons;
    int defaultIndex;
    Answer answer;
    int expected;
    int escapeIndex = -1;
};

void PrintTo(const MessageCase& c, std::ostream* out) { *out << c.name; }

class MessageBoxAnswer : public testing::TestWithParam<MessageCase> {};

void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &event);
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

// Under a window manager (the run on a virtual X server), a window is framed
// some time after it is shown, and the box fits the screen again then:
// waits, bounded, until it has a frame and lies in the available area, and
// its button has had the move too (a loaded machine brings the frame's and
// the window's news apart).
void waitUntilFramedWithin(QWidget* box, const QRect& available, QWidget* button)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const auto placed = [&] {
        const QRect frame = box->frameGeometry();
        return frame != box->geometry() && available.contains(frame) &&
               frame.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));
    };
    QElapsedTimer clock;
    clock.start();
    // Bounded for a window system slowed by busy cores.
    while (!placed() && clock.elapsed() < 15000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

TEST_P(MessageBoxAnswer, GivesTheIndexOfTheButtonThatClosedIt)
{
    const MessageCase& c = GetParam();
    Dialog host;
    QString title;
    whenModalShows([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box);
        title = box->windowTitle();
        switch (c.answer) {
        case Answer::Enter:
            press(box, Qt::Key_Return);
            break;
        case Answer::Escape:
            press(box, Qt::Key_Escape);
            break;
        case Answer::CloseButton: {
            QCloseEvent close;
            QApplication::sendEvent(box, &close);
            break;
        }
        case Answer::EscapeThenLastButton:
            press(box, Qt::Key_Escape);
            QCloseEvent close;
            QApplication::sendEvent(box, &close);
            EXPECT_TRUE(box->isVisible());
            qobject_cast<QPushButton*>(box->buttons().last())->click();
            break;
        }
    });
    EXPECT_EQ(host.showMessageDialog(QStringLiteral("text"), Dialog::QuestionIcon, QString(), c.buttons,
                                     c.defaultIndex, Dialog::AutoText, c.escapeIndex),
              c.expected);
    EXPECT_EQ(title, QCoreApplication::applicationName());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MessageBoxAnswer,
    testing::Values(
        MessageCase{"OneButtonEscape", {"Close"}, -1, Answer::Escape, 0},
        MessageCase{"OneButtonCloseButton", {"Close"}, -1, Answer::CloseButton, 0},
        MessageCase{"QuitCancelEnter", {"Quit", "Cancel"}, 0, Answer::Enter, 0},
        MessageCase{"QuitCancelEscape", {"Quit", "Cancel"}, 0, Answer::Escape, 1},
        MessageCase{"QuitCancelCloseButton", {"Quit", "Cancel"}, 0, Answer::CloseButton, 1},
        MessageCase{"ThreeButtonsEnter", {"Show In Folder", "Play", "Close"}, 0, Answer::Enter, 0},
        MessageCase{"ThreeButtonsOnlyByAButton", {"Show In Folder", "Play", "Close"}, 0,
                    Answer::EscapeThenLastButton, 2},
        MessageCase{"ThreeButtonsEscapeIsTheOneNamed", {"Show In Folder", "Play", "Close"}, 0, Answer::Escape, 2, 2},
        MessageCase{"ThreeButtonsCloseButtonIsTheOneNamed", {"Show In Folder", "Play", "Close"}, 0,
                    Answer::CloseButton, 2, 2},
        MessageCase{"TwoWithoutDefaultOnlyByAButton", {"Yes", "No"}, 2, Answer::EscapeThenLastButton, 1},
        MessageCase{"NoButtonsOwnOk", {}, -1, Answer::Enter, -1}),
    [](const testing::TestParamInfo<MessageCase>& info) { return info.param.name; });

// Texts as tall as a notice from a feed may be (30 lines, 2000
// characters), and taller: the box, its window frame and its buttons stay
// on the screen.
TEST(StandardDialogs, MessageBoxFitsTheScreenWhateverItsText)
{
    const QString longLine(2000, QLatin1Char('w'));
    QString thirtyLines;
    for (int i = 0; i < 30; ++i)
        thirtyLines += QString(60, QLatin1Char('x')) + QLatin1Char(' ') + QString(5, QLatin1Char('y')) + '\n';
    QString manyLines;
    for (int i = 0; i < 400; ++i)
        manyLines += QStringLiteral("line\n");
    // Many short words: too tall for the screen at any width.
    QString manyWords;
    for (int i = 0; i < 3000; ++i)
        manyWords += QStringLiteral("word ");
    Dialog host;
    for (const QString& text : {longLine, thirtyLines, manyLines, manyWords, QString("short")}) {
        QRect box;
        QRect close;
        QRect available;
        whenModalShows([&](QWidget* modal) {
            available = modal->screen()->availableGeometry();
            QAbstractButton* button = qobject_cast<QMessageBox*>(modal)->buttons().first();
            waitUntilFramedWithin(modal, available, button);
            box = modal->frameGeometry();
            close = QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
            button->click();
        });
        EXPECT_EQ(0, host.showMessageDialog(text, Dialog::InformationIcon, QString(), {"Close"}, 0,
                                            Dialog::PlainText));
        EXPECT_TRUE(available.contains(box))
            << text.size() << " characters: " << box.x() << "," << box.y() << " " << box.width() << "x"
            << box.height() << " in " << available.width() << "x" << available.height();
        EXPECT_TRUE(box.contains(close)) << text.size() << " characters";
        EXPECT_FALSE(close.isEmpty());
    }
}

// A feed text cut inside one long word ends in "…" at the word's end: the
// word wraps at the label's width, so every line, the last with "…" too, is
// drawn inside the label, and the label inside the box.
TEST(StandardDialogs, AWordWiderThanTheBoxWrapsAnywhere)
{
    const QString cutWord = QString(1999, QLatin1Char('w')) + QChar(0x2026);
    Dialog host;
    QString shown;
    whenModalShows([&](QWidget* modal) {
        auto* label = modal->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_TRUE(label);
        shown = label->text();
        const QRect room = label->contentsRect();
        // Laid out as the label lays out its text: at its width, breaking
        // only where a line may break.
        QTextLayout layout(label->text(), label->font());
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(wrap);
        layout.beginLayout();
        qreal widest = 0;
        qreal height = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(room.width());
            widest = std::max(widest, line.naturalTextWidth());
            height += line.height();
        }
        layout.endLayout();
        EXPECT_LE(widest, room.width()) << layout.lineCount() << " lines";
        EXPECT_LE(height, room.height()) << layout.lineCount() << " lines";
        EXPECT_TRUE(modal->rect().contains(label->geometry()));
        qobject_cast<QMessageBox*>(modal)->buttons().first()->click();
    });
    host.showMessageDialog(cutWord, Dialog::InformationIcon, QString(), {"Close"}, 0, Dialog::PlainText);
    // Only invisible break chances were added.
    EXPECT_EQ(cutWord, shown.remove(QChar(0x200B)));
}

// The breaks that let a long path wrap are never copied: Ctrl+C on the box
// copies its whole text, and the label's own copy of a selection (a path, or
// all of it) gives the text as given, with its line ends and a zero-width
// space of its own.
TEST(StandardDialogs, CopyingFromAMessageBoxGivesTheTextAsGiven)
{
    const QString path = "/home/user/" + QString(300, QLatin1Char('a')) + "/trip.mp4";
    const QString text = "Saved in:\n" + path + "\r\nsee x" + QChar(0x200B) + "y";
    Dialog host;
    QStringList copies;
    whenModalShows([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        box->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        const QString shown = label->text();
        EXPECT_GT(shown.count(QChar(0x200B)), 2) << "the path was not made breakable";
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        press(box->focusWidget(), Qt::Key_C, Qt::ControlModifier);
        copies << clipboard->text();
        // Before the "\r\n", a position of the label's document is one of
        // its text.
        const int pathStart = static_cast<int>(shown.indexOf(QLatin1Char('/')));
        label->setSelection(pathStart, static_cast<int>(shown.indexOf(QLatin1Char('\r'))) - pathStart);
        press(label, Qt::Key_C, Qt::ControlModifier);
        copies << clipboard->text();
        press(label, Qt::Key_A, Qt::ControlModifier);
        press(label, Qt::Key_C, Qt::ControlModifier);
        copies << clipboard->text();
        box->buttons().first()->click();
    });
    host.showMessageDialog(text, Dialog::InformationIcon, QString(), {"Close"}, 0, Dialog::PlainText);
    EXPECT_EQ(copies, (QStringList{text, path, text}));
}

TEST(StandardDialogs, MessageBoxRolesFollowTheDefaultIndex)
{
    Dialog host;
    for (const int defaultIndex : {-1, 1, 2}) {
        QList<QMessageBox::ButtonRole> roles;
        bool hasDefault = true;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            for (QAbstractButton* button : box->buttons())
                roles << box->buttonRole(button);
            hasDefault = box->defaultButton() != nullptr;
            qobject_cast<QPushButton*>(box->buttons().first())->click();
        });
        host.showMessageDialog(QStringLiteral("t"), 99, QStringLiteral("Title"), {"A", "B"}, defaultIndex);
        const bool valid = defaultIndex == 1;
        EXPECT_EQ(hasDefault, valid) << defaultIndex;
        EXPECT_EQ(roles.count(QMessageBox::AcceptRole), valid ? 1 : 0) << defaultIndex;
    }
}

// The file dialogs, shown by the file chooser in a process of its own, as
// the user answers them: what they give and the folders they remember.
TEST(StandardDialogs, FileDialogsRememberTheirOwnFoldersAcrossDialogObjects)
{
    QSettings().remove(QStringLiteral("Dialog"));
    TestChooser chooser;
    const MessageBoxCloser boxes;
    QTemporaryDir dir;
    const QDir root(dir.path());
    root.mkpath(QStringLiteral("photos/sub"));
    root.mkpath(QStringLiteral("music"));
    root.mkpath(QStringLiteral("out"));
    const QString first = root.absoluteFilePath(QStringLiteral("photos/a.jpg"));
    const QString second = root.absoluteFilePath(QStringLiteral("music/b.jpg"));
    touch(first);
    touch(second);
    QString firstChosenFolder;
    const auto typedIn = [](const QString& folder, const QString& name) {
        return QStringList{"folder " + folder, "name " + name, "accept"};
    };

    {
        Dialog host;
        // Cancelled: nothing chosen, nothing remembered.
        chooser.willTake({"cancel"});
        EXPECT_TRUE(host.showOpenDialog().isEmpty());
        EXPECT_EQ(chooser.noted("mode"), QString::number(QFileDialog::ExistingFile));
        // Untitled, it says what it does.
        EXPECT_EQ(chooser.noted("title"), QLatin1String("Open"));

        chooser.willTake(typedIn(root.absolutePath(), QStringLiteral("\"photos/sub/../a.jpg\" \"music/b.jpg\"")));
        QStringList chosen = host.showOpenDialog(false, QStringLiteral("Image Files (*.jpg *.jpeg)"));
        // The folder remembered is the first file's, in the order Qt gives.
        firstChosenFolder = QFileInfo(QFileInfo(chosen.value(0)).absolutePath()).canonicalFilePath();
        chosen.sort();
        EXPECT_EQ(chosen, QStringList({second, first}));
        EXPECT_EQ(chooser.noted("mode"), QString::number(QFileDialog::ExistingFiles));
        { Dialog viewsOwnElement; }  // reads the store: the folder just chosen must survive

        chooser.willTake(typedIn(root.absolutePath(), QStringLiteral("out")));
        EXPECT_EQ(host.showDirectoryDialog(QString(), QStringLiteral("Choose output folder")),
                  root.absoluteFilePath(QStringLiteral("out")));
        EXPECT_EQ(chooser.noted("title"), QLatin1String("Choose output folder"));
        EXPECT_EQ(chooser.noted("mode"), QString::number(QFileDialog::Directory));

        // A name that does not exist yet still has a folder to remember.
        chooser.willTake(typedIn(root.absoluteFilePath(QStringLiteral("out")), QStringLiteral("new.mp4")));
        EXPECT_EQ(host.showSaveDialog(), root.absoluteFilePath(QStringLiteral("out/new.mp4")));
    }
    const QSettings settings;
    EXPECT_EQ(settings.value(QStringLiteral("Dialog/openDialogDirectory")).toString(), firstChosenFolder);
    const QString canonicalOut = QFileInfo(root.absoluteFilePath(QStringLiteral("out"))).canonicalFilePath();
    EXPECT_EQ(settings.value(QStringLiteral("Dialog/dirDialogDirectory")).toString(), canonicalOut);
    EXPECT_EQ(settings.value(QStringLiteral("Dialog/saveDialogDirectory")).toString(), canonicalOut);

    Dialog nextStart;
    chooser.willTake({"cancel"});
    nextStart.showOpenDialog();
    EXPECT_EQ(chooser.noted("shown"), firstChosenFolder);
    EXPECT_EQ(boxes.texts, QStringList());
    // Every chooser has ended by itself.
    EXPECT_TRUE(chooser.allEndedWithin(10000));
}

// A fresh account's movies folder does not exist yet: the dialog must not
// offer its name as a file name.
TEST(StandardDialogs, AMissingFolderStartsTheDialogInItsNearestParentWithNoName)
{
    TestChooser chooser;
    QTemporaryDir dir;
    const QString parent = QFileInfo(dir.path()).canonicalFilePath();
    QSettings().setValue(QStringLiteral("Dialog/openDialogDirectory"), parent + QStringLiteral("/Videos/Trips"));
    Dialog host;
    chooser.willTake({"cancel"});
    host.showOpenDialog(false, QStringLiteral("Image Files (*.jpg *.jpeg)"));
    EXPECT_EQ(chooser.noted("shown"), parent);
    EXPECT_EQ(chooser.noted("name"), QString());
}

// The launcher the choosers are started from ends when killed (as by the
// user): the next dialog makes a new one and shows all the same.
TEST(StandardDialogs, AFileDialogShowsAlsoAfterItsLauncherHasEnded)
{
    TestChooser chooser;
    const auto launchers = [] { return kestrel::test::children_running(::getpid(), "--program-launcher"); };
    // Started a moment ago: its command line is its own once it runs.
    ASSERT_TRUE(qmltest::waitFor([&] { return launchers().size() == 1u; }, 5000))
        << "no launcher of this program was found";
    ASSERT_EQ(0, ::kill(launchers().front(), SIGKILL));
    // Gone (its command line with it), though not yet reaped by the program.
    ASSERT_TRUE(qmltest::waitFor([&] { return launchers().empty(); }, 5000));
    const MessageBoxCloser boxes;
    Dialog host;
    chooser.willTake({"cancel"});
    host.showOpenDialog();
    EXPECT_EQ(chooser.count("shown"), 1);
    EXPECT_EQ(boxes.texts, QStringList());
}

// The chooser's process killed while its dialog shows (as by the user):
// the window and its log say the dialog ended without an answer, not that
// it could not be shown.
TEST(StandardDialogs, AChooserKilledWhileItsDialogShowsIsSaidToHaveEndedWithoutAnAnswer)
{
    TestChooser chooser;
    const MessageBoxCloser boxes;
    const qmltest::LogCapture log;
    QTemporaryDir cues;
    QTimer killWhenShown;
    QObject::connect(&killWhenShown, &QTimer::timeout, [&] {
        if (chooser.count(QStringLiteral("shown")) == 0)
            return;
        killWhenShown.stop();
        ::kill(chooser.noted(QStringLiteral("pid")).toInt(), SIGKILL);
    });
    killWhenShown.start(20);
    chooser.willTake({"await " + cues.filePath(QStringLiteral("never"))});
    Dialog host;
    EXPECT_EQ(host.showOpenDialog(), QStringList());
    EXPECT_FALSE(killWhenShown.isActive()) << "the dialog never showed";
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("The file dialog ended without an answer.")});
    EXPECT_EQ(log.count(QStringLiteral("[Dialog] the file dialog's process ended without an answer")), 1);
    EXPECT_EQ(log.count(QStringLiteral("could not be shown")), 0);
}

// A chooser whose window's thread works for longer than a held one is
// given (as on a machine too busy to run it soon) answers late but runs
// meanwhile: it is waited for, not given up.
TEST(StandardDialogs, AChooserThatWorksLongIsWaitedFor)
{
    TestChooser chooser;
    const MessageBoxCloser boxes;
    Dialog host;
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("a.jpg"));
    QFile(photo).open(QIODevice::WriteOnly);
    chooser.willTake({"busy 5000", "name " + photo, "accept"});
    EXPECT_EQ(host.showOpenDialog(true, QString(), dir.path()), QStringList{photo});
    EXPECT_EQ(boxes.texts, QStringList());
}

// A photo whose name is not UTF-8 text, which Qt's dialog cannot list: the
// dialog says so under the folder that holds it, naming it as the program
// names such files; a file the filter leaves out is not named.
TEST(StandardDialogs, AFolderHoldingAPhotoTheDialogCannotListSaysSo)
{
    TestChooser chooser;
    const MessageBoxCloser boxes;
    QTemporaryDir dir;
    // Made and removed by their bytes: Qt's text cannot hold such a name,
    // so the temporary folder's own removal would leave them.
    const std::vector<QByteArray> made = {QFile::encodeName(dir.path()) + "/caf\xe9.jpg",
                                          QFile::encodeName(dir.path()) + "/notes\xff.txt",
                                          QFile::encodeName(dir.path()) + "/plain.jpg"};
    const struct Unmake {
        const std::vector<QByteArray>& made;
        ~Unmake()
        {
            for (const QByteArray& name : made)
                ::unlink(name.constData());
        }
    } unmake{made};
    for (const QByteArray& name : made)
        ASSERT_EQ(0, ::close(::creat(name.constData(), 0600))) << name.constData();
    Dialog host;
    chooser.willTake({"cancel"});
    host.showOpenDialog(false, QStringLiteral("Images (*.jpg *.jpeg)"), dir.path());
    EXPECT_EQ(chooser.noted("unlisted"), QStringLiteral("This folder holds files the dialog cannot show:||") +
                                             dir.path() +
                                             QStringLiteral("/caf\\xe9.jpg: its name is not UTF-8 text: rename it"));

    // A folder without such a name says nothing.
    QTemporaryDir plain;
    chooser.willTake({"cancel"});
    host.showOpenDialog(false, QStringLiteral("Images (*.jpg *.jpeg)"), plain.path());
    EXPECT_EQ(chooser.count("unlisted"), 1);
}
