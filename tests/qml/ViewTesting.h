#pragma once
// Helpers of the views' tests: the application's QML types and a settings
// store as on a first run, photos and music made in the test, the hosted
// window's actions and QML items by name, key presses and file drops
// delivered as the window system would, and screenshots kept in the build
// tree.

#include "app/ApplicationTypes.h"
#include "multimedia/FakeAudioOutput.h"
#include "viewmodel/ConvertViewModel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/MusicViewModel.h"
#include "viewmodel/PlayerViewModel.h"
#include "viewmodel/SettingsViewModel.h"
#include "viewmodel/StoryboardViewModel.h"
#include "mvvm/Dialog.h"
#include "mvvm/HostedWindows.h"
#include "support-qt/QmlTesting.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWidget>
#include <QSettings>
#include <QTranslator>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

namespace viewtest {

// Qt Quick drawn in software, the program's own QML types and its English
// catalogue, once; the settings store emptied, so no test sees what an
// earlier one left.
inline void prepareViews()
{
    qmltest::useSoftwareQuick();
    ::Application::registerApplicationTypes();
    static QTranslator* const catalogue = [] {
        auto* english = new QTranslator(QCoreApplication::instance());
        if (!english->load(QStringLiteral("slideshow_en"), QStringLiteral(LUMIVISTA_TRANSLATIONS)))
            throw std::runtime_error("the program's English catalogue is not built");
        QCoreApplication::installTranslator(english);
        return english;
    }();
    (void)catalogue;
    QSettings store;
    store.clear();
    store.sync();
}

// A JPEG photo of the given size with broad colour waves, in `folder`.
inline QString makePhoto(const kestrel::test::TempDir& folder, const std::string& name, int width = 320,
                         int height = 240)
{
    kestrel::test::jpeg_options options;
    options.width = width;
    options.height = height;
    const std::string path = folder.file(name);
    kestrel::test::write_file(
        path, kestrel::test::make_jpeg(options, kestrel::test::photo_like_painter(width, height, false)));
    return QString::fromStdString(path);
}

// A second of a stereo tone as MP3, in `folder`.
inline QString makeSong(const kestrel::test::TempDir& folder, const std::string& name)
{
    const std::string path = folder.file(name);
    kestrel::test::write_file(path, kestrel::test::read_file(kestrel::test::sample_tone_file("mp3")));
    return QString::fromStdString(path);
}

// The program's main view model as on a first run, over a sound card of the
// tests' own (no device is needed, and nothing sounds), with its children
// at hand by type.
class ProgramUnderTest {
public:
    ProgramUnderTest()
    {
        prepareViews();
        main = std::make_unique<ViewModel::MainViewModel>();
    }

    ViewModel::StoryboardViewModel& storyboard() const
    {
        return child<ViewModel::StoryboardViewModel>(main->storyboardViewModel());
    }
    ViewModel::MusicViewModel& music() const { return child<ViewModel::MusicViewModel>(main->musicViewModel()); }
    ViewModel::SettingsViewModel& settings() const
    {
        return child<ViewModel::SettingsViewModel>(main->settingsViewModel());
    }
    ViewModel::ConvertViewModel& convert() const
    {
        return child<ViewModel::ConvertViewModel>(main->convertViewModel());
    }
    ViewModel::PlayerViewModel& player() const { return child<ViewModel::PlayerViewModel>(main->playerViewModel()); }
    int slideCount() const { return storyboard().slideList()->count(); }
    QString slidePath(int index) const
    {
        return static_cast<ViewModel::SlideViewModel*>(storyboard().slideList()->at(index).data())->filePath();
    }

    // Adds the photos and waits until every one has opened.
    void addPhotos(const QStringList& paths)
    {
        for (const QString& path : paths)
            storyboard().addSlide(path);
        EXPECT_TRUE(qmltest::waitFor([this] { return !storyboard().loading(); }, 10000));
    }
    // Chooses the music and waits until it has opened.
    void chooseMusic(const QString& path)
    {
        music().setFilePath(path);
        EXPECT_TRUE(qmltest::waitFor([this] { return !music().loading(); }, 10000));
        EXPECT_EQ(music().filePath(), path);
    }
    // Settings under which a conversion of a few photos takes a moment: the
    // smallest profile, the shortest photo duration, no question first.
    void chooseTinyShow(const QString& outputFolder)
    {
        ViewModel::SettingsViewModel& s = settings();
        s.setFormat(ViewModel::SettingsViewModel::IPhoneFormat);
        s.setSlideDuration(0.5);
        s.setTransitionDuration(0.2);
        s.setOutputFolder(outputFolder);
        s.setNeedClarify(false);
        s.apply();
    }

    Multimedia::test::FakeSoundCard soundCard; // before the player: it takes the card when made
    std::unique_ptr<ViewModel::MainViewModel> main;

private:
    template <class T>
    static T& child(QObject* object)
    {
        T* typed = qobject_cast<T*>(object);
        if (!typed)
            throw std::logic_error("the main view model lacks a child view model");
        return *typed;
    }
};

// The window's command with exactly this text (tool bar or menu entry, not
// a menu's title), or null.
inline QAction* actionNamed(QWidget* window, const QString& text)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->text() == text && !action->menu<QMenu*>())
            return action;
    return nullptr;
}

inline QQuickWidget* quickOf(QWidget* window)
{
    return window->findChild<QQuickWidget*>();
}

inline QQuickItem* itemNamed(QWidget* window, const char* name)
{
    QQuickWidget* quick = quickOf(window);
    return quick && quick->rootObject() ? quick->rootObject()->findChild<QQuickItem*>(QLatin1String(name))
                                        : nullptr;
}

// Every item of that object name in the visual tree under `item`, in
// painting order (delegates included).
inline QList<QQuickItem*> itemsNamed(QQuickItem* item, const QString& name)
{
    QList<QQuickItem*> found;
    for (QQuickItem* child : item->childItems()) {
        if (child->objectName() == name)
            found << child;
        found << itemsNamed(child, name);
    }
    return found;
}

// Chooses an entry of a combo box as the user does, through its menu.
inline void choose(QWidget* dialog, const char* box, const QString& entry)
{
    QQuickItem* combo = itemNamed(dialog, box);
    ASSERT_TRUE(combo) << box;
    for (QObject* item : combo->findChildren<QObject*>()) {
        if (item->property("text").toString() == entry) {
            QMetaObject::invokeMethod(item, "triggered");
            return;
        }
    }
    FAIL() << "no entry " << entry.toStdString();
}

inline QString textOf(QWidget* window, const char* item)
{
    QQuickItem* found = itemNamed(window, item);
    EXPECT_TRUE(found) << item;
    return found ? found->property("text").toString() : QString();
}

// Whether the view accepted the key; `text` is what it types.
inline bool pressKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     const QString& text = QString())
{
    // A window that changed its state (full screen) may have lost the focus.
    QApplication::setActiveWindow(window);
    quickOf(window)->setFocus(Qt::OtherFocusReason);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(quickOf(window), &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(quickOf(window), &release);
    return press.isAccepted();
}

// A mouse event at `at` (view coordinates) as the window system sends it.
inline void mouseEvent(QWidget* window, QEvent::Type type, QPointF at, Qt::MouseButton button,
                       Qt::MouseButtons buttons)
{
    QQuickWidget* quick = quickOf(window);
    QMouseEvent event(type, at, at, QPointF(quick->mapToGlobal(at.toPoint())), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(quick, &event);
}

// Presses the left button at `from`, moves in small steps to `to`, releases.
inline void dragMouse(QWidget* window, QPointF from, QPointF to)
{
    mouseEvent(window, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 10; ++step)
        mouseEvent(window, QEvent::MouseMove, from + (to - from) * step / 10.0, Qt::NoButton, Qt::LeftButton);
    mouseEvent(window, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

inline QPointF centreOf(QQuickItem* item)
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
}

// Drags local files onto the view at `at` (view coordinates) and drops them.
inline bool dropFiles(QWidget* window, const QStringList& paths, QPoint at)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QQuickWidget* quick = quickOf(window);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(quick, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(quick, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(quick, &drop);
    QCoreApplication::processEvents();
    return true;
}

// Shows `view` as a modal dialog over `viewModel`, runs `act` on the dialog
// once it shows, closes it if `act` left it open, and gives its result.
inline int runModal(const QString& view, QObject* viewModel, const std::function<void(QWidget*)>& act)
{
    Mvvm::Dialog host;
    whenModalShows([&](QWidget* modal) {
        act(modal);
        if (modal->isVisible())
            modal->close();
    });
    return host.showDialog(view, viewModel);
}

// Keeps the warnings of the views' QML (they name their file: "qrc:/...")
// while it lives, and still lets them through to standard error. One at a
// time.
class QmlWarnings {
public:
    QmlWarnings() : previous_(qInstallMessageHandler(&QmlWarnings::handle)) { active() = this; }
    ~QmlWarnings()
    {
        qInstallMessageHandler(previous_);
        active() = nullptr;
    }
    QmlWarnings(const QmlWarnings&) = delete;
    QmlWarnings& operator=(const QmlWarnings&) = delete;

    const QStringList& lines() const { return lines_; }

private:
    static QmlWarnings*& active()
    {
        static QmlWarnings* watch = nullptr;
        return watch;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        QmlWarnings* watch = active();
        if (!watch)
            return;
        if (type != QtDebugMsg && type != QtInfoMsg && message.contains(QLatin1String("qrc:/")))
            watch->lines_ << message;
        if (watch->previous_)
            watch->previous_(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }

    QtMessageHandler previous_;
    QStringList lines_;
};

// Lets animations and bindings settle for `ms` milliseconds.
inline void settle(int ms)
{
    qmltest::waitFor([] { return false; }, ms);
}

// Grabs the window, tool bar and menus included, into the build tree's
// test artefacts, one folder per window system (offscreen, xcb), and says
// where.
inline void keepScreenshot(QWidget* window, const QString& name)
{
    settle(400);
    const QDir folder(QStringLiteral(LUMIVISTA_ARTEFACT_DIR "/") + QGuiApplication::platformName());
    folder.mkpath(QStringLiteral("."));
    const QImage shot = window->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(shot.save(path));
    std::printf("screenshot: %s\n", qPrintable(path));
}

} // namespace viewtest
