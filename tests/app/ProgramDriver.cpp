// The program as the process tests drive it: the very start-up and
// shut-down of the program, with a hook that answers commands read from
// standard input, one a line, and reports on standard output:
//   (once the main window shows)  ready <window title>
//   add <path>      a slide        music <path>   the music
//   state           once nothing loads any more:
//                   state slides=<n> music=<path> files=<path>|<path>...
//   convert         makes the slideshow: "converting <result path>", then
//                   "progress <percent>" lines
//   cancel          stops the conversion as its Cancel does: "cancelled"
//                   once the stop has returned
//   turn <index>    turns that slide's photo as its button does: "turned"
//                   once asked (the photo is read again in the background)
//   pause           pauses or resumes the conversion as its Pause does:
//                   "paused <state>" (ConvertViewModel::State)
//   quit            closes the main window as the user would
//   close <button>  closes it as the window system does on Alt+F4 (Alt
//                   still down: a filter goes onto the window while a
//                   question is open) and answers each question with
//                   that button: "asked <text>" for each, then
//                   "stayed <state>" if the window stayed
//   destroy         the window system reports the main window's native
//                   window destroyed by another client
//   preview play|pause
//                   opens the preview as its shortcut in the main window's
//                   menu does (its window's event loop then runs inside
//                   that action) unless it is open, and plays or pauses
//                   it: "previewing <Player::State>" once the state is the
//                   one asked, or two seconds have passed
//   hold <seconds>  holds the window's thread that long on a lock another
//                   thread holds, as a window that hangs: "holding" as it
//                   begins to wait, "held" once it has the lock
//   look <path>     the window's thread looks at the path (on a share
//                   that hangs: in the kernel until it answers): "looked"
//                   once it returned
//   desktop <url>   opens the URL through the desktop's own launcher (the
//                   default one, not the report below): "desktop took" once
//                   the desktop took it, "desktop refused" otherwise
//   report <url>    opens the URL as Report Problem opens the mail program:
//                   through the desktop's own launcher, waiting for its
//                   opener: "report took" or "report refused" once known
//   launch <program> <argument>
//                   hands the program to the program's launcher, as the
//                   preview's sound output is: "launched", or "not
//                   launched <why>"; it is left to end by itself
//   at-end hold <seconds> | look <path> | busy <seconds> | threads <seconds>
//                   once the end begins (the request taken), the window's
//                   thread is held as hold does, looks at the path (on a
//                   share that hangs: in the kernel until it answers), or
//                   works that long, as a slow end on a busy machine, on
//                   its own or on short threads it joins one after another
// and, unasked (also in a later start, which shows no main window):
//   message <text>  a message box showed this text (its line ends as
//                   "\n"); it is then closed as its close button would,
//                   unless a close command answers it
//   open <url>      the program asked the desktop to open this

#include "app/StartUp.h"
#include "app/TerminationSignals.h"

#include "componentmodel/DesktopLauncher.h"
#include "componentmodel/UnwaitedProcess.h"

#include "viewmodel/ConvertViewModel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/MusicViewModel.h"
#include "viewmodel/PlayerViewModel.h"
#include "viewmodel/SlideViewModel.h"
#include "viewmodel/StoryboardViewModel.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QFile>
#include <QKeySequence>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QQuickWidget>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using ViewModel::MainViewModel;

// While a close command answers the questions itself.
bool answeringQuestions = false;

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

QMainWindow* mainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QMainWindow*>(widget))
            if (window->isVisible())
                return window;
    return nullptr;
}

class Driver : public QObject {
public:
    // A child of the main view model: it goes with it.
    explicit Driver(MainViewModel& main)
        : QObject(&main), main_(main), storyboard_(*static_cast<ViewModel::StoryboardViewModel*>(main.storyboardViewModel())),
          music_(*static_cast<ViewModel::MusicViewModel*>(main.musicViewModel())), input_(0, QSocketNotifier::Read)
    {
        connect(&input_, &QSocketNotifier::activated, this, &Driver::readInput);
        QMainWindow* window = mainWindow();
        QQuickWidget* view = window ? window->findChild<QQuickWidget*>() : nullptr;
        if (view && view->status() == QQuickWidget::Ready && view->rootObject())
            say(QStringLiteral("ready ") + window->windowTitle());
        else
            say(QStringLiteral("no window"));
    }

private:
    void readInput()
    {
        char bytes[4096];
        const ssize_t count = ::read(0, bytes, sizeof bytes);
        if (count <= 0) {
            input_.setEnabled(false);
            return;
        }
        pending_.append(bytes, int(count));
        int end;
        while ((end = pending_.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending_.left(end));
            pending_.remove(0, end + 1);
            run(line);
        }
    }

    void run(const QString& line)
    {
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        const QString argument = line.section(QLatin1Char(' '), 1);
        if (command == QLatin1String("add"))
            storyboard_.addSlide(argument);
        else if (command == QLatin1String("music"))
            music_.setFilePath(argument);
        else if (command == QLatin1String("state"))
            reportStateWhenSettled();
        else if (command == QLatin1String("convert"))
            convert();
        else if (command == QLatin1String("cancel"))
            cancel();
        else if (command == QLatin1String("turn"))
            turn(argument.toInt());
        else if (command == QLatin1String("pause"))
            pause();
        else if (command == QLatin1String("quit"))
            mainWindow()->close();
        else if (command == QLatin1String("close"))
            closeAnswering(argument);
        else if (command == QLatin1String("destroy"))
            reportDestroyed();
        else if (command == QLatin1String("preview"))
            preview(argument == QLatin1String("play"));
        else if (command == QLatin1String("hold"))
            hold(argument.toInt());
        else if (command == QLatin1String("look"))
            look(argument);
        else if (command == QLatin1String("desktop"))
            say(ComponentModel::defaultUrlLauncher(QUrl(argument), ComponentModel::LaunchMode::Open)
                    ? QStringLiteral("desktop took")
                    : QStringLiteral("desktop refused"));
        else if (command == QLatin1String("report"))
            report(argument);
        else if (command == QLatin1String("launch"))
            launch(argument.section(QLatin1Char(' '), 0, 0), argument.section(QLatin1Char(' '), 1));
        else if (command == QLatin1String("at-end"))
            atEnd(argument.section(QLatin1Char(' '), 0, 0), argument.section(QLatin1Char(' '), 1));
        else
            say(QStringLiteral("unknown ") + line);
    }

    void reportStateWhenSettled()
    {
        if (storyboard_.loading() || music_.loading()) {
            QTimer::singleShot(50, this, [this] { reportStateWhenSettled(); });
            return;
        }
        QStringList files;
        const auto slides = storyboard_.slideList();
        for (int i = 0; i < slides->count(); ++i)
            files << static_cast<ViewModel::SlideViewModel*>(slides->at(i).data())->filePath();
        say(QStringLiteral("state slides=%1 music=%2 files=%3")
                .arg(slides->count())
                .arg(music_.filePath(), files.join(QLatin1Char('|'))));
    }

    // Progress is read as QML reads it, and reported as it moves.
    void convert()
    {
        auto* convert = &conversion();
        convert->property("startAction").value<QAction*>()->trigger();
        say(QStringLiteral("converting ") + convert->resultPath());
        auto* watch = new QTimer(this);
        connect(watch, &QTimer::timeout, this, [this, convert] {
            const int progress = convert->property("progress").toInt();
            if (progress != reportedProgress_)
                say(QStringLiteral("progress %1").arg(progress));
            reportedProgress_ = progress;
        });
        watch->start(20);
    }

    void cancel()
    {
        conversion().property("stopAction").value<QAction*>()->trigger();
        say(QStringLiteral("cancelled"));
    }

    void turn(int index)
    {
        storyboard_.setIndex(index);
        storyboard_.rotateSlideCwAction()->trigger();
        say(QStringLiteral("turned"));
    }

    ViewModel::ConvertViewModel& conversion() const
    {
        return *static_cast<ViewModel::ConvertViewModel*>(main_.convertViewModel());
    }

    void pause()
    {
        conversion().property("pauseAction").value<QAction*>()->trigger();
        say(QStringLiteral("paused %1").arg(conversion().state()));
    }

    void closeAnswering(const QString& button)
    {
        QPointer<QMainWindow> window = mainWindow();
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            say(QStringLiteral("asked ") + box->text());
            // A filter goes onto the window, first in line, as the menu bar
            // puts its own anew with Alt down when the question gets buttons.
            if (window)
                window->installEventFilter(new QObject(window));
            for (QAbstractButton* choice : box->buttons())
                if (choice->text() == button)
                    choice->click();
        });
        answerer.start(10);
        answeringQuestions = true;
        window->windowHandle()->close();
        answeringQuestions = false;
        if (window && window->isVisible())
            say(QStringLiteral("stayed %1").arg(conversion().state()));
    }

    // As Qt's X11 plugin hands on the server's report.
    void reportDestroyed()
    {
        xcb_destroy_notify_event_t destroyed = {};
        destroyed.response_type = XCB_DESTROY_NOTIFY;
        destroyed.event = destroyed.window = xcb_window_t(mainWindow()->winId());
        qintptr result = 0;
        QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &destroyed, &result);
    }

    // The preview's window while it shows.
    static QWidget* openPreview()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            const auto* view = window->isVisible() ? window->findChild<QQuickWidget*>() : nullptr;
            if (view && view->source() == QUrl(QStringLiteral("qrc:/qml/playerview.qml")))
                return window;
        }
        return nullptr;
    }

    void preview(bool play)
    {
        if (!openPreview()) {
            QAction* show = nullptr;
            for (QAction* action : mainWindow()->findChildren<QAction*>())
                if (action->shortcut() == QKeySequence(QStringLiteral("Ctrl+Space")))
                    show = action;
            // From the event loop, not from inside this read of the input.
            QTimer::singleShot(0, show, &QAction::trigger);
        }
        auto& player = static_cast<ViewModel::PlayerViewModel*>(main_.playerViewModel())->videoPlayer();
        const Multimedia::Player::State wanted = play ? Multimedia::Player::PlayState : Multimedia::Player::PauseState;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        auto* watch = new QTimer(this);
        connect(watch, &QTimer::timeout, this, [watch, &player, play, wanted, giveUp] {
            if (!openPreview())
                return;
            if (play && player.state() != wanted)
                player.play();
            else if (!play && player.state() == Multimedia::Player::PlayState)
                player.pause();
            if (player.state() != wanted && std::chrono::steady_clock::now() < giveUp)
                return;
            say(QStringLiteral("previewing %1").arg(player.state()));
            watch->deleteLater();
        });
        watch->start(20);
    }

    void hold(int seconds)
    {
        std::mutex lock;
        std::promise<void> taken;
        std::thread holder([&] {
            const std::lock_guard<std::mutex> held(lock);
            taken.set_value();
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
        });
        taken.get_future().wait();
        say(QStringLiteral("holding"));
        lock.lock();
        lock.unlock();
        holder.join();
        say(QStringLiteral("held"));
    }

    void report(const QString& url)
    {
        const ComponentModel::UrlLauncher saying = ComponentModel::setUrlLauncher({});
        ComponentModel::openUrlThen(QUrl(url), this, [](bool taken) {
            say(taken ? QStringLiteral("report took") : QStringLiteral("report refused"));
        });
        ComponentModel::setUrlLauncher(saying);
    }

    static void launch(const QString& program, const QString& argument)
    {
        QString error;
        const std::unique_ptr<ComponentModel::UnwaitedProcess> started = ComponentModel::UnwaitedProcess::start(
            QCoreApplication::applicationFilePath(), program, {argument}, &error);
        if (started)
            started->leave(std::chrono::seconds(30));
        say(started ? QStringLiteral("launched") : QStringLiteral("not launched ") + error);
    }

    static void look(const QString& path)
    {
        struct stat facts;
        ::stat(QFile::encodeName(path).constData(), &facts);
        say(QStringLiteral("looked"));
    }

    // As the event loop ends, after the request to end was taken.
    void atEnd(const QString& what, const QString& argument)
    {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this, what, argument] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(argument.toInt());
            const auto work = [](std::chrono::steady_clock::time_point end) {
                while (std::chrono::steady_clock::now() < end) {
                }
            };
            if (what == QLatin1String("hold"))
                hold(argument.toInt());
            else if (what == QLatin1String("look"))
                look(argument);
            else if (what == QLatin1String("threads"))
                while (std::chrono::steady_clock::now() < until)
                    std::thread(work, std::chrono::steady_clock::now() + std::chrono::milliseconds(150)).join();
            else
                work(until);
        });
        say(QStringLiteral("at-end ") + what);
    }

    MainViewModel& main_;
    ViewModel::StoryboardViewModel& storyboard_;
    ViewModel::MusicViewModel& music_;
    QSocketNotifier input_;
    QByteArray pending_;
    int reportedProgress_ = 0;
};

// Reports each message box as it shows, and closes it.
class MessageReader : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = event->type() == QEvent::Show ? qobject_cast<QMessageBox*>(watched) : nullptr;
        if (box && !answeringQuestions) {
            say(QStringLiteral("message ") + box->text().replace(QLatin1Char('\n'), QLatin1String("\\n")));
            QMetaObject::invokeMethod(box, &QMessageBox::reject, Qt::QueuedConnection);
        }
        return false;
    }
};

// From the application object's making on, so that the boxes of a later
// start, which never shows a main window, are reported too.
void readMessages()
{
    auto* messages = new MessageReader;
    messages->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(messages);
}
Q_COREAPP_STARTUP_FUNCTION(readMessages)

} // namespace

int main(int argc, char** argv)
{
    Application::blockTerminationSignals();
    ComponentModel::setUrlLauncher([](const QUrl& url, ComponentModel::LaunchMode) {
        say(QStringLiteral("open ") + url.toString());
        return true;
    });
    return Application::run(argc, argv, [](MainViewModel& main) { new Driver(main); });
}
