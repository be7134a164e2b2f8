// The program as its user meets it, in processes of its own: each test gets
// a home, settings store, data and temporary folder of its own (the single
// instance's lock lives in the temporary folder, its hand-off is named for
// it), and the maker's site and the analytics collector on a loopback
// server. The real program is started where only its outside is looked at;
// the test driver (the same start-up with a command hook) where the test
// must act in it.

#include "app/Identity.h"
#include "app/LinkSettings.h"

#include "componentmodel/SingleInstanceFiles.h"

#include "viewmodel/StoryboardFile.h"

#include "componentmodel/SettingsFiles.h"

#include "support/ChildProcesses.h"
#include "support/HangingShare.h"
#include "support/LoopbackHttpServer.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"
#include "viewmodel/ViewModelTesting.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <signal.h>

#include <algorithm>
#include <memory>

namespace {

using kestrel::test::LoopbackHttpServer;

// A bound, not an expectation: a sanitizer build on a busy machine starts
// in a second or two.
const int startMs = 20000;

// A bound on an end or a return that must wait for nothing that never
// ends (a read that never answers, a question nobody is there to answer):
// a program that waited would never end or return. Without the wait, a
// sanitizer build on a busy machine takes a second or two, and several
// on two cores kept busy by a whole suite.
const int hangMs = 40000;

// A bound on the end of a program whose usage hit began at `began` and is
// held by a collector or a name look-up that never answers: a program that
// waits for its hits at the end ends only once the hit times out, ten
// seconds after it began; one that leaves them ends in a second or two,
// with a sanitizer on a busy machine, and in up to five on a crowded one.
// The bound ends half a second before the time-out, so that the wait
// shows, but never sooner than that slow end: after a start-up so slow
// that the two overlap, the wait cannot show by time, and the test does
// not guess.
int usageHitBound(std::chrono::steady_clock::time_point began)
{
    using namespace std::chrono;
    const milliseconds slowEnd(7000), margin(500);
    return int(std::max(duration_cast<milliseconds>(began + seconds(10) - margin - steady_clock::now()), slowEnd)
                   .count());
}

// One process of the program or of the driver; killed if still running
// when it goes.
class ProgramRun {
public:
    ProgramRun(const QString& program, const QProcessEnvironment& environment, const QStringList& arguments = {})
    {
        process_.setProcessEnvironment(environment);
        process_.start(program, arguments);
        process_.waitForStarted(startMs);
    }
    ~ProgramRun()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(startMs);
        }
    }

    // The next line of standard output that starts with `prefix`; empty
    // when none came within `ms` or the process ended.
    QString lineStartingWith(const QString& prefix, int ms = startMs)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            while (process_.canReadLine()) {
                const QString line = QString::fromUtf8(process_.readLine()).trimmed();
                if (line.startsWith(prefix))
                    return line;
            }
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
                return QString();
            process_.waitForReadyRead(50);
        }
    }
    // Whether standard error showed `text` (`times` times) within `ms`.
    bool errorsShow(const QString& text, int ms, int times = 1)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            errors_ += QString::fromUtf8(process_.readAllStandardError());
            if (errors_.count(text) >= times)
                return true;
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
                return false;
            process_.waitForReadyRead(50);
        }
    }
    // Written at once, whatever the test waits for next.
    void send(const QString& command)
    {
        process_.write((command + '\n').toUtf8());
        process_.waitForBytesWritten(startMs);
    }
    // Exit code of a normal exit within `ms`; -1 otherwise.
    int exitCode(int ms = startMs)
    {
        if (!finished(ms) || process_.exitStatus() != QProcess::NormalExit)
            return -1;
        return process_.exitCode();
    }
    // The signal that ended the process within `ms`; -1 otherwise.
    int endingSignal(int ms)
    {
        if (!finished(ms) || process_.exitStatus() != QProcess::CrashExit)
            return -1;
        return process_.exitCode();
    }
    // All the program wrote to standard error, for a failure's message.
    std::string errors()
    {
        errors_ += QString::fromUtf8(process_.readAllStandardError());
        return errors_.toStdString();
    }
    bool running() const { return process_.state() == QProcess::Running; }
    pid_t pid() const { return pid_t(process_.processId()); }
    void terminate() { process_.terminate(); } // SIGTERM, as at the session's end
    void signal(int number) { ::kill(pid_t(process_.processId()), number); }
    void killHard()
    {
        process_.kill(); // SIGKILL: nothing of the program's shut-down runs
        process_.waitForFinished(startMs);
    }

private:
    // Also when it had ended before, as a wait for its output saw.
    bool finished(int ms) { return process_.state() == QProcess::NotRunning || process_.waitForFinished(ms); }

    QProcess process_;
    QString errors_;
};

bool eventually(const std::function<bool()>& done, int ms = startMs)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

QStringList runFoldersIn(const QString& place);

// About 7 KiB of the user's own settings, as a settings file holds after a
// while, and the mark of this version's first start.
ComponentModel::SettingsValues aWhilesSettings()
{
    ComponentModel::SettingsValues values{{"Notification/lastVersion", Application::applicationVersion()}};
    for (int i = 0; i < 60; ++i)
        values.insert(QString("Mine/key%1").arg(i), QString(100, QChar('a' + i % 26)));
    return values;
}

// What the settings file at `file` holds on the disk now: read under a name
// this process's settings never saw (a copy in `scratch`), which would
// answer from what they read before, and another program may have written
// since.
ComponentModel::SettingsValues onDisk(const QString& file, const QString& scratch)
{
    const QString fresh = scratch + "/read-" + QUuid::createUuid().toString(QUuid::Id128) + ".conf";
    if (!QFile::copy(file, fresh))
        return {};
    const ComponentModel::SettingsValues values = ComponentModel::settingsValues(fresh);
    QFile::remove(fresh);
    return values;
}

struct ProgramTest : ::testing::Test {
    ProgramTest()
    {
        for (const char* folder : {"home/Videos", "config", "data", "cache", "tmp", "media"})
            QDir().mkpath(path(folder));
        QFile(path("")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // A first start of a new version would open the thank-you page in
        // a browser.
        storeFromOutside({{{"Notification/lastVersion", Application::applicationVersion()}}, {}});
    }

    // A run killed leaves its hand-off segment behind, outside the test's
    // folders.
    ~ProgramTest() override
    {
        ::shm_unlink(ComponentModel::singleInstanceNames(Application::singleInstanceKey(), ::geteuid(), path("tmp"))
                         .segment.constData());
    }

    QString path(const QString& name) const { return QString::fromStdString(root.file(name.toStdString())); }
    QString site(const std::string& target = "") const { return QString::fromStdString(server.url(target)); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", path("home"));
        environment.insert("XDG_CONFIG_HOME", path("config"));
        environment.insert("XDG_DATA_HOME", path("data"));
        environment.insert("XDG_CACHE_HOME", path("cache"));
        environment.insert("XDG_RUNTIME_DIR", path(""));
        environment.insert("TMPDIR", path("tmp"));
        if (!environment.contains("QT_QPA_PLATFORM"))
            environment.insert("QT_QPA_PLATFORM", "offscreen");
        // On an X server, drawn as the views' tests draw: the GL driver's
        // compiler registering its code deadlocks the driver's full unwinding
        // under the sanitizer.
        if (environment.value("QT_QPA_PLATFORM") == "xcb")
            environment.insert("QT_QUICK_BACKEND", "software");
        for (const auto& variable : addresses())
            environment.insert(variable.first, variable.second);
        return environment;
    }
    QList<QPair<QString, QString>> addresses() const
    {
        return {{"LUMIVISTA_WEB_BASE", site()},
                {"LUMIVISTA_ANALYTICS_HOST", QString("127.0.0.1:%1").arg(server.port())},
                {"LUMIVISTA_FEEDBACK_BASE", site("/feedback")},
                {"LUMIVISTA_FACEBOOK_PAGE", site("/facebook")},
                {"LUMIVISTA_TWITTER_PAGE", site("/twitter")},
                {"LUMIVISTA_SUPPORT_MAILBOX", "help@localhost"}};
    }
    // The link settings the program must write, as this process computes
    // them with the program's environment.
    Application::LinkSettingList expectedLinks() const
    {
        std::vector<std::pair<std::string, QByteArray>> saved;
        for (const auto& variable : addresses()) {
            const std::string name = variable.first.toStdString();
            saved.emplace_back(name, qgetenv(name.c_str()));
            qputenv(name.c_str(), variable.second.toUtf8());
        }
        const Application::LinkSettingList links = Application::linkSettings();
        for (const auto& old : saved)
            qputenv(old.first.c_str(), old.second);
        return links;
    }

    // The user's settings file, read and written from outside.
    QString userFile() const
    {
        return path("config") + "/" + Application::organizationDomain() + "/" + Application::applicationName() +
               ".conf";
    }
    // What the user's file holds on the disk now.
    ComponentModel::SettingsValues storedValues() const { return onDisk(userFile(), path("")); }
    QString stored(const QString& key) const { return storedValues().value(key).toString(); }
    bool storedHas(const QString& key) const { return storedValues().contains(key); }
    // Changes the user's file as another program does: under its lock,
    // into what it holds then.
    void storeFromOutside(const ComponentModel::SettingsChanges& changes) const
    {
        ASSERT_TRUE(ComponentModel::writeSettingsChanges(userFile(), changes).worked());
    }
    // Those of `keys` the store lacks.
    QStringList missingKeys(const QStringList& keys) const
    {
        QStringList missing;
        const auto now = storedValues();
        for (const QString& key : keys)
            if (!now.contains(key))
                missing << key;
        return missing;
    }

    // A start in `environment` shows `music` and no slides, and its ordered
    // end leaves the music stored with every key of `keys`, and no run's
    // working folder behind.
    void expectTheNextStartShowsAndKeeps(const QProcessEnvironment& environment, const QString& music,
                                         const QStringList& keys) const
    {
        ProgramRun run(LUMIVISTA_TEST_DRIVER, environment);
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
        run.send("state");
        EXPECT_EQ("state slides=0 music=" + music + " files=", run.lineStartingWith("state"));
        run.send("quit");
        EXPECT_EQ(0, run.exitCode()) << run.errors();
        EXPECT_EQ(music, stored("Music/filePath"));
        EXPECT_EQ(QStringList(), missingKeys(keys)) << "keys lost";
        const QStringList places = {environment.value("XDG_RUNTIME_DIR"), environment.value("TMPDIR")};
        EXPECT_EQ(QStringList(), runFoldersIn(places[0]) + runFoldersIn(places[1])) << "a run's working folder left";
    }

    // Whether a request for `path` holding `text` came.
    bool requested(const std::string& path, const std::string& text = "") const
    {
        const auto requests = server.requests();
        return std::any_of(requests.begin(), requests.end(), [&](const std::string& request) {
            return request.rfind("GET " + path, 0) == 0 && request.find(text) != std::string::npos;
        });
    }

    // The usage hits go to a host whose name look-up never returns: a
    // getaddrinfo preloaded into the program hangs for it.
    QProcessEnvironment withNeverAnsweringCollectorLookUp() const
    {
        QProcessEnvironment environment = this->environment();
        environment.insert("LUMIVISTA_ANALYTICS_HOST", QString("never-answers.test:%1").arg(server.port()));
        environment.insert("LD_PRELOAD", LUMIVISTA_NEVER_ANSWERING_LOOKUP);
        // The sanitizer's run-time library would otherwise insist on coming first.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") +
                                               (environment.contains("ASAN_OPTIONS") ? ":" : "") +
                                               "verify_asan_link_order=0");
        return environment;
    }

    ProgramRun program() const { return ProgramRun(LUMIVISTA_PROGRAM, environment()); }
    ProgramRun driver() const { return ProgramRun(LUMIVISTA_TEST_DRIVER, environment()); }

    kestrel::test::TempDir root;
    LoopbackHttpServer server;
};

// While it stands, this thread runs on the first two processors it may
// use, and a process it starts inherits them, as on a machine of two cores
// (Qt sizes its global thread pool by them).
struct OnTwoProcessors {
    OnTwoProcessors()
    {
        cpu_set_t two;
        CPU_ZERO(&two);
        if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0)
            for (int cpu = 0; cpu < CPU_SETSIZE && CPU_COUNT(&two) < 2; ++cpu)
                if (CPU_ISSET(cpu, &allowed))
                    CPU_SET(cpu, &two);
        narrowed = CPU_COUNT(&two) > 0 && ::sched_setaffinity(0, sizeof two, &two) == 0;
        EXPECT_TRUE(narrowed) << "the program runs on all processors";
    }
    ~OnTwoProcessors()
    {
        if (narrowed)
            ::sched_setaffinity(0, sizeof allowed, &allowed);
    }
    cpu_set_t allowed;
    bool narrowed = false;
};

// Whether the process blocks SIGTERM, SIGHUP or SIGINT, as /proc says.
bool blocksEndSignals(pid_t process)
{
    QFile status(QString("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray facts = status.readAll();
    const int at = facts.indexOf("\nSigBlk:\t");
    const unsigned long long blocked =
        at < 0 ? 0 : facts.mid(at + 9, facts.indexOf('\n', at + 1) - at - 9).toULongLong(nullptr, 16);
    const unsigned long long endSignals = (1ULL << (SIGTERM - 1)) | (1ULL << (SIGHUP - 1)) | (1ULL << (SIGINT - 1));
    return (blocked & endSignals) != 0;
}

// Every file in `folder`, hidden ones too.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList storyboardFiles(const QString& storyboardPath)
{
    QStringList files;
    for (const ViewModel::StoryboardEntry& entry :
         ViewModel::StoryboardFile::fromXml(viewmodeltest::readAll(storyboardPath)))
        files << entry.filePath + (entry.settings.isEmpty() ? " (no settings)" : "");
    return files;
}

// What the driver's "state" says of a storyboard of `photos` and no music.
QString stateOf(const QStringList& photos)
{
    return QString("state slides=%1 music= files=%2").arg(photos.size()).arg(photos.join('|'));
}

// The storyboard files under `folder`, links left out.
QStringList storyboardsIn(const QString& folder)
{
    QStringList storyboards;
    for (QDirIterator it(folder, {"*.xml"}, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
         it.hasNext();)
        storyboards << it.next();
    return storyboards;
}

// Puts what stands at `one` at `other` and the other way round, in one
// step; whether it did.
bool exchange(const QString& one, const QString& other)
{
    return ::renameat2(AT_FDCWD, QFile::encodeName(one).constData(), AT_FDCWD, QFile::encodeName(other).constData(),
                       RENAME_EXCHANGE) == 0;
}

// The working folders of the program's runs (their settings' copies) in
// `place`.
QStringList runFoldersIn(const QString& place)
{
    QStringList folders;
    for (const QString& name : QDir(place).entryList({QString(Application::applicationName()) + "-*"},
                                                     QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        folders << place + "/" + name;
    return folders;
}

// Whether a window of that title shows on the X server of DISPLAY, as
// xwininfo lists the windows.
bool windowOnScreen(const QString& title)
{
    QProcess list;
    list.start("xwininfo", {"-root", "-tree"});
    if (!list.waitForFinished(startMs))
        return true;
    return QString::fromUtf8(list.readAllStandardOutput()).contains("\"" + title + "\"");
}

} // namespace

TEST_F(ProgramTest, StartsItsServicesWritesItsSettingsAndTheOnlyInstanceAnswersALaterStart)
{
    storeFromOutside({{{"web", "http://changed.by.the.user/"}}, {}});

    ProgramRun first = program();
    const Application::LinkSettingList links = expectedLinks();
    // The user's choices are stored back once the main view model stands,
    // after the link settings.
    ASSERT_TRUE(eventually([&] { return storedHas("Settings/needClarify"); }));
    for (const auto& link : links)
        EXPECT_EQ(link.second, stored(link.first)) << link.first.toStdString();
    for (const char* key : {"Settings/slideDuration", "Settings/transitionDuration", "Settings/useAudioDuration",
                            "Settings/useKenBurns", "Settings/outputFolder", "Settings/slideshowName",
                            "Settings/format", "Settings/aspect", "Settings/quality"})
        EXPECT_TRUE(storedHas(key)) << key;

    // Both feeds are asked for, the notification feed by the program's
    // name, version and platform, and the start is counted.
    EXPECT_TRUE(eventually([&] {
        return requested("/files/notification/lumivista.xml", "User-Agent: Orvik Lumivista 1.0.1.50, linux-64\r\n") &&
               requested("/files/advertisement/lumivista.xml") && requested("/__utm.gif", "Lumivista*Run*First");
    }));

    // A later start hands over and ends at once, writing nothing; the first
    // instance asks for attention at its next look.
    storeFromOutside({{{"socialVia", "left alone"}}, {}});
    QElapsedTimer clock;
    clock.start();
    ProgramRun second = program();
    EXPECT_EQ(0, second.exitCode());
    std::printf("a later start ended after %lld ms\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ("left alone", stored("socialVia"));
    EXPECT_TRUE(first.errorsShow("[MainViewModel] asking for attention", startMs));
    EXPECT_TRUE(first.running());

    // Killed, it leaves its lock and hand-off behind: the next start takes
    // them over and runs the whole start-up, and a start after that hands
    // over to it. The helper its file dialogs are started from goes with it.
    const std::vector<pid_t> helpers = kestrel::test::children_running(first.pid(), "--program-launcher");
    EXPECT_EQ(helpers.size(), 1u);
    // The helper takes the session's end signals by their default action:
    // the program's mask, which blocks them, is not its own.
    for (const pid_t helper : helpers)
        EXPECT_TRUE(eventually([&] { return !blocksEndSignals(helper); }, 5000)) << "the helper blocks them";
    first.killHard();
    EXPECT_TRUE(eventually([&] {
        return std::all_of(helpers.begin(), helpers.end(), [](pid_t helper) { return ::kill(helper, 0) != 0; });
    })) << "the file dialogs' helper outlived the program";
    ProgramRun third = program();
    ASSERT_TRUE(eventually([&] { return stored("socialVia") == "Varnelo"; }));
    EXPECT_TRUE(third.running());
    ProgramRun fourth = program();
    EXPECT_EQ(0, fourth.exitCode());
    EXPECT_TRUE(third.errorsShow("[MainViewModel] asking for attention", startMs));
    EXPECT_TRUE(third.running());
}

// A later start while the running instance's window hangs (its thread
// held on a lock) tells the user so and ends, instead of handing over to a
// window that does not answer and ending with nothing shown; once the
// window answers again it takes that hand-over, and the next start hands
// over silently.
TEST_F(ProgramTest, ALaterStartTellsTheRunningWindowDoesNotAnswer)
{
    ProgramRun first = driver();
    ASSERT_EQ("ready Orvik Lumivista", first.lineStartingWith("ready"));
    first.send("hold 15");
    ASSERT_EQ("holding", first.lineStartingWith("holding"));
    {
        ProgramRun second = driver();
        EXPECT_EQ("message Orvik Lumivista is already running but its window does not answer.",
                  second.lineStartingWith("message", startMs))
            << second.errors();
        EXPECT_EQ(1, second.exitCode()) << second.errors();
        EXPECT_EQ("", second.lineStartingWith("ready", 0)) << "a second window";
    }
    ASSERT_EQ("held", first.lineStartingWith("held", hangMs));
    EXPECT_TRUE(first.errorsShow("[MainViewModel] asking for attention", startMs));

    ProgramRun third = driver();
    EXPECT_EQ(0, third.exitCode()) << third.errors();
    EXPECT_EQ("", third.lineStartingWith("message", 0)) << "a start handed over to an answering window";
    EXPECT_TRUE(first.errorsShow("[MainViewModel] asking for attention", startMs, 2));
    EXPECT_TRUE(first.running());
}

// Another user of the machine who made first, in the temporary folder all
// users share, the files a start looks for, under the key alone and under
// the user's own names, open to all (a lock file a live process holds, a
// hand-off segment): the user's starts show their windows, each on its
// own, and none hands that user a word. Once that user's lock file is
// gone, a start holds the lock, and a later start still hands nothing to
// the segment that stays.
TEST_F(ProgramTest, AnotherUsersSingleInstanceFilesNeitherStopAStartNorHearOne)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "another user is to be had only where the tests run as root";
    QByteArray shared = QFile::encodeName(QDir::tempPath() + "/lumivista-shared-XXXXXX");
    ASSERT_TRUE(::mkdtemp(shared.data()) && ::chmod(shared.constData(), 01777) == 0);
    const auto removeShared = qScopeGuard([&shared] { QDir(QFile::decodeName(shared)).removeRecursively(); });
    const QStringList nobody = {"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    if (QProcess::execute("setpriv", nobody + QStringList{"test", "-w", shared, "-a", "-x", SINGLE_INSTANCE_SQUATTER}))
        GTEST_SKIP() << "the user nobody cannot run the other user's part here";
    QProcessEnvironment environment = this->environment();
    environment.insert("TMPDIR", QFile::decodeName(shared));
    ProgramRun other("setpriv", environment,
                     nobody + QStringList{SINGLE_INSTANCE_SQUATTER, Application::singleInstanceKey(),
                                          QString::number(::geteuid())});
    const auto letGo = qScopeGuard([&other] {
        other.send("quit");
        other.exitCode();
    });
    ASSERT_EQ("made", other.lineStartingWith("made")) << other.errors();
    const auto startsOnItsOwnTwice = [&environment] {
        ProgramRun first(LUMIVISTA_TEST_DRIVER, environment);
        EXPECT_EQ("ready Orvik Lumivista", first.lineStartingWith("ready")) << first.errors();
        ProgramRun later(LUMIVISTA_TEST_DRIVER, environment);
        EXPECT_EQ("ready Orvik Lumivista", later.lineStartingWith("ready")) << later.errors();
        for (ProgramRun* run : {&first, &later}) {
            run->send("quit");
            EXPECT_EQ(0, run->exitCode()) << run->errors();
        }
    };
    startsOnItsOwnTwice();
    other.send("unlock");
    ASSERT_EQ("unlocked", other.lineStartingWith("unlocked")) << other.errors();
    startsOnItsOwnTwice();
    EXPECT_EQ("", other.lineStartingWith("read", 500)) << "another user read what a start handed over";
}

TEST_F(ProgramTest, TheStoryboardAndTheMusicSurviveAnEndAndAKillInTheMiddleOfAConversion)
{
    QStringList photos;
    for (const char* name : {"first photo.jpg", "second photo.jpg"}) {
        photos << path(QString("media/") + name);
        viewmodeltest::writePhoto(photos.back().toStdString());
    }
    QStringList music;
    for (const char* name : {"one.wav", "two.wav"}) {
        music << path(QString("media/") + name);
        kestrel::test::write_file(music.back().toStdString(), viewmodeltest::waveFile());
    }
    const QString twoSlides = "slides=2 music=%1 files=" + photos.join('|');

    // The window closed, or destroyed by another client of the window
    // system: the program ends either way.
    for (const char* end : {"quit", "destroy"}) {
        SCOPED_TRACE(end);
        for (const char* group : {"Music", "Storyboard", "Dialog"})
            storeFromOutside({{}, {group}});
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
        run.send("add " + photos[0]);
        run.send("add " + photos[1]);
        run.send("music " + music[0]);
        run.send("state");
        EXPECT_EQ("state " + twoSlides.arg(music[0]), run.lineStartingWith("state"));
        run.send(end);
        EXPECT_EQ(0, run.exitCode());
        // The views found every view model and property they bind to.
        EXPECT_FALSE(run.errorsShow("qrc:/qml/", 0));
        // Shut-down stored both, and the window's place.
        EXPECT_EQ(music[0], stored("Music/filePath"));
        EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")));
        EXPECT_TRUE(storedHas("Dialog/mainWindowGeometry"));
    }

    {
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
        run.send("state");
        EXPECT_EQ("state " + twoSlides.arg(music[0]), run.lineStartingWith("state"));
        run.send("music " + music[1]);
        run.send("state");
        EXPECT_EQ("state " + twoSlides.arg(music[1]), run.lineStartingWith("state"));
        run.send("convert");
        ASSERT_FALSE(run.lineStartingWith("progress").isEmpty());
        run.killHard();
    }
    EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")));
    // What the killed conversion wrote lies under a hidden temporary name,
    // never under a video's.
    const QStringList left = filesIn(path("home/Videos"));
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left[0].startsWith(".lumivista-unfinished-")) << left[0].toStdString();

    // The session's end (SIGTERM) shuts down in order too: the window's
    // place is stored again.
    storeFromOutside({{}, {"Dialog/mainWindowGeometry"}});
    ASSERT_FALSE(storedHas("Dialog/mainWindowGeometry"));
    ProgramRun run = driver();
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
    run.send("state");
    EXPECT_EQ("state " + twoSlides.arg(music[1]), run.lineStartingWith("state"));
    run.terminate();
    EXPECT_EQ(0, run.exitCode());
    EXPECT_TRUE(storedHas("Dialog/mainWindowGeometry"));
    EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")));
}

// The main window destroyed from outside or closed, or the session's end
// (SIGTERM), while the preview, opened from its menu, plays or waits
// paused: the preview's window runs its event loop inside the main
// window's action and view, which must outlive it. The program ends in
// order all the same, everything stored. (Qt drops the window system's
// close of a window a modal one blocks: only the program itself closes
// the main window while the preview is open.)
TEST_F(ProgramTest, TheMainWindowDestroyedOrClosedOrTheSessionsEndWhileThePreviewIsOpenEndTheProgramInOrder)
{
    const QString photo = path("media/photo.jpg"), music = path("media/music.wav");
    viewmodeltest::writePhoto(photo.toStdString());
    kestrel::test::write_file(music.toStdString(), viewmodeltest::waveFile());
    for (const QString ending : {"destroy", "quit", "terminate"}) {
        for (const auto& [how, state] : {std::pair("play", 1), std::pair("pause", 2)}) {
            SCOPED_TRACE((ending + " while the preview is asked to " + how).toStdString());
            for (const char* group : {"Music", "Storyboard", "Dialog"})
                storeFromOutside({{}, {group}});
            ProgramRun run = driver();
            ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
            run.send("add " + photo);
            run.send("music " + music);
            run.send("state");
            ASSERT_EQ("state slides=1 music=" + music + " files=" + photo, run.lineStartingWith("state"));
            run.send(QString("preview ") + how);
            ASSERT_EQ(QString("previewing %1").arg(state), run.lineStartingWith("previewing")) << run.errors();
            if (ending == "terminate")
                run.terminate();
            else
                run.send(ending);
            EXPECT_EQ(0, run.exitCode()) << run.errors();
            EXPECT_EQ(music, stored("Music/filePath"));
            EXPECT_EQ(QStringList{photo}, storyboardFiles(stored("Storyboard/slides")));
            EXPECT_TRUE(storedHas("Dialog/mainWindowGeometry"));
        }
    }
}

// What stands at the settings file is no regular file (a named pipe, whose
// open would wait for a writer for ever; a device that never ends; a
// folder): the program starts at once with its own settings, tells the
// user which file it is and what, works and ends in order, and leaves it
// as it was, writing nothing beside it nor anywhere else in the store's
// folders. The storyboard of every such run goes to one file, not a new
// one each start, and the next such start restores it whole.
TEST_F(ProgramTest, ASettingsFileThatIsNoRegularFileIsLeftAloneAndTold)
{
    const QString conf = userFile(), folder = QFileInfo(conf).path();
    const QString config = path("config");
    const std::pair<const char*, QString> kinds[] = {{"a named pipe", "not a regular file: a named pipe"},
                                                     {"/dev/zero", "not a regular file: a device"},
                                                     {"a folder", "a folder, not a file"}};
    QStringList photos;
    for (const auto& [kind, words] : kinds) {
        SCOPED_TRACE(kind);
        QFile::remove(conf);
        if (QString(kind) == "a named pipe")
            ASSERT_EQ(0, ::mkfifo(QFile::encodeName(conf).constData(), 0600));
        else if (QString(kind) == "a folder")
            ASSERT_TRUE(QDir().mkdir(conf));
        else
            ASSERT_TRUE(QFile::link(kind, conf));
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
        EXPECT_EQ("message The settings in \"" + conf + "\" could not be read: " + words +
                      ".\\nThe program starts with its own settings and leaves what stands there as it is; "
                      "changes to the settings will be lost when the program ends.",
                  run.lineStartingWith("message"));
        run.send("state");
        EXPECT_EQ(stateOf(photos), run.lineStartingWith("state")) << "the last such run's storyboard comes back";
        photos << path(QString("media/photo %1.jpg").arg(photos.size()));
        viewmodeltest::writePhoto(photos.back().toStdString());
        run.send("add " + photos.back());
        run.send("state");
        EXPECT_EQ(stateOf(photos), run.lineStartingWith("state"));
        run.send("quit");
        EXPECT_EQ(0, run.exitCode()) << run.errors();
        EXPECT_EQ(QStringList{QFileInfo(conf).fileName()},
                  QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        EXPECT_EQ(QStringList{QFileInfo(folder).fileName()},
                  QDir(config).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        EXPECT_EQ(QStringList(), runFoldersIn(path("")) + runFoldersIn(path("tmp")))
            << "the run's settings went with it";
        const QStringList storyboards = storyboardsIn(path("data"));
        ASSERT_EQ(1, storyboards.size()) << "one file for every such run: " << storyboards.join(' ').toStdString();
        EXPECT_EQ(photos, storyboardFiles(storyboards[0]).replaceInStrings(" (no settings)", ""));
    }
    EXPECT_FALSE(QFileInfo(conf).isFile());
}

// A settings file the user may not read is left as it is: the program
// starts with its own settings, says which file and why, and stores
// nothing over it (as an ordinary user: root reads every file).
TEST_F(ProgramTest, ASettingsFileThatMayNotBeReadIsLeftAloneAndTold)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString conf = userFile();
    const QByteArray held = viewmodeltest::readAll(conf);
    ASSERT_FALSE(held.isEmpty());
    ASSERT_TRUE(QFile(conf).setPermissions(QFileDevice::Permissions()));
    const QString photo = path("media/photo.jpg");
    viewmodeltest::writePhoto(photo.toStdString());
    ProgramRun run = driver();
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
    EXPECT_EQ("message The settings in \"" + conf +
                  "\" could not be read: no permission to read it.\\nThe program starts with its own settings and "
                  "leaves what stands there as it is; changes to the settings will be lost when the program ends.",
              run.lineStartingWith("message"));
    run.send("add " + photo);
    run.send("quit");
    EXPECT_EQ(0, run.exitCode()) << run.errors();
    ASSERT_TRUE(QFile(conf).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(held, viewmodeltest::readAll(conf));
}

// Where a link or anything else but a regular file stands at the file the
// runs whose settings are kept out share, one other file serves every such
// run in its place: each start restores what the last one stored there,
// and what the link leads to stays as it was.
TEST_F(ProgramTest, RunsWithoutStoredSettingsShareOneOtherFileWhereTheirsIsNoFile)
{
    const QString conf = userFile();
    ASSERT_TRUE(QFile::remove(conf) && QDir().mkdir(conf));
    const QString data = path("data/") + Application::organizationDomain() + "/" + Application::applicationName();
    const QString shared = data + "/storyboard.xml", elsewhere = path("media/elsewhere.xml");
    kestrel::test::write_file(elsewhere.toStdString(), "kept");
    ASSERT_TRUE(QDir().mkpath(data) && QFile::link(elsewhere, shared));
    QStringList photos;
    for (const char* inTheWay : {"a link", "a link", "a folder"}) {
        SCOPED_TRACE(QString("%1, start %2").arg(inTheWay).arg(photos.size() + 1).toStdString());
        if (QString(inTheWay) == "a folder") {
            ASSERT_TRUE(QFile::remove(shared) && QDir().mkdir(shared));
        }
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
        run.send("state");
        EXPECT_EQ(stateOf(photos), run.lineStartingWith("state")) << "the last such run's storyboard comes back";
        photos << path(QString("media/photo %1.jpg").arg(photos.size()));
        viewmodeltest::writePhoto(photos.back().toStdString());
        run.send("add " + photos.back());
        run.send("quit");
        EXPECT_EQ(0, run.exitCode()) << run.errors();
        EXPECT_EQ(QStringList{data + "/storyboard-2.xml"}, storyboardsIn(path("data")))
            << "one other file for every such run";
        EXPECT_EQ(photos, storyboardFiles(data + "/storyboard-2.xml").replaceInStrings(" (no settings)", ""));
        EXPECT_EQ("kept", viewmodeltest::readAll(elsewhere));
    }
}

// A cleaner of the temporary folder, where the working copies of the
// settings go without a runtime folder, removes the working folder while
// the program runs: the user's settings file keeps every key and takes the
// next change, the folder is made anew, only the user's, never again at its
// path (someone else could have made it first), and a kill after that
// leaves the next start all that was stored.
TEST_F(ProgramTest, TheWorkingFolderRemovedWhileTheProgramRunsCostsTheSettingsNothing)
{
    QProcessEnvironment environment = this->environment();
    environment.remove("XDG_RUNTIME_DIR");
    const QString photo = path("media/photo.jpg");
    viewmodeltest::writePhoto(photo.toStdString());
    const QStringList music = {path("media/first.wav"), path("media/second.wav")};
    for (const QString& file : music)
        kestrel::test::write_file(file.toStdString(), viewmodeltest::waveFile());
    const QString state = "state slides=1 music=%1 files=" + photo;
    {
        ProgramRun run(LUMIVISTA_TEST_DRIVER, environment);
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
        run.send("add " + photo);
        run.send("music " + music[0]);
        run.send("state");
        ASSERT_EQ(state.arg(music[0]), run.lineStartingWith("state"));
        ASSERT_TRUE(eventually([&] { return stored("Music/filePath") == music[0] && storedHas("Storyboard/slides"); }));
        const QStringList keys = storedValues().keys();
        const QStringList folders = runFoldersIn(path("tmp"));
        ASSERT_EQ(1, folders.size());
        // As a cleaner does, again while the program writes a file there
        // meanwhile (the folder then is not empty as it goes).
        ASSERT_TRUE(eventually([&] { return QDir(folders[0]).removeRecursively(); }));

        run.send("music " + music[1]);
        run.send("state");
        ASSERT_EQ(state.arg(music[1]), run.lineStartingWith("state"));
        EXPECT_TRUE(eventually([&] { return stored("Music/filePath") == music[1]; }, 5000));
        EXPECT_EQ(QStringList(), missingKeys(keys)) << "keys lost";
        EXPECT_FALSE(QFileInfo::exists(folders[0])) << "made again where someone else could have made it first";
        const QStringList anew = runFoldersIn(path("tmp"));
        ASSERT_EQ(1, anew.size());
        struct stat status;
        ASSERT_EQ(0, ::stat(QFile::encodeName(anew[0]).constData(), &status));
        EXPECT_EQ(0700, status.st_mode & 0777) << "open to others";
        run.killHard();
    }
    ProgramRun run(LUMIVISTA_TEST_DRIVER, environment);
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
    run.send("state");
    EXPECT_EQ(state.arg(music[1]), run.lineStartingWith("state"));
    run.send("quit");
    EXPECT_EQ(0, run.exitCode()) << run.errors();
    EXPECT_EQ(QStringList(), runFoldersIn(path("tmp"))) << "a working folder left";
}

// The disk of the working folder (the runtime folder, and the temporary
// folder with it) a small file system that fills up while the program
// runs: the store after that is told failed in the working folder, which
// the message names with its disk, not in the user's file; the quit leaves
// the user's file every key it held.
TEST_F(ProgramTest, AFullDiskUnderTheWorkingFolderIsToldAsItsOwnAndTheQuitKeepsEveryKey)
{
    const QString small = path("small");
    ASSERT_TRUE(QDir().mkpath(small));
    const kestrel::test::scoped_mount disk("tmpfs", small.toStdString(), "tmpfs", 0, "size=64k,mode=0700");
    if (!disk.unavailable().empty())
        GTEST_SKIP() << disk.unavailable();
    QProcessEnvironment environment = this->environment();
    environment.insert("XDG_RUNTIME_DIR", small);
    environment.insert("TMPDIR", small);
    const QString photo = path("media/photo.jpg");
    viewmodeltest::writePhoto(photo.toStdString());
    const QStringList music = {path("media/first.wav"), path("media/second.wav")};
    for (const QString& file : music)
        kestrel::test::write_file(file.toStdString(), viewmodeltest::waveFile());

    ProgramRun run(LUMIVISTA_TEST_DRIVER, environment);
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
    run.send("add " + photo);
    run.send("music " + music[0]);
    run.send("state");
    ASSERT_EQ("state slides=1 music=" + music[0] + " files=" + photo, run.lineStartingWith("state"));
    ASSERT_TRUE(eventually([&] { return stored("Music/filePath") == music[0] && storedHas("Storyboard/slides"); }));
    const QStringList keys = storedValues().keys();
    const QStringList folders = runFoldersIn(small);
    ASSERT_EQ(1, folders.size());
    // Filled again while a store that was under way as it filled (the
    // word on what the user's file holds) frees its temporary files.
    for (int filled = 0, settled = 0; settled < 3; ++filled) {
        ASSERT_LT(filled, 50) << "the disk does not stay full";
        ASSERT_TRUE(kestrel::test::leave_free((small + QString("/filler %1").arg(filled)).toStdString(), 0));
        QThread::msleep(200);
        struct statvfs disk;
        ASSERT_EQ(0, ::statvfs(QFile::encodeName(small).constData(), &disk));
        settled = disk.f_bavail == 0 ? settled + 1 : 0;
    }
    run.send("music " + music[1]);
    EXPECT_EQ("message The settings could not be stored in the working folder \"" + folders[0] +
                  "\" (on the disk at \"" + small +
                  "\"): the disk is full.\\nUntil they can, the latest changes to them may be lost.",
              run.lineStartingWith("message", 10000))
        << run.errors();
    run.send("quit");
    EXPECT_EQ(0, run.exitCode()) << run.errors();
    EXPECT_EQ(QStringList(), missingKeys(keys)) << "keys lost";
    EXPECT_EQ(QStringList{photo}, storyboardFiles(stored("Storyboard/slides")).replaceInStrings(" (no settings)", ""));
}

// The user's settings file (7 KiB of them) on a small disk with one page
// free, as in a nearly full home: the program's stores fail as the disk
// fills, the message says so naming the disk, and the file keeps every
// byte, also through the ordered end; the next start with room shows the
// change and stores it with every key the file held.
TEST_F(ProgramTest, ANearlyFullDiskKeepsTheUsersSettingsFileWholeAndSaysSo)
{
    const QString config = path("config");
    const kestrel::test::scoped_mount disk("tmpfs", config.toStdString(), "tmpfs", 0, "size=64k,mode=0700");
    if (!disk.unavailable().empty())
        GTEST_SKIP() << disk.unavailable();
    const ComponentModel::SettingsValues users = aWhilesSettings();
    ASSERT_TRUE(ComponentModel::writeSettingsValues(userFile(), users).worked());
    const QString filler = config + "/filler", music = path("media/music.wav");
    kestrel::test::write_file(music.toStdString(), viewmodeltest::waveFile());
    ASSERT_TRUE(kestrel::test::leave_free(filler.toStdString(), 1));
    const QByteArray before = viewmodeltest::readAll(userFile());
    {
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
        run.send("music " + music);
        EXPECT_EQ("message The settings could not be stored in \"" + userFile() + "\" (on the disk at \"" + config +
                      "\"): the disk is full.\\nUntil they can be stored, the latest changes are kept for the "
                      "program's next start.",
                  run.lineStartingWith("message", 10000))
            << run.errors();
        run.send("quit");
        EXPECT_EQ(0, run.exitCode()) << run.errors();
        EXPECT_EQ(before, viewmodeltest::readAll(userFile())) << "the user's file changed on a full disk";
    }
    ASSERT_TRUE(QFile::remove(filler));
    expectTheNextStartShowsAndKeeps(environment(), music, users.keys());
    EXPECT_EQ(QStringList{QFileInfo(userFile()).fileName()}, filesIn(QFileInfo(userFile()).path()));
}

// The runtime folder, where the working copies of the settings go, on a
// disk nearly full at a start, with what a killed run left there: the
// start makes its copies in the temporary folder, shows the music the
// killed run chose, stores it and leaves no run behind. With the temporary
// folder's disk nearly full too, the program starts with its own settings,
// says truly why, and leaves the user's file and the killed run's change
// for a start with room.
TEST_F(ProgramTest, ARunFoldersDiskNearlyFullAtAStartCostsTheSettingsNothing)
{
    const QString runtime = path("runtime"), temporary = path("small-tmp");
    ASSERT_TRUE(QDir().mkpath(runtime) && QDir().mkpath(temporary));
    const kestrel::test::scoped_mount runtimeDisk("tmpfs", runtime.toStdString(), "tmpfs", 0, "size=64k,mode=0700");
    if (!runtimeDisk.unavailable().empty())
        GTEST_SKIP() << runtimeDisk.unavailable();
    const kestrel::test::scoped_mount temporaryDisk("tmpfs", temporary.toStdString(), "tmpfs", 0,
                                                    "size=64k,mode=0700");
    ASSERT_EQ("", temporaryDisk.unavailable());
    QProcessEnvironment environment = this->environment();
    environment.insert("XDG_RUNTIME_DIR", runtime);
    const QString music = path("media/music.wav");
    kestrel::test::write_file(music.toStdString(), viewmodeltest::waveFile());
    const ComponentModel::SettingsValues users = aWhilesSettings();
    storeFromOutside({users, {}});
    const QString folder = QFileInfo(userFile()).path(), away = folder + ".away";
    {
        // Killed before the user's file could take the change (a file
        // stands where its folder should be): the change is left.
        ProgramRun run(LUMIVISTA_TEST_DRIVER, environment);
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
        kestrel::test::write_file(away.toStdString(), "in the way");
        ASSERT_TRUE(exchange(folder, away));
        run.send("music " + music);
        ASSERT_TRUE(eventually([&] {
            return onDisk(runFoldersIn(runtime).value(0) + "/" + Application::organizationDomain() + "/" +
                              Application::applicationName() + ".conf",
                          path(""))
                       .value("Music/filePath") == music;
        })) << run.errors();
        run.killHard();
        ASSERT_TRUE(exchange(folder, away) && QFile::remove(away));
    }
    const QByteArray before = viewmodeltest::readAll(userFile());
    ASSERT_TRUE(kestrel::test::leave_free((runtime + "/filler").toStdString(), 1));
    {
        QProcessEnvironment full = environment;
        full.insert("TMPDIR", temporary);
        ASSERT_TRUE(kestrel::test::leave_free((temporary + "/filler").toStdString(), 3));
        ProgramRun run(LUMIVISTA_TEST_DRIVER, full);
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
        const QString told = run.lineStartingWith("message");
        EXPECT_TRUE(told.startsWith("message The settings could not be copied into the working folder \"" +
                                    temporary + "/Orvik Lumivista-"))
            << told.toStdString() << "\n"
            << run.errors();
        EXPECT_TRUE(told.endsWith("\" (on the disk at \"" + temporary +
                                  "\"): the disk is full.\\nThe program starts with its own settings and leaves \"" +
                                  userFile() + "\" as it is; changes to the settings will be lost when the program "
                                               "ends."))
            << told.toStdString();
        run.send("quit");
        EXPECT_EQ(0, run.exitCode()) << run.errors();
        EXPECT_EQ(before, viewmodeltest::readAll(userFile())) << "the user's file changed";
        ASSERT_EQ(1, runFoldersIn(runtime).size()) << "the killed run's change was not kept";
    }
    expectTheNextStartShowsAndKeeps(environment, music, users.keys());
}

// Run A chose music m1 and could not write it back (a file stood where its
// folder should be, as a share that hung); A is then still alive in the
// kernel, holding its working folder, while run B chooses m2 and ends in
// order. Once A has gone, the next start keeps m2: what A left is older
// than what the user's file holds.
TEST_F(ProgramTest, AnOlderRunsLeftoverNeverReplacesANewerValue)
{
    const QStringList music = {path("media/m1.wav"), path("media/m2.wav")};
    for (const QString& file : music)
        kestrel::test::write_file(file.toStdString(), viewmodeltest::waveFile());
    const QString folder = QFileInfo(userFile()).path(), away = folder + ".away";
    {
        ProgramRun a = driver();
        ASSERT_EQ("ready Orvik Lumivista", a.lineStartingWith("ready")) << a.errors();
        kestrel::test::write_file(away.toStdString(), "in the way");
        ASSERT_TRUE(exchange(folder, away));
        a.send("music " + music[0]);
        ASSERT_TRUE(eventually([&] {
            return onDisk(runFoldersIn(path("")).value(0) + "/" + Application::organizationDomain() + "/" +
                              Application::applicationName() + ".conf",
                          path(""))
                       .value("Music/filePath") == music[0];
        })) << a.errors();
        a.killHard();
        ASSERT_TRUE(exchange(folder, away) && QFile::remove(away));
    }
    const QStringList aFolder = runFoldersIn(path(""));
    ASSERT_EQ(1, aFolder.size());
    // As A's process, still in the kernel, holds it.
    const int held = ::open(QFile::encodeName(aFolder[0]).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_TRUE(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
    {
        ProgramRun b = driver();
        ASSERT_EQ("ready Orvik Lumivista", b.lineStartingWith("ready")) << b.errors();
        b.send("music " + music[1]);
        b.send("quit");
        EXPECT_EQ(0, b.exitCode()) << b.errors();
    }
    EXPECT_EQ(music[1], stored("Music/filePath"));
    ::close(held);

    ProgramRun c = driver();
    ASSERT_EQ("ready Orvik Lumivista", c.lineStartingWith("ready")) << c.errors();
    c.send("state");
    EXPECT_EQ("state slides=0 music=" + music[1] + " files=", c.lineStartingWith("state"));
    c.send("quit");
    EXPECT_EQ(0, c.exitCode()) << c.errors();
    EXPECT_EQ(music[1], stored("Music/filePath")) << "an older run's change came back";
    EXPECT_EQ(QStringList(), runFoldersIn(path("")) + runFoldersIn(path("tmp"))) << "a run's working folder left";
}

// An empty lock file beside the user's settings, as a run ended while a
// share held its making leaves it, before a start (the start removes it)
// and while the program runs: the change reaches the file at once, the end
// is prompt and in order, and nothing is left behind.
TEST_F(ProgramTest, AnEmptyLockLeftBesideTheSettingsStopsNoStore)
{
    const QString lock = userFile() + ".lock", music = path("media/music.wav");
    const auto leaveEmptyLock = [&] {
        kestrel::test::write_file(lock.toStdString(), "");
        QFile left(lock);
        ASSERT_TRUE(left.open(QIODevice::ReadWrite) &&
                    left.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
    };
    leaveEmptyLock();
    kestrel::test::write_file(music.toStdString(), viewmodeltest::waveFile());
    ProgramRun run = driver();
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
    EXPECT_FALSE(QFile::exists(lock)) << "the start left it";
    leaveEmptyLock();
    run.send("music " + music);
    EXPECT_TRUE(eventually([&] { return stored("Music/filePath") == music; }, 5000)) << run.errors();
    run.send("quit");
    EXPECT_EQ(0, run.exitCode()) << run.errors();
    EXPECT_EQ(QStringList{QFileInfo(userFile()).fileName()}, filesIn(QFileInfo(userFile()).path()));
    EXPECT_EQ(QStringList(), runFoldersIn(path("")) + runFoldersIn(path("tmp"))) << "a run's working folder left";
}

// Five runs in a row, each killed after a change while the user's settings
// file cannot be written (a file stands where its folder should be, for as
// long as that takes), so that only their working copies hold what they
// changed; then one run that ends in order. Each start finds all that the
// runs before it stored, the storyboard's place among it; at the end the
// user's file holds every change, and nothing of the runs is left.
TEST_F(ProgramTest, RunsKilledAfterAChangeLeaveItToTheNextStartAndNothingBehind)
{
    const QString conf = userFile(), folder = QFileInfo(conf).path(), away = folder + ".away";
    QStringList photos, music;
    for (int i = 0; i < 5; ++i) {
        photos << path(QString("media/photo %1.jpg").arg(i));
        viewmodeltest::writePhoto(photos.back().toStdString());
        music << path(QString("media/music %1.wav").arg(i));
        kestrel::test::write_file(music.back().toStdString(), viewmodeltest::waveFile());
    }
    const auto stateAfter = [&](int runs) {
        return QString("state slides=%1 music=%2 files=%3")
            .arg(runs)
            .arg(runs ? music[runs - 1] : QString(), photos.mid(0, runs).join('|'));
    };
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
        run.send("state");
        ASSERT_EQ(stateAfter(i), run.lineStartingWith("state"));
        // In one step: the program makes a missing folder again as it stores.
        kestrel::test::write_file(away.toStdString(), "in the way");
        ASSERT_TRUE(exchange(folder, away));
        run.send("add " + photos[i]);
        run.send("music " + music[i]);
        run.send("state");
        ASSERT_EQ(stateAfter(i + 1), run.lineStartingWith("state"));
        // Once the working copy holds both.
        QString seen;
        ASSERT_TRUE(eventually([&] {
            const QStringList copies = runFoldersIn(path("")) + runFoldersIn(path("tmp"));
            const ComponentModel::SettingsValues copy = onDisk(
                copies.value(0) + "/" + Application::organizationDomain() + "/" + Application::applicationName() +
                    ".conf",
                path(""));
            const QString slides = copy.value("Storyboard/slides").toString();
            seen = copies.join(", ") + ": music " + copy.value("Music/filePath").toString() + ", storyboard " + slides;
            return copy.value("Music/filePath").toString() == music[i] && !slides.isEmpty() &&
                   storyboardFiles(slides).size() == i + 1;
        })) << seen.toStdString() << "\n"
            << run.errors();
        run.killHard();
        ASSERT_TRUE(exchange(folder, away) && QFile::remove(away));
        EXPECT_NE(music[i], stored("Music/filePath")) << "the change reached the user's file before the kill";
    }
    ProgramRun run = driver();
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
    run.send("state");
    EXPECT_EQ(stateAfter(5), run.lineStartingWith("state"));
    run.send("quit");
    EXPECT_EQ(0, run.exitCode()) << run.errors();
    EXPECT_EQ(music[4], stored("Music/filePath"));
    EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")).replaceInStrings(" (no settings)", ""));
    EXPECT_EQ(QStringList(), runFoldersIn(path("")) + runFoldersIn(path("tmp"))) << "a run's working folder left";
    EXPECT_EQ(QStringList{QFileInfo(conf).fileName()}, filesIn(folder)) << "a store's temporary file left";
}

// A session that ends cannot answer "quit?": each of its end signals stops
// a running conversion, stores the work and ends the program at once,
// leaving no video behind; the conversion first removed what a killed run
// had left in the folder. The views go before what they show: no QML
// complaint on the way out.
TEST_F(ProgramTest, TheSessionsEndDuringAConversionStopsItStoresTheWorkAndEndsAtOnce)
{
    QStringList photos;
    for (int i = 0; i < 4; ++i) {
        photos << path(QString("media/photo %1.jpg").arg(i));
        viewmodeltest::writePhoto(photos.back().toStdString());
    }
    const QString videos = path("home/Videos");
    QFile leftover(videos + "/.lumivista-unfinished-00c0ffee");
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(number);
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
        if (number == SIGTERM)
            for (const QString& photo : photos)
                run.send("add " + photo);
        run.send("state");
        ASSERT_EQ("state slides=4 music= files=" + photos.join('|'), run.lineStartingWith("state"));
        run.send("convert");
        const QString result = run.lineStartingWith("converting").section(' ', 1);
        ASSERT_FALSE(result.isEmpty());
        ASSERT_FALSE(run.lineStartingWith("progress").isEmpty());
        EXPECT_EQ(filesIn(videos).size(), 1) << filesIn(videos).join(", ").toStdString();

        QElapsedTimer clock;
        clock.start();
        run.signal(number);
        EXPECT_EQ(0, run.exitCode(hangMs));
        std::printf("signal %d ended the program after %lld ms\n", number, static_cast<long long>(clock.elapsed()));
        EXPECT_EQ(filesIn(videos), QStringList()) << "nothing under " << result.toStdString() << " nor unfinished";
        EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")));
        EXPECT_FALSE(run.errorsShow("qrc:/qml/", 0)) << "a view complained";
    }
}

// The window's thread away from its event loop as the session ends, for
// far longer than the test waits: held on a lock while a conversion keeps
// the program busy, held on a lock, or in the kernel for a share that
// hangs (a call it was in before the signal came). Each end signal still
// ends the program, by the signal, soon after the two seconds the window
// has to take it, and the program says why; the storyboard stays as stored
// when it changed.
TEST_F(ProgramTest, AnEndSignalTheWindowDoesNotTakeEndsTheProgramAfterTwoSeconds)
{
    QStringList photos;
    for (int i = 0; i < 4; ++i) {
        photos << path(QString("media/photo %1.jpg").arg(i));
        viewmodeltest::writePhoto(photos.back().toStdString());
    }
    QDir().mkpath(path("served"));
    QDir().mkpath(path("media/share"));
    kestrel::test::hanging_share share(path("served").toStdString(), path("media/share").toStdString());
    const struct {
        int number;
        const char* away; // "convert": held during a conversion
    } rows[] = {{SIGTERM, "convert"}, {SIGHUP, "hold"}, {SIGINT, "look"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.away);
        const bool inTheKernel = QString(row.away) == "look";
        if (inTheKernel && !share.unavailable().empty())
            continue;
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
        if (&row == &rows[0])
            for (const QString& photo : photos)
                run.send("add " + photo);
        run.send("state");
        ASSERT_EQ(stateOf(photos), run.lineStartingWith("state"));
        if (QString(row.away) == "convert") {
            run.send("convert");
            ASSERT_FALSE(run.lineStartingWith("progress").isEmpty()) << run.errors();
        }
        if (inTheKernel) {
            share.hang("all");
            run.send("look " + path("media/share/photo.jpg"));
            ASSERT_TRUE(share.held_within(std::chrono::milliseconds(startMs))) << run.errors();
        } else {
            run.send("hold 30");
            ASSERT_EQ("holding", run.lineStartingWith("holding"));
        }
        QElapsedTimer clock;
        clock.start();
        run.signal(row.number);
        // Two seconds, and slack for a sanitizer build on a busy machine.
        EXPECT_TRUE(run.errorsShow(QString("[TerminationSignals] the window did not answer signal %1 within 2 s (")
                                       .arg(row.number),
                                   3000))
            << run.errors();
        std::printf("signal %d ended the program after %lld ms\n", row.number,
                    static_cast<long long>(clock.elapsed()));
        // A process in the kernel for the share stays until it answers.
        if (inTheKernel)
            share.answer();
        EXPECT_EQ(row.number, run.endingSignal(inTheKernel ? hangMs : 3000)) << run.errors();
        EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")));
    }
}

// SIGTERM while the start waits for the settings on a share that does not
// answer: the program ends within two seconds, though its window's thread
// waits in the kernel (the process stays until the share answers, then
// goes), and shows no window; nor when the share answers just after the
// signal: the start then ends in order, or by the signal should it take
// longer than the two seconds.
TEST_F(ProgramTest, TheSessionsEndWhileTheStartWaitsForTheSettingsShowsNoWindow)
{
    ASSERT_TRUE(QDir().rename(path("config"), path("config-served")) && QDir().mkdir(path("config")));
    kestrel::test::hanging_share config(path("config-served").toStdString(), path("config").toStdString());
    if (!config.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << config.unavailable();
    for (const bool answersAtOnce : {false, true}) {
        SCOPED_TRACE(answersAtOnce ? "the share answers just after the signal" : "the share answers later");
        config.hang("all");
        ProgramRun run = driver();
        ASSERT_TRUE(config.held_within(std::chrono::milliseconds(startMs))) << run.errors();
        QElapsedTimer clock;
        clock.start();
        run.terminate();
        if (answersAtOnce) {
            QThread::msleep(100);
            config.answer();
            const int code = run.exitCode(hangMs);
            EXPECT_TRUE(code == 0 || run.endingSignal(0) == SIGTERM) << run.errors();
        } else {
            // Two seconds, and slack for a sanitizer build on a busy machine.
            EXPECT_TRUE(run.errorsShow("[TerminationSignals] the window did not answer signal 15 within 2 s (", 9000))
                << run.errors();
            EXPECT_TRUE(run.running()) << "the share held nothing";
            config.answer();
            EXPECT_EQ(SIGTERM, run.endingSignal(hangMs)) << run.errors();
        }
        std::printf("%s: ended %lld ms after SIGTERM\n", answersAtOnce ? "answered at once" : "answered later",
                    static_cast<long long>(clock.elapsed()));
        EXPECT_EQ("", run.lineStartingWith("ready", 0)) << "a window showed after the session's end";
    }
}

// What the program starts takes the session's end as what a desktop starts
// does: a program handed to the desktop (the opener on the path a
// stand-in, where the window system gives the desktop's services), one the
// desktop's opener starts while the program waits for its end (Report
// Problem's mail program) and one handed to the program's launcher read in
// their own status the end signals neither blocked nor ignored, and none
// has a pipe to the program for its standard error (a program that
// outlives the window would die of its first word after the program's end).
TEST_F(ProgramTest, WhatTheProgramStartsTakesTheSessionsEnd)
{
    const QString openers = path("openers");
    ASSERT_TRUE(QDir().mkpath(openers) && QFile::link(STARTED_PROGRAM_STAND_IN, openers + "/xdg-open"));
    QProcessEnvironment environment = this->environment();
    environment.insert("PATH", openers + ":" + environment.value("PATH"));
    ProgramRun run(LUMIVISTA_TEST_DRIVER, environment);
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
    const QRegularExpression readByTheProgram(QString("pipe read by( \\d+)* %1( |$)").arg(run.pid()));
    // Once it has said anything (within `ms`).
    const auto takesTheEnd = [&](const QString& started, int ms = startMs) {
        run.errorsShow("started " + started + ":", ms);
        const QString said =
            QRegularExpression("^started " + QRegularExpression::escape(started) + ": (.*)$",
                               QRegularExpression::MultilineOption)
                .match(QString::fromStdString(run.errors()))
                .captured(1);
        EXPECT_TRUE(said.startsWith("end signals blocked 0 ignored 0, standard error "))
            << started.toStdString() << (said.isEmpty() ? ": nothing where the program's errors go\n" : ": ")
            << run.errors();
        EXPECT_FALSE(said.contains(readByTheProgram)) << said.toStdString();
    };
    run.send(QString("launch %1 by-the-launcher").arg(STARTED_PROGRAM_STAND_IN));
    ASSERT_EQ("launched", run.lineStartingWith("launched"));
    takesTheEnd("by-the-launcher");
    run.send("report mailto:help@localhost");
    ASSERT_EQ("report took", run.lineStartingWith("report")) << run.errors();
    // It has ended: what it said is on its way.
    takesTheEnd("mailto:help@localhost", 5000);
    if (environment.value("QT_QPA_PLATFORM") == "xcb") {
        run.send("desktop https://example.invalid/page");
        ASSERT_EQ("desktop took", run.lineStartingWith("desktop"));
        takesTheEnd("https://example.invalid/page");
    }
    run.send("quit");
    EXPECT_EQ(0, run.exitCode()) << run.errors();
}

// The data folder on a share that holds the end's storyboard store (its
// write) for three seconds, as a disk does after a large video was written:
// the end waits for the store, which completes, and the program ends in
// order. A start meanwhile, a first instance of its own once the ending run
// let its key go, leaves what that run still writes alone: the store's
// temporary file and the run's working folder. What a store cut short left
// beside the storyboard is gone at the next start after a run ended; a
// file only like it in name stays.
TEST_F(ProgramTest, TheEndWaitsForAStoreADiskHoldsWhichAStartMeanwhileLeavesAlone)
{
    QDir().mkpath(path("served"));
    kestrel::test::hanging_share share(path("served").toStdString(), path("data").toStdString());
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();
    QStringList photos;
    for (int i = 0; i < 2; ++i) {
        photos << path(QString("media/photo %1.jpg").arg(i));
        viewmodeltest::writePhoto(photos.back().toStdString());
    }
    {
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
        run.send("add " + photos[0]);
        run.send("state");
        ASSERT_EQ(stateOf({photos[0]}), run.lineStartingWith("state"));
        run.send("quit");
        ASSERT_EQ(0, run.exitCode()) << run.errors();
    }
    const QString storyboard = stored("Storyboard/slides");
    ASSERT_TRUE(storyboard.startsWith(path("data"))) << storyboard.toStdString();
    const QString cutShort = storyboard + ".Xb3q9Z", other = storyboard + ".Xb3q9";
    kestrel::test::write_file(cutShort.toStdString(), "<Slides>");
    kestrel::test::write_file(other.toStdString(), "kept");

    ProgramRun run = driver();
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
    run.send("add " + photos[1]);
    run.send("state");
    ASSERT_EQ(stateOf(photos), run.lineStartingWith("state"));
    EXPECT_FALSE(QFileInfo::exists(cutShort));
    EXPECT_TRUE(QFileInfo::exists(other));
    share.hang("write");
    run.send("quit");
    ASSERT_TRUE(share.held_within(std::chrono::milliseconds(startMs))) << run.errors();
    QElapsedTimer held;
    held.start();
    const QStringList ending = runFoldersIn(path("")) + runFoldersIn(path("tmp"));
    ASSERT_EQ(1, ending.size());
    // Its window shows once the storyboard was read, after the clean-up
    // (one that waits for the held store never shows it): within the ten
    // seconds the ending run's end may take.
    const int meanwhileMs = 8000;
    ProgramRun meanwhile = driver();
    const QString ready = meanwhile.lineStartingWith("ready", meanwhileMs);
    QThread::msleep(std::max<qint64>(0, 3000 - held.elapsed()));
    // Gone before its own store of the storyboard it read can race the
    // ending run's.
    meanwhile.signal(SIGKILL);
    // Whatever the start reached before it went, slow or not, the ending
    // run still holds its folder: looked at before the store is let go.
    EXPECT_TRUE(QFileInfo::exists(ending[0])) << "the working folder of a live run was taken";
    share.answer();
    if (!ready.isEmpty()) {
        EXPECT_EQ("ready Orvik Lumivista", ready) << meanwhile.errors();
    }
    EXPECT_EQ(0, run.exitCode(hangMs)) << run.errors();
    EXPECT_FALSE(run.errorsShow("[EndBackstop]", 0)) << run.errors();
    EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")));
    meanwhile.killHard();
    {
        QElapsedTimer starting;
        starting.start();
        ProgramRun next = driver();
        ASSERT_EQ("ready Orvik Lumivista", next.lineStartingWith("ready")) << next.errors();
        // A start with nothing held that takes half the bound tells a
        // machine too busy to show the one meanwhile in time, held or not.
        if (ready.isEmpty() && starting.elapsed() < meanwhileMs / 2)
            ADD_FAILURE() << "the start meanwhile did not show while the ending run's store was held\n"
                          << meanwhile.errors();
        next.send("quit");
        EXPECT_EQ(0, next.exitCode()) << next.errors();
    }
    const QString name = QFileInfo(storyboard).fileName();
    EXPECT_EQ(QStringList({name, QFileInfo(other).fileName()}),
              filesIn(QFileInfo(storyboard).path()).filter(QRegularExpression("^" + QRegularExpression::escape(name))))
        << "a store's temporary file left";
}

// The settings and the data folder on shares that stop answering while
// the program runs: adding a photo and choosing music store the storyboard
// and the settings as ever, and the window answers at once all the while;
// once the shares answer, what was stored reaches them and the end keeps
// it, with what another program wrote into the settings meanwhile.
TEST_F(ProgramTest, TheWindowAnswersWhileTheSharesItStoresOnHang)
{
    // The settings' share serves what their folder held.
    ASSERT_TRUE(QDir().rename(path("config"), path("config-served")) && QDir().mkdir(path("config")));
    QDir().mkpath(path("data-served"));
    kestrel::test::hanging_share config(path("config-served").toStdString(), path("config").toStdString());
    if (!config.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << config.unavailable();
    kestrel::test::hanging_share data(path("data-served").toStdString(), path("data").toStdString());
    ASSERT_EQ("", data.unavailable());
    const QStringList photos = {path("media/one.jpg"), path("media/two.jpg")};
    for (const QString& photo : photos)
        viewmodeltest::writePhoto(photo.toStdString());
    const QString music = path("media/music.wav");
    kestrel::test::write_file(music.toStdString(), viewmodeltest::waveFile());

    ProgramRun run = driver();
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
    run.send("add " + photos[0]);
    run.send("state");
    ASSERT_EQ(stateOf({photos[0]}), run.lineStartingWith("state"));
    config.hang("all");
    data.hang("all");
    run.send("add " + photos[1]);
    run.send("music " + music);
    run.send("state");
    // The share answers only once the window did: a window that waits for
    // it never answers here.
    EXPECT_EQ(QString("state slides=2 music=%1 files=%2").arg(music, photos.join('|')),
              run.lineStartingWith("state", 10000))
        << run.errors();
    EXPECT_TRUE(data.held_within(std::chrono::milliseconds(startMs))) << "the storyboard's store reached the share";
    config.answer();
    data.answer();
    storeFromOutside({{{"socialVia", "another program"}}, {}});
    run.send("quit");
    EXPECT_EQ(0, run.exitCode(hangMs)) << run.errors();
    EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")).replaceInStrings(" (no settings)", ""));
    EXPECT_EQ(music, stored("Music/filePath"));
    EXPECT_EQ("another program", stored("socialVia"));
}

// Closing the window as the window system does after Alt+F4 during a
// conversion, running or paused, asks once: "Cancel" leaves the window and
// the conversion as they were, one "Quit" ends the program as the
// session's end does, no video left behind. While Alt is down the menu bar
// re-installs its filter on the window as the question gets its buttons.
TEST_F(ProgramTest, ClosingDuringAConversionAsksOnceAndOneQuitEndsTheProgram)
{
    QStringList photos;
    for (int i = 0; i < 4; ++i) {
        photos << path(QString("media/photo %1.jpg").arg(i));
        viewmodeltest::writePhoto(photos.back().toStdString());
    }
    const QString asked = "asked Slideshow saving process not finished yet. Are you sure want to quit?";
    for (const bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "running");
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
        if (!paused) // the storyboard stays for the next run
            for (const QString& photo : photos)
                run.send("add " + photo);
        run.send("state");
        ASSERT_EQ("state slides=4 music= files=" + photos.join('|'), run.lineStartingWith("state"));
        run.send("convert");
        ASSERT_FALSE(run.lineStartingWith("progress").isEmpty());
        if (paused) {
            run.send("pause");
            ASSERT_EQ("paused 1", run.lineStartingWith("paused"));
        }
        const QString state = paused ? "1" : "2";

        run.send("close Cancel");
        EXPECT_EQ(asked, run.lineStartingWith("asked"));
        EXPECT_EQ("stayed " + state, run.lineStartingWith("stayed"));

        QElapsedTimer clock;
        clock.start();
        run.send("close Quit");
        EXPECT_EQ(asked, run.lineStartingWith("asked"));
        // An end only slow on busy cores is left up to ten seconds to end
        // in order.
        EXPECT_EQ(0, run.exitCode(10000)) << run.errors();
        std::printf("one quit ended the program after %lld ms\n", static_cast<long long>(clock.elapsed()));
        EXPECT_EQ("", run.lineStartingWith("asked", 0)) << "asked again";
        EXPECT_EQ(filesIn(path("home/Videos")), QStringList());
    }
}

// A photo or the music whose file stops answering during a conversion (a
// share that hangs: a preloaded read() that never returns for it) holds the
// conversion: its Cancel still returns, waiting for no read, and the
// unfinished file goes, and the session's end during the next one ends the
// program too, leaving no video behind, also while turning the photo holds
// the GUI thread in its read (the times are printed). The music hangs after it has opened, so
// the producer itself is stuck in its read.
TEST_F(ProgramTest, CancelAndTheSessionsEndStopAConversionWhileAPhotoOrTheMusicDoesNotAnswer)
{
    for (const bool musicHangs : {false, true}) {
        SCOPED_TRACE(musicHangs ? "the music hangs" : "a photo hangs");
        // Each case starts with no slides and no music.
        storeFromOutside({{}, {"Storyboard"}});
        const QString media = path(musicHangs ? "media/music case" : "media/photo case");
        QDir().mkpath(media);
        QStringList photos;
        for (int i = 0; i < 4; ++i) {
            photos << media + QString("/photo %1.jpg").arg(i);
            viewmodeltest::writePhoto(photos.back().toStdString());
        }
        QString music;
        if (musicHangs) {
            music = media + "/music.wav";
            kestrel::test::tone_file tone;
            tone.seconds = 60.0; // longer than the show: read to its end
            kestrel::test::make_tone_file(music.toStdString(), tone);
        }
        const QString hangNow = media + "/hang now", videos = path("home/Videos");
        const QString hangs = "read of STUCK_READ_PATH hangs";
        QProcessEnvironment environment = this->environment();
        environment.insert("LD_PRELOAD", STUCK_READ_LIBRARY);
        environment.insert("STUCK_READ_PATH", QFileInfo(musicHangs ? music : photos.back()).canonicalFilePath());
        environment.insert("STUCK_READ_WHEN", hangNow);
        // The sanitizer's run-time library would otherwise insist on coming first.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") +
                                               (environment.contains("ASAN_OPTIONS") ? ":" : "") +
                                               "verify_asan_link_order=0");
        ProgramRun run(LUMIVISTA_TEST_DRIVER, environment);
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
        for (const QString& photo : photos)
            run.send("add " + photo);
        if (musicHangs)
            run.send("music " + music);
        run.send("state");
        ASSERT_EQ(QString("state slides=4 music=%1 files=%2").arg(music, photos.join('|')),
                  run.lineStartingWith("state"));
        // The photos and the music have opened: from now on the file does not answer.
        QFile(hangNow).open(QIODevice::WriteOnly);

        run.send("convert");
        ASSERT_FALSE(run.lineStartingWith("converting").isEmpty());
        // A bound, not an expectation: the last slide comes after a few seconds of rendering.
        const int reachMs = 60000;
        ASSERT_TRUE(run.errorsShow(hangs, reachMs)) << run.errors();
        // The conversion catches up with the photo and holds there.
        QElapsedTimer clock;
        clock.start();
        while (!run.lineStartingWith("progress", 1500).isEmpty())
            ASSERT_LT(clock.elapsed(), reachMs) << "the conversion went on";
        clock.restart();
        run.send("cancel");
        EXPECT_EQ("cancelled", run.lineStartingWith("cancelled", hangMs)) << run.errors();
        std::printf("the cancel returned after %lld ms\n", static_cast<long long>(clock.elapsed()));
        EXPECT_TRUE(eventually([&] { return filesIn(videos).isEmpty(); }, hangMs))
            << filesIn(videos).join(", ").toStdString();

        run.send("convert");
        ASSERT_FALSE(run.lineStartingWith("converting").isEmpty());
        if (musicHangs) { // the next conversion waits for the read given up, which never returns
            EXPECT_TRUE(run.lineStartingWith("progress", 1500).isEmpty()) << "the music answered";
        } else {
            ASSERT_TRUE(run.errorsShow(hangs, reachMs, 2)) << "the second conversion did not reach the photo\n"
                                                           << run.errors();
            // Turning the photo reads it again, off the GUI thread; it holds there too.
            run.send("turn 3");
            ASSERT_TRUE(run.errorsShow(hangs, startMs, 3)) << "turning did not read the photo\n" << run.errors();
        }
        clock.restart();
        run.terminate();
        EXPECT_EQ(0, run.exitCode(hangMs)) << run.errors();
        std::printf("SIGTERM ended the program after %lld ms\n", static_cast<long long>(clock.elapsed()));
        EXPECT_EQ(filesIn(videos), QStringList());
    }
}

// The videos' folder on a share whose writes hang: Quit during a conversion
// ends the program's work at once, and while its process still waits in
// the kernel for the write it sent, a new start is a first instance that
// shows its own window (it was told "show" and ended, showing nothing);
// once the share answers, the first process ends by itself.
TEST_F(ProgramTest, AQuitWhileTheVideosShareHangsLetsANewStartShowItsWindow)
{
    const QString served = path("served");
    QDir().mkpath(served);
    kestrel::test::hanging_share share(served.toStdString(), path("home/Videos").toStdString());
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();
    QStringList photos;
    for (int i = 0; i < 4; ++i) {
        photos << path(QString("media/photo %1.jpg").arg(i));
        viewmodeltest::writePhoto(photos.back().toStdString());
    }
    // The leak checker would wait at the end for the thread the kernel
    // holds until the share answers.
    QProcessEnvironment environment = this->environment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") +
                                           (environment.contains("ASAN_OPTIONS") ? ":" : "") + "detect_leaks=0");
    ProgramRun run(LUMIVISTA_TEST_DRIVER, environment);
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
    for (const QString& photo : photos)
        run.send("add " + photo);
    run.send("state");
    ASSERT_EQ("state slides=4 music= files=" + photos.join('|'), run.lineStartingWith("state"));
    share.hang("write");
    run.send("convert");
    ASSERT_FALSE(run.lineStartingWith("converting").isEmpty()) << run.errors();
    ASSERT_TRUE(share.held_within(std::chrono::milliseconds(startMs))) << run.errors();

    run.send("close Quit");
    EXPECT_EQ("asked Slideshow saving process not finished yet. Are you sure want to quit?",
              run.lineStartingWith("asked"));
    // A start while the first still holds its key hands it "show" and ends:
    // starts are tried until one is a first instance.
    bool shown = false;
    QElapsedTimer clock;
    clock.start();
    while (!shown && clock.elapsed() < hangMs) {
        ProgramRun next(LUMIVISTA_TEST_DRIVER, this->environment());
        shown = next.lineStartingWith("ready", startMs) == "ready Orvik Lumivista";
        if (!shown)
            QThread::msleep(200);
    }
    EXPECT_TRUE(shown) << "no new start showed a window while the ending program waited for the share\n"
                       << run.errors();
    std::printf("a new start showed its window %lld ms after the quit\n", static_cast<long long>(clock.elapsed()));
    share.answer();
    EXPECT_EQ(0, run.exitCode(hangMs)) << run.errors();
}

// Asked to end (the session's SIGTERM, or the window closed), the program
// ends once it has stood still for two seconds, whatever its window's
// thread meets after taking the request: held on a lock (as a dialog's or
// the sound output's closing that waits for another thread), or in the
// kernel for a share that hangs; an end only slow, at work on the window's
// thread or on short threads it joins one after another, ends in order.
// Each row first sees its wait reached. While the ended process
// still waits for the share, a new start shows its own window, and on a
// window system the ended one's window has left the screen.
TEST_F(ProgramTest, AskedToEndTheProgramEndsWithinTwoSecondsWhateverItsWindowThenMeetsAndLetsGo)
{
    const QStringList photos{path("media/photo.jpg")};
    viewmodeltest::writePhoto(photos[0].toStdString());
    QDir().mkpath(path("served"));
    QDir().mkpath(path("media/share"));
    kestrel::test::hanging_share share(path("served").toStdString(), path("media/share").toStdString());
    const struct {
        const char* name;
        const char* atEnd; // "look": at a name of its own on the share
        bool bySignal;
    } rows[] = {{"held, SIGTERM", "hold 30", true},
                {"held, the window closed", "hold 30", false},
                {"in the kernel, the window closed", "look", false},
                {"in the kernel, SIGTERM", "look", true},
                {"busy, SIGTERM", "busy 4", true},
                {"busy on short threads, the window closed", "threads 4", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const bool inTheKernel = QString(row.atEnd) == "look", busy = QString(row.atEnd).endsWith(" 4");
        if (inTheKernel && !share.unavailable().empty())
            continue;
        ProgramRun run = driver();
        ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
        if (&row == &rows[0]) // the storyboard stays for the next runs
            run.send("add " + photos[0]);
        run.send("state");
        ASSERT_EQ(stateOf(photos), run.lineStartingWith("state"));
        run.send(QString("at-end ") + row.atEnd + (inTheKernel ? " " + path("media/share/") + row.name : ""));
        ASSERT_FALSE(run.lineStartingWith("at-end").isEmpty());
        if (inTheKernel)
            share.hang("all");
        QElapsedTimer clock;
        clock.start();
        row.bySignal ? run.terminate() : run.send("quit");
        if (inTheKernel) {
            ASSERT_TRUE(share.held_within(std::chrono::milliseconds(startMs))) << run.errors();
        } else if (!busy) {
            ASSERT_EQ("holding", run.lineStartingWith("holding")) << run.errors();
        }
        if (busy) {
            EXPECT_EQ(0, run.exitCode(hangMs)) << run.errors();
            EXPECT_FALSE(run.errorsShow("[EndBackstop]", 0)) << run.errors();
            continue;
        }
        // Two seconds, and slack for a sanitizer build on a busy machine.
        EXPECT_TRUE(run.errorsShow(QString(" s in a row after %1: it ends now")
                                       .arg(row.bySignal ? "signal 15" : "its window's closing"),
                                   9000))
            << run.errors();
        EXPECT_TRUE(run.errorsShow("[EndBackstop] the program stood still for 2.", 0)) << run.errors();
        std::printf("%s: ended after %lld ms\n", row.name, static_cast<long long>(clock.elapsed()));
        if (inTheKernel) {
            EXPECT_TRUE(run.running()) << "the share held nothing";
            if (environment().value("QT_QPA_PLATFORM") == "xcb") {
                EXPECT_TRUE(eventually([] { return !windowOnScreen("Orvik Lumivista"); }, 5000));
            }
            ProgramRun next = driver();
            EXPECT_EQ("ready Orvik Lumivista", next.lineStartingWith("ready")) << next.errors();
            share.answer();
        }
        EXPECT_EQ(row.bySignal ? SIGTERM : 1, row.bySignal ? run.endingSignal(hangMs) : run.exitCode(hangMs));
        EXPECT_EQ(photos, storyboardFiles(stored("Storyboard/slides")));
    }
}

// The maker's site never answers the notification feed, trickles the
// advertisement feed a byte at a time and never answers a usage hit: the
// program still ends at the user's quit, before the hit would time out.
TEST_F(ProgramTest, EndsAtOnceWhateverTheSiteDoes)
{
    using kestrel::test::HttpReply;
    server.answer_otherwise(HttpReply::silent());
    server.answer("/files/advertisement/lumivista.xml",
                  HttpReply::endless("HTTP/1.0 200 OK\r\n\r\n<ads>", " ", std::chrono::milliseconds(100)));
    ProgramRun run = driver();
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
    ASSERT_TRUE(eventually([&] {
        return requested("/files/notification/lumivista.xml") && requested("/files/advertisement/lumivista.xml") &&
               requested("/__utm.gif");
    }));
    QElapsedTimer clock;
    clock.start();
    run.send("quit");
    EXPECT_EQ(0, run.exitCode(usageHitBound(server.arrivals("/__utm.gif").front()))) << run.errors();
    std::printf("ended %lld ms after the quit\n", static_cast<long long>(clock.elapsed()));
}

// The usage hit's collector is a host whose name look-up never returns
// (a preloaded getaddrinfo that hangs for it) and the maker's site never
// answers: the program still ends at SIGTERM, before the hit would time
// out.
TEST_F(ProgramTest, EndsAtOnceWhileANameLookUpHangs)
{
    server.answer_otherwise(kestrel::test::HttpReply::silent());
    ProgramRun run(LUMIVISTA_TEST_DRIVER, withNeverAnsweringCollectorLookUp());
    ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready"));
    ASSERT_TRUE(run.errorsShow("look-up of never-answers.test hangs", startMs));
    const auto hitBegan = std::chrono::steady_clock::now();
    ASSERT_TRUE(eventually([&] { return requested("/files/notification/lumivista.xml"); }));
    QElapsedTimer clock;
    clock.start();
    run.terminate();
    EXPECT_EQ(0, run.exitCode(usageHitBound(hitBegan))) << run.errors();
    std::printf("ended %lld ms after SIGTERM\n", static_cast<long long>(clock.elapsed()));
}

// On two cores, the usage hits sent at the start (each held for its whole
// time-out by a collector that accepts and never answers, or by its name
// look-up that never returns) must not hold the threads the window's
// painting waits for: the session's end two seconds after the start, or a
// closed window, ends the program before the hits time out.
TEST_F(ProgramTest, EndsOnTwoCoresWithoutWaitingForHangingUsageHits)
{
    server.answer_otherwise(kestrel::test::HttpReply::silent());
    for (const bool lookUpHangs : {false, true})
        for (const bool bySignal : {true, false}) {
            const std::string how = std::string(lookUpHangs ? "look-up hangs, " : "collector silent, ") +
                                    (bySignal ? "SIGTERM" : "window closed");
            SCOPED_TRACE(how);
            const std::size_t hitsBefore = server.arrivals("/__utm.gif").size();
            QElapsedTimer sinceStart;
            sinceStart.start();
            ProgramRun run = [&] {
                const OnTwoProcessors narrow;
                return ProgramRun(LUMIVISTA_TEST_DRIVER,
                                  lookUpHangs ? withNeverAnsweringCollectorLookUp() : environment());
            }();
            ASSERT_EQ("ready Orvik Lumivista", run.lineStartingWith("ready")) << run.errors();
            if (lookUpHangs)
                ASSERT_TRUE(run.errorsShow("look-up of never-answers.test hangs", startMs));
            else
                ASSERT_TRUE(server.wait_for_path("/__utm.gif", hitsBefore + 1, std::chrono::milliseconds(startMs)));
            const auto hitBegan =
                lookUpHangs ? std::chrono::steady_clock::now() : server.arrivals("/__utm.gif")[hitsBefore];
            QThread::msleep(std::max<qint64>(0, 2000 - sinceStart.elapsed()));
            QElapsedTimer clock;
            clock.start();
            if (bySignal)
                run.terminate();
            else
                run.send("quit");
            EXPECT_EQ(0, run.exitCode(usageHitBound(hitBegan)))
                << "not ended before the hits' time-out; " << run.errors();
            std::printf("%s: ended after %lld ms\n", how.c_str(), static_cast<long long>(clock.elapsed()));
        }
}
