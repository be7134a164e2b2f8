#include "app/StartUp.h"

#include "app/ApplicationTypes.h"
#include "app/EndBackstop.h"
#include "app/HelperStart.h"
#include "app/Identity.h"
#include "app/LinkSettings.h"
#include "app/TerminationSignals.h"
#include "app/Translations.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/SettingsStore.h"

#include "componentmodel/Platform.h"
#include "componentmodel/PortalFileChooser.h"
#include "componentmodel/SingleApplication.h"
#include "feedback/Advertisement.h"
#include "feedback/GoogleAnalytics.h"
#include "feedback/Notification.h"
#include "multimedia/AudioOutputFactory.h"
#include "mvvm/Dialog.h"

#include "slideshow2/DTGilSlideshow.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QTranslator>
#include <QtGui/qguiapplication_platform.h>

#include <memory>

#include <xcb/xcb.h>

namespace Application {

namespace {

QString text(const char* latin1) { return QString::fromLatin1(latin1); }

void setIdentity()
{
    QCoreApplication::setApplicationVersion(text(applicationVersion()));
    QCoreApplication::setOrganizationName(text(organizationDomain()));
    QCoreApplication::setApplicationName(text(applicationName()));
    QApplication::setWindowIcon(QIcon(text(windowIcon())));
}

void startOnlineServices(QSettings& settings)
{
    writeLinkSettings(settings);
    Feedback::GoogleAnalytics::initialize(text(analyticsTrackingId()), text(organizationDomain()),
                                          text(analyticsDomainHash()));
    Feedback::Advertisement::initialize(text(advertisementProduct()), text(applicationVersion()),
                                        advertisementFeedUrl());
}

// "Orvik Lumivista 1.0.1.50, linux-64": who asks for the notification feed.
QString notificationClient()
{
    return text(applicationName()) + QLatin1Char(' ') + text(applicationVersion()) + QStringLiteral(", ") +
           ComponentModel::Platform::platform();
}

// The running instance looks for a hand-over about once a second, on its
// window's thread: one that has not taken it after three has a window that
// does not answer.
const int handOverAnswerMs = 3000;

// A later start tells the user, in the system's language (the settings,
// which may name another, stay unread by a later start), rather than end
// with nothing shown.
void tellTheRunningWindowDoesNotAnswer()
{
    QTranslator qtTranslator, applicationTranslator;
    loadTranslations(qtTranslator, applicationTranslator, translationDirectory(), QLocale::system().name());
    QCoreApplication::installTranslator(&qtTranslator);
    QCoreApplication::installTranslator(&applicationTranslator);
    const QString name = text(applicationName());
    QMessageBox box(QMessageBox::Warning, name,
                    QCoreApplication::translate("StartUp", "%1 is already running but its window does not answer.")
                        .arg(name),
                    QMessageBox::Ok);
    box.exec();
}

// The socket of the connection to the X server; -1 on another window
// system.
int windowSystemSocket()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    return connection ? xcb_get_file_descriptor(connection) : -1;
}

} // namespace

int run(int& argc, char** argv, const StartedHook& started)
{
    // A helper, and a later start, take the session's signals by their
    // default action, as every process that does not handle them does.
    if (startedAsHelper(argc, argv)) {
        unblockTerminationSignals();
        return runHelper(argc, argv);
    }
    ComponentModel::useThePortalFileChooserWhereOneRuns();
    // Qt keeps the shader programs it links in the home's cache, which the
    // window's thread would read as a view first draws (a share that hangs
    // there would hold it); the graphics driver keeps its own cache of them.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    // Outlives the application object: the end it watches runs to the
    // application's going.
    EndBackstop backstop;
    // From the first moments, whatever the start then waits for (the
    // window system, a settings file on a share that does not answer): a
    // signal starts the backstop's clock at once. Kept through the
    // shut-down, which a signal then does not cut short: the backstop
    // bounds it.
    auto endOfSession = std::make_unique<TerminationSignals>();
    ComponentModel::SingleApplication application(argc, argv, text(singleInstanceKey()));
    if (application.isRunning()) {
        endOfSession.reset();
        unblockTerminationSignals();
        application.sendMessage(text(showMessage()));
        if (application.messageTaken(handOverAnswerMs))
            return 0;
        QApplication::setWindowIcon(QIcon(text(windowIcon())));
        tellTheRunningWindowDoesNotAnswer();
        return 1;
    }

    // A signal that came before waits in the socket until an event loop runs.
    endOfSession->endEventLoopsWhenAsked();
    backstop.holdScreen(windowSystemSocket());
    backstop.holdInstanceLock(QFile::encodeName(application.instanceLockPath()).toStdString());
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath());
    setIdentity();
    startProgramLauncher();
    // The preview's calls into the sound library are made by this very
    // program started again, whatever the library does there. (Named by
    // its path: the launcher that starts it may be another program.)
    Multimedia::setSoundProcessProgram(QCoreApplication::applicationFilePath());

    // Before the first QSettings, which would open whatever stands there.
    ViewModel::SettingsStore::instance().workOnCopies();
    std::unique_ptr<QSettings> settings(new QSettings);
    startOnlineServices(*settings);
    std::unique_ptr<Feedback::Notification> notification(
        new Feedback::Notification(settings->value(QStringLiteral("webNotification")).toString(),
                                   notificationClient()));

    std::unique_ptr<QTranslator> qtTranslator(new QTranslator);
    std::unique_ptr<QTranslator> applicationTranslator(new QTranslator);
    loadTranslations(*qtTranslator, *applicationTranslator, translationDirectory(), translationLocale(*settings));
    QCoreApplication::installTranslator(qtTranslator.get());
    QCoreApplication::installTranslator(applicationTranslator.get());

    registerApplicationTypes();

    kestrel::slideshow2::initialize();
    std::unique_ptr<ViewModel::MainViewModel> mainViewModel(new ViewModel::MainViewModel);
    std::unique_ptr<Mvvm::Dialog> dialog(new Mvvm::Dialog);
    int result = 0;
    if (endOfSession->asked()) {
        // The session asked while the program started: it ends in order
        // without showing a window.
        backstop.endBegins();
    } else {
        dialog->showDialog(text(mainView()), mainViewModel.get(), Mvvm::Dialog::MainWindow);
        QObject::connect(&application, &ComponentModel::SingleApplication::messageAvailable, mainViewModel.get(),
                         &ViewModel::MainViewModel::alert);
        QObject::connect(notification.get(), &Feedback::Notification::messageReceived, mainViewModel.get(),
                         &ViewModel::MainViewModel::receiveMessage);
        QObject::connect(notification.get(), &Feedback::Notification::updateReceived, mainViewModel.get(),
                         &ViewModel::MainViewModel::receiveUpdate);
        Feedback::Notification::registerRun(text(usageCategory()));
        // First of all that the event loop's end sets off.
        QObject::connect(&application, &QCoreApplication::aboutToQuit, [&backstop] { backstop.endBegins(); });
        if (started)
            started(*mainViewModel);
        result = QApplication::exec();
    }

    // The session's end leaves the main window open: its view goes before
    // the view models it reads. Then the instance lets its key go: what is
    // left may wait a moment for a disk (or, in the kernel, for a share
    // until it answers), and a start meanwhile shows a window of its own.
    // Once the backstop has removed the lock file, holdInstanceLock waits
    // for the process's end: the lock is removed once.
    Mvvm::Dialog::closeWindowsWithoutAsking();
    dialog.reset();
    backstop.holdInstanceLock(std::string());
    application.releaseInstance();
    mainViewModel.reset();
    applicationTranslator.reset();
    qtTranslator.reset();
    notification.reset();
    settings.reset();
    ViewModel::SettingsStore::instance().finish();
    return result;
}

} // namespace Application
