#include "ViewModelDoubles.h"
#include "ViewModelTesting.h"

#include "viewmodel/ConvertViewModel.h"
#include "viewmodel/OutputFolderProblem.h"

#include "componentmodel/DesktopLauncher.h"
#include "componentmodel/ImageProvider.h"
#include "support/TestPictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <ostream>
#include <string>

using ViewModel::ConvertViewModel;
using ViewModel::SettingsViewModel;
using namespace ViewModelTest;

namespace {

// A producer that produces nothing: it keeps the callbacks it is started
// with so the test can play the worker, and records what it is asked.
struct ProducerRecord {
    std::string path;
    kestrel::media_settings_ptr settings;
    kestrel::slideshow2::slideshow_produce::progress_callback progress;
    kestrel::slideshow2::slideshow_produce::finished_callback finished;
    QStringList calls;
    std::vector<kestrel::slideshow2::unreadable_photo> unreadable;  // what it reports
};

class ProducerDouble : public kestrel::slideshow2::slideshow_produce {
    struct impl : Impl {
        explicit impl(std::shared_ptr<ProducerRecord> record) : record(std::move(record)) {}
        ~impl() override { record->calls << "released"; }
        void start(const progress_callback& progress, const finished_callback& finished) override
        {
            record->progress = progress;
            record->finished = finished;
            record->calls << "produce";
        }
        void pause() override { record->calls << "pause"; }
        void resume() override { record->calls << "resume"; }
        void stop() override { record->calls << "stop"; }
        std::vector<kestrel::slideshow2::unreadable_photo> unreadable_photos() const override
        {
            return record->unreadable;
        }
        std::shared_ptr<ProducerRecord> record;
    };

public:
    explicit ProducerDouble(std::shared_ptr<ProducerRecord> record) : slideshow_produce(new impl(std::move(record))) {}
};

class ConvertViewModelTest : public testing::Test {
protected:
    void SetUp() override
    {
        clearSettingsStore();
        storyboard = QSharedPointer<ViewModel::StoryboardViewModel>::create(viewmodeltest::create_gil_slideshow(), photos);
        settings = QSharedPointer<SettingsViewModel>::create(show.show);
        settings->setOutputFolder(folder.path());
        settings->setSlideshowName("Trip");
        show.record->slides = 10;
        vm = std::make_unique<ConvertViewModel>(show.show, storyboard, settings, photos);
        vm->setProducerFactory(
            [this](const kestrel::slideshow2::slideshow_ptr&, const std::string& path, const kestrel::media_settings_ptr& m) {
                producers.push_back(std::make_shared<ProducerRecord>(ProducerRecord{path, m, {}, {}, {}, {}}));
                return boost::make_shared<ProducerDouble>(producers.back());
            });
        QObject::connect(vm.get(), &ConvertViewModel::stateChanged,
                         [this](ConvertViewModel::State s) { log << "state=" + QString::number(s); });
        QObject::connect(vm.get(), &ConvertViewModel::progressChanged,
                         [this](int v) { log << "progress=" + QString::number(v); });
        QObject::connect(vm.get(), &ConvertViewModel::slideIndexChanged,
                         [this](int v) { log << "slide=" + QString::number(v); });
        QObject::connect(vm.get(), &ConvertViewModel::photoIdChanged, [this](QString) { log << "photo"; });
        QObject::connect(vm.get(), &ConvertViewModel::conversionSucceeded, [this](QString unreadable) {
            log << (unreadable.isEmpty() ? QString("succeeded") : "succeeded " + unreadable);
        });
        QObject::connect(vm.get(), &ConvertViewModel::conversionFailed,
                         [this](int code, QString text) { log << QString("failed=%1 %2").arg(code).arg(text); });
    }

    // Delivers what the producer's callbacks posted.
    void deliver() { QCoreApplication::sendPostedEvents(vm.get()); }
    ProducerRecord& producer(int index = -1)
    {
        return *producers.at(index < 0 ? producers.size() - 1 : index);
    }
    // Every file in the output folder, hidden ones too.
    QStringList filesInFolder() const
    {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QString actions()
    {
        return QString("%1%2%3").arg(vm->startAction()->isEnabled()).arg(vm->pauseAction()->isEnabled())
            .arg(vm->stopAction()->isEnabled());
    }

    QTemporaryDir folder;
    UsageEventRecorder events;
    ShowDouble show;
    QSharedPointer<SettingsViewModel> settings;
    QSharedPointer<ComponentModel::ImageProvider> photos = QSharedPointer<ComponentModel::ImageProvider>::create();
    QSharedPointer<ViewModel::StoryboardViewModel> storyboard;
    std::vector<std::shared_ptr<ProducerRecord>> producers;  // every one made
    QStringList log;  // before vm: its destructor still signals
    std::unique_ptr<ConvertViewModel> vm;
};

} // namespace

TEST_F(ConvertViewModelTest, ProductionRunsFromStartThroughProgressToSuccess)
{
    EXPECT_EQ(vm->photoId(), "");
    const std::string photo = folder.filePath("photo.jpg").toStdString();
    viewmodeltest::writePhoto(photo);
    storyboard->addSlide(viewmodeltest::qtPath(photo));
    ASSERT_TRUE(viewmodeltest::settled(*storyboard));
    const QString firstSlide = viewmodeltest::slideAt(*storyboard, 0)->photoId();
    ASSERT_FALSE(firstSlide.isEmpty());
    EXPECT_EQ(vm->photoId(), firstSlide);
    EXPECT_EQ(actions(), "100");
    events.events.clear();
    // What a killed run left goes; a file that only looks alike stays.
    for (const char* name : {".lumivista-unfinished-0badf00d", ".lumivista-unfinished-notes"}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    vm->startAction()->trigger();
    EXPECT_EQ(events.events, QStringList{"Lumivista|Make Slideshow|Preset: mac-medium, Slides Count: 10|"});
    ASSERT_EQ(producers.size(), 1u);
    EXPECT_EQ(vm->resultPath(), QDir(folder.path()).absoluteFilePath("Trip.mp4"));
    // The video is written under a hidden temporary name beside it.
    const QFileInfo unfinished(QFileInfo(QString::fromStdString(producer().path)).canonicalFilePath());
    EXPECT_EQ(unfinished.absolutePath(), QFileInfo(folder.path()).canonicalFilePath());
    EXPECT_TRUE(unfinished.fileName().startsWith(".lumivista-unfinished-")) << unfinished.fileName().toStdString();
    EXPECT_EQ(filesInFolder(), (QStringList{unfinished.fileName(), ".lumivista-unfinished-notes", "photo.jpg"}));
    EXPECT_EQ(producer().settings->get("produce-preset"), "mac-medium");
    EXPECT_EQ(producer().calls, QStringList{"produce"});
    EXPECT_EQ(log, (QStringList{"progress=0", "slide=0", "photo", "state=2"}));
    EXPECT_EQ(actions(), "011");
    EXPECT_EQ(vm->remainingTime(), -1);
    log.clear();

    // A frame whose rows are padded: the preview must follow the stride.
    const kestrel::video_data_ptr frame = kestrel::test::make_rgb_picture(50, 20, 3);
    ASSERT_GT(frame->line_size(0), 150);
    producer().progress(37.9, frame);
    producer().progress(38.2, kestrel::video_data_ptr());
    deliver();
    EXPECT_EQ(log, (QStringList{"progress=37", "slide=3", "photo", "progress=38", "slide=3"}));
    EXPECT_EQ(vm->progress(), 38);
    const QString previewId = vm->photoId();
    EXPECT_TRUE(previewId.startsWith('{') && previewId.endsWith('}') && previewId.size() == 38) << previewId.toStdString();
    QSize size;
    const QImage shown = photos->requestPixmap(previewId, &size, QSize()).toImage().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(size, QSize(50, 20));
    for (const QPoint p : {QPoint(0, 0), QPoint(49, 19), QPoint(17, 11)}) {
        const uint8_t* pixel = frame->data() + p.y() * frame->line_size(0) + 3 * p.x();
        EXPECT_EQ(shown.pixel(p), qRgb(pixel[0], pixel[1], pixel[2])) << p.x() << "," << p.y();
    }
    log.clear();

    // Something else took the result's name meanwhile: it is left alone.
    QFile taken(vm->resultPath());
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("not a video");
    taken.close();
    producer().finished(kestrel::slideshow2::slideshow_produce::done);
    deliver();
    EXPECT_EQ(log, (QStringList{"state=0", "succeeded"}));
    EXPECT_EQ(producer().calls, (QStringList{"produce", "released"}));
    EXPECT_EQ(vm->resultPath(), QDir(folder.path()).absoluteFilePath("Trip (2).mp4"));
    EXPECT_EQ(filesInFolder(), (QStringList{".lumivista-unfinished-notes", "Trip (2).mp4", "Trip.mp4", "photo.jpg"}));
    EXPECT_EQ(taken.size(), 11);
    EXPECT_EQ(actions(), "100");
    EXPECT_EQ(vm->progress(), 0);  // no producer any more
    EXPECT_EQ(vm->photoId(), previewId);  // the last frame stays

    // The next start clears the old preview from the provider.
    vm->start();
    EXPECT_TRUE(photos->requestPixmap(previewId, &size, QSize()).isNull());
    EXPECT_EQ(vm->photoId(), firstSlide);
}

namespace {

struct ResultRow {
    int result;
    const char* reported;
};

void PrintTo(const ResultRow& row, std::ostream* out)
{
    *out << "result " << row.result << " reported as " << testing::PrintToString(std::string(row.reported));
}

class ConvertResults : public ConvertViewModelTest, public testing::WithParamInterface<ResultRow> {};

} // namespace

TEST_P(ConvertResults, FinishReportsItsResultAndOnlyAMadeVideoKeepsAFile)
{
    // A failure's file frees its room before the message is shown (a full
    // disk stays full while it is open otherwise).
    QStringList filesAtMessage{"no message"};
    QObject::connect(vm.get(), &ConvertViewModel::conversionFailed, [&] { filesAtMessage = filesInFolder(); });
    vm->start();
    log.clear();
    producer().finished(kestrel::slideshow2::slideshow_produce::Result(GetParam().result));
    deliver();
    if (GetParam().result > 1) {
        EXPECT_EQ(filesAtMessage, QStringList());
    }
    QStringList expected{"state=0"};
    if (*GetParam().reported)
        expected << QString::fromUtf8(GetParam().reported).arg(QFileInfo(folder.path()).absoluteFilePath());
    EXPECT_EQ(log, expected);
    EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
    EXPECT_EQ(filesInFolder(), GetParam().result == 0 ? QStringList{"Trip.mp4"} : QStringList());
}

INSTANTIATE_TEST_SUITE_P(Codes, ConvertResults,
                         testing::Values(ResultRow{0, "succeeded"}, ResultRow{1, ""},
                                         ResultRow{2, "failed=2 Can't find preset."},
                                         ResultRow{3, "failed=3 Audio encoder failed."},
                                         ResultRow{4, "failed=4 Video encoder failed."},
                                         ResultRow{5, "failed=5 Can't create output file.\n"
                                                      "The file could not be made in the folder \"%1\"."},
                                         ResultRow{6, "failed=6 Media muxer failed."},
                                         ResultRow{7, "failed=7 Unexpected error."},
                                         ResultRow{9, "failed=9 Unexpected error."}),
                         [](const testing::TestParamInfo<ResultRow>& info) {
                             return "Result" + std::to_string(info.param.result);
                         });

namespace {

class UnreadablePhotos : public ConvertViewModelTest, public testing::WithParamInterface<int> {};

} // namespace

// The photos the production could not read follow the good news, one line
// each with why, twenty at most; the video is kept.
TEST_P(UnreadablePhotos, TheGoodNewsNamesThemAndTheVideoIsKept)
{
    const int count = GetParam();
    vm->start();
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        const QString path = QString("/photos/trip %1.jpg").arg(i);
        const char* reason = i % 2 ? "not found" : "not a JPEG file (it is a PNG)";
        producer().unreadable.push_back({path.toStdString(), reason});
        if (i < 20)
            lines << path + ": " + reason;
    }
    if (count > 20)
        lines << QString("and %1 more").arg(count - 20);
    log.clear();
    producer().finished(kestrel::slideshow2::slideshow_produce::done);
    deliver();
    const QString expected =
        count == 0 ? QString("succeeded")
                   : "succeeded These photos could not be read; their slides are black in the video:\n\n" +
                         lines.join('\n');
    EXPECT_EQ(log, (QStringList{"state=0", expected}));
    EXPECT_EQ(filesInFolder(), QStringList{"Trip.mp4"});
}

INSTANTIATE_TEST_SUITE_P(Counts, UnreadablePhotos, testing::Values(0, 1, 20, 21, 26),
    [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "_unreadable"; });

TEST_F(ConvertViewModelTest, PauseResumeAndStopFollowTheStates)
{
    vm->pause();
    vm->stop();
    EXPECT_TRUE(log.isEmpty());

    vm->start();
    events.events.clear();
    log.clear();
    vm->pauseAction()->trigger();
    EXPECT_EQ(vm->state(), ConvertViewModel::PauseState);
    vm->start();  // neither converting nor paused starts again
    vm->pauseAction()->trigger();
    vm->start();
    EXPECT_EQ(events.events, QStringList());
    EXPECT_EQ(producers.size(), 1u);
    EXPECT_EQ(log, (QStringList{"state=1", "state=2"}));
    EXPECT_EQ(actions(), "011");

    // Stopped, the production is let go at once: its file goes with it.
    vm->stopAction()->trigger();
    EXPECT_EQ(producer().calls, (QStringList{"produce", "pause", "resume", "stop", "released"}));
    EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
    EXPECT_EQ(vm->remainingTime(), -1);
    EXPECT_EQ(actions(), "100");
    log.clear();

    // What the stopping production still sends changes nothing, and its
    // cancelled end is silent.
    producer().progress(80.0, kestrel::test::make_rgb_picture(8, 8, 1));
    producer().finished(kestrel::slideshow2::slideshow_produce::cancelled);
    deliver();
    EXPECT_TRUE(log.isEmpty()) << log.join(',').toStdString();
    EXPECT_EQ(producer().calls.last(), "released");
}

TEST_F(ConvertViewModelTest, NothingToProduceOrAFailingSetUpNeverLeavesTheStopState)
{
    show.record->slides = 0;
    events.events.clear();
    vm->start();
    EXPECT_TRUE(producers.empty());
    EXPECT_TRUE(events.events.isEmpty());

    show.record->slides = 3;
    vm->setProducerFactory([](auto&&...) -> kestrel::slideshow2::slideshow_produce_ptr {
        throw std::runtime_error("no producer today");
    });
    vm->start();
    EXPECT_EQ(log, QStringList{"failed=7 Unexpected error."});
    EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
    EXPECT_EQ(actions(), "100");
    EXPECT_TRUE(vm->photoId().isEmpty());
}

TEST_F(ConvertViewModelTest, ResultIsShownOrOpenedOnlyOnceAFileWasMade)
{
    QList<QPair<QUrl, ComponentModel::LaunchMode>> launched;
    const auto previous = ComponentModel::setUrlLauncher([&](const QUrl& url, ComponentModel::LaunchMode mode) {
        launched << qMakePair(url, mode);
        return true;
    });
    vm->showResult();
    vm->openResult();
    EXPECT_TRUE(launched.isEmpty());

    vm->start();
    producer().finished(kestrel::slideshow2::slideshow_produce::done);
    deliver();
    vm->showResult();
    vm->openResult();
    // Both are looked at off the window's thread, each in its own time.
    EXPECT_TRUE(qmltest::waitFor([&] { return launched.size() >= 2; }, 10000));
    ComponentModel::setUrlLauncher(previous);
    ASSERT_EQ(launched.size(), 2);
    if (launched[0].second == ComponentModel::LaunchMode::Open)
        std::swap(launched[0], launched[1]);
    EXPECT_EQ(launched[0].first.toLocalFile(), QFileInfo(vm->resultPath()).canonicalFilePath());
    EXPECT_EQ(launched[0].second, ComponentModel::LaunchMode::ShowInFolder);
    EXPECT_EQ(launched[1].second, ComponentModel::LaunchMode::Open);

    // A desktop with no program for them: the window says so, naming the video.
    QStringList notices;
    QObject::connect(vm.get(), &ConvertViewModel::conversionNotice, [&](QString text) { notices << text; });
    ComponentModel::setUrlLauncher([](const QUrl&, ComponentModel::LaunchMode) { return false; });
    vm->showResult();
    vm->openResult();
    EXPECT_TRUE(qmltest::waitFor([&] { return notices.size() >= 2; }, 10000));
    ComponentModel::setUrlLauncher(previous);
    notices.sort();
    EXPECT_EQ(notices, QStringList({"The desktop has no program to play \"" + vm->resultPath() + "\".",
                                    "The desktop has no program to show \"" + vm->resultPath() +
                                        "\" in its folder."}));
}

// The output folder moved, renamed or removed (and made again) while the
// video was made: the video is named where the folder is now, and that is
// where it is reported and shown; a folder that is gone keeps no hidden
// video, and one made again in its place is not taken for it.
TEST_F(ConvertViewModelTest, AFolderMovedDuringTheConversionGetsTheVideoWhereItIsNow)
{
    enum Fate { Moved, MovedAndNameTaken, Removed };
    const struct {
        Fate fate;
        const char* outcome;
        const char* resultName;
    } rows[] = {{Moved, "succeeded", "Trip.mp4"},
                {MovedAndNameTaken, "succeeded", "Trip (2).mp4"},
                {Removed,
                 "failed=5 Can't create output file.\nThe folder \"%1\" was removed while the video was made; if a "
                 "folder of that name is there again, make the video again. Otherwise choose another output folder in "
                 "the settings.",
                 "Trip.mp4"}};
    QList<QUrl> shown;
    const auto previous = ComponentModel::setUrlLauncher([&](const QUrl& url, ComponentModel::LaunchMode) {
        shown << url;
        return true;
    });
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fate);
        const QString out = folder.filePath(QString("out %1").arg(row.fate));
        const QString moved = folder.filePath(QString("moved %1").arg(row.fate));
        ASSERT_TRUE(QDir().mkpath(out));
        settings->setOutputFolder(out);
        vm->start();
        ASSERT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 1);
        if (row.fate == Removed) {
            ASSERT_TRUE(QDir(out).removeRecursively());
            ASSERT_TRUE(QDir().mkpath(out));
        } else {
            ASSERT_TRUE(QDir().rename(out, moved));
            ASSERT_TRUE(QDir().mkpath(out));  // a new folder where the old one was stays empty
        }
        if (row.fate == MovedAndNameTaken) {
            QFile taken(moved + "/Trip.mp4");
            ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
        }
        log.clear();
        producer().finished(kestrel::slideshow2::slideshow_produce::done);
        deliver();
        ASSERT_EQ(log.size(), 2);
        EXPECT_TRUE(log[1].startsWith(QString::fromUtf8(row.outcome).arg(out))) << log[1].toStdString();
        if (row.fate == Removed) {
            EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
            continue;
        }
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
        const QString result = QDir(QFileInfo(moved).canonicalFilePath()).absoluteFilePath(row.resultName);
        EXPECT_EQ(vm->resultPath(), result);
        EXPECT_TRUE(QFileInfo(result).isFile());
        shown.clear();
        vm->showResult();
        ASSERT_TRUE(qmltest::waitFor([&] { return !shown.isEmpty(); }, 10000));
        EXPECT_EQ(shown.last().toLocalFile(), QFileInfo(result).canonicalFilePath());
    }
    ComponentModel::setUrlLauncher(previous);
}

TEST_F(ConvertViewModelTest, MissingMoviesFolderIsMadeButAChosenFolderNever)
{
    const QString movies = SettingsViewModel::defaultOutputFolder();
    QDir(movies).removeRecursively();
    settings->setOutputFolder(movies);
    vm->start();
    EXPECT_TRUE(QFileInfo(movies).isDir());
    EXPECT_EQ(vm->resultPath(), QDir(movies).absoluteFilePath("Trip.mp4"));
    EXPECT_EQ(QFileInfo(QFileInfo(QString::fromStdString(producer().path)).canonicalFilePath()).absolutePath(),
              QFileInfo(movies).canonicalFilePath());
    vm->stop();
    log.clear();

    settings->setSlideshowName(" ?/:");  // nothing left of it but blanks
    const QString chosen = folder.filePath("not there");
    settings->setOutputFolder(chosen);
    vm->start();
    EXPECT_FALSE(QFileInfo::exists(chosen));
    EXPECT_EQ(vm->resultPath(), QDir(chosen).absoluteFilePath("My slideshow.mp4"));
    EXPECT_EQ(producers.size(), 1u);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith("failed=5 Can't create output file.\nThe folder \"" + chosen + "\" does not exist."))
        << log[0].toStdString();
    EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
}

namespace {

struct NameRow {
    const char* what;
    QString name;
    const char* refusal;  // empty: accepted
};

void PrintTo(const NameRow& row, std::ostream* out) { *out << row.what; }

class SlideshowNames : public ConvertViewModelTest, public testing::WithParamInterface<NameRow> {};

} // namespace

// A slideshow name that would make a hidden file, or one longer than the
// folder's file system takes with the extension and a number after it, is
// refused with why before anything is made.
TEST_P(SlideshowNames, ANameThatCannotNameTheVideoIsRefusedWithWhy)
{
    settings->setSlideshowName(GetParam().name);
    vm->start();
    const QString refusal = QString::fromUtf8(GetParam().refusal);
    if (refusal.isEmpty()) {
        EXPECT_EQ(producers.size(), 1u) << log.join('|').toStdString();
        return;
    }
    EXPECT_EQ(log, QStringList{"failed=5 Can't create output file.\n" + refusal});
    EXPECT_TRUE(producers.empty());
    EXPECT_EQ(filesInFolder(), QStringList());
    EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
}

// ".mp4" and " (9999)" leave 244 of the 255 bytes a name may have here.
INSTANTIATE_TEST_SUITE_P(
    Names, SlideshowNames,
    testing::Values(
        NameRow{"Dot", ".", "The slideshow name may not begin with a dot: the video would be a hidden file. "
                            "Choose another name in the settings."},
        NameRow{"DotDot", "..", "The slideshow name may not begin with a dot: the video would be a hidden file. "
                                "Choose another name in the settings."},
        NameRow{"Hidden", ".trip", "The slideshow name may not begin with a dot: the video would be a hidden file. "
                                   "Choose another name in the settings."},
        NameRow{"ClimbingOut", "../trip", "The slideshow name may not begin with a dot: the video would be a hidden "
                                          "file. Choose another name in the settings."},
        NameRow{"Nul", QString("tr") + QChar(0) + "ip",
                "The slideshow name holds a character that no file name may hold. Choose another name in the "
                "settings."},
        NameRow{"Longest", QString(244, 'a'), ""},
        NameRow{"TooLong", QString(290, 'a'), "The slideshow name is too long: a file name can hold 244 of its 290 "
                                              "characters. Choose a shorter name in the settings."},
        NameRow{"TooLongInTwoByteLetters", "a" + QString(150, QChar(0xE9)),
                "The slideshow name is too long: a file name can hold 122 of its 151 characters. Choose a shorter "
                "name in the settings."},
        NameRow{"SlashesAreCleaned", "a/b", ""}),
    [](const testing::TestParamInfo<NameRow>& info) { return std::string(info.param.what); });

// What a drive says when a video cannot be written there, in the user's
// words with the folder named (the folders a test can make are tried end to
// end with the real producer).
TEST(OutputFolderProblem, NamesTheFolderAndTheDrivesCause)
{
    const struct {
        int error;
        const char* cause;
    } drives[] = {{ENOSPC, "is full"},
                  {EDQUOT, "is full"},
                  {EROFS, "can only be read"},
                  {EACCES, "You may not write"},
                  {EFBIG, "larger than one file may be"},
                  {EIO, "failed: "}};
    for (const auto& drive : drives) {
        const QString text = ViewModel::outputFolderProblem(QStringLiteral("/media/usb/Videos"), drive.error);
        EXPECT_TRUE(text.contains("\"/media/usb/Videos\"")) << text.toStdString();
        EXPECT_TRUE(text.contains(drive.cause)) << text.toStdString();
    }
}

TEST_F(ConvertViewModelTest, DestroyingWhileConvertingStopsAndReleasesTheProducer)
{
    vm->start();
    const auto record = producers.back();
    vm.reset();
    EXPECT_EQ(record->calls, (QStringList{"produce", "stop", "released"}));
    EXPECT_EQ(filesInFolder(), QStringList()) << "the unfinished file stays";
    record->progress(50.0, kestrel::video_data_ptr());  // a late call posts nothing
    record->finished(kestrel::slideshow2::slideshow_produce::cancelled);
}

