// Whole conversions: photos and music through the storyboard, the settings,
// the convert view model, the renderer-backed slideshow and the engine's
// producer (a worker thread of its own) into real files, reopened with
// FFmpeg.

#include "ViewModelDoubles.h"
#include "ViewModelTesting.h"

#include "viewmodel/ConvertViewModel.h"

#include "componentmodel/ImageProvider.h"
#include "support/MediaProbe.h"
#include "support/MusicFiles.h"

#include "audio/DTAudioTrackFile.h"
#include "slideshow2/DTGilSlideshow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

using ViewModel::ConvertViewModel;
using ViewModel::SettingsViewModel;
using namespace ViewModelTest;

namespace {

// Three generated photos put on the storyboard of the renderer-backed
// slideshow, with a second of music.
class ConvertEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        clearSettingsStore();
        show = kestrel::slideshow2::create_gil_slideshow();
        storyboard = QSharedPointer<ViewModel::StoryboardViewModel>::create(show, photos);
        for (int i = 0; i < 3; ++i) {
            const std::string photo = folder.filePath(QString("photo %1.jpg").arg(i)).toStdString();
            viewmodeltest::writePhoto(photo);
            storyboard->addSlide(viewmodeltest::qtPath(photo));
        }
        ASSERT_TRUE(viewmodeltest::settled(*storyboard));
        ASSERT_EQ(show->count(), 3u);
        show->set_audio_track(
            kestrel::create_audio_track_file(kestrel::test::sample_tone_file("mp3"), nullptr, false));

        settings = QSharedPointer<SettingsViewModel>::create(show);
        // The smallest frames of all profiles: 480 x 360 at 4:3.
        settings->setFormat(SettingsViewModel::YouTubeFormat);
        settings->setQuality(SettingsViewModel::LowQuality);
        settings->setOutputFolder(folder.path());
        settings->setSlideshowName("Trip");
        useSlides(0.5);
        vm = std::make_unique<ConvertViewModel>(show, storyboard, settings, photos);
        QObject::connect(vm.get(), &ConvertViewModel::progressChanged, [this](int v) { progress << v; });
        QObject::connect(vm.get(), &ConvertViewModel::conversionSucceeded, [this](QString unreadable) {
            outcome = "succeeded";
            unreadablePhotos = unreadable;
        });
        QObject::connect(vm.get(), &ConvertViewModel::conversionFailed,
                         [this](int code, QString text) { outcome = QString("%1 %2").arg(code).arg(text); });
    }

    void useSlides(double seconds)
    {
        settings->setSlideDuration(seconds);
        settings->apply();
    }

    // The folder's files that are not the test's photos, hidden ones too.
    QStringList videosInFolder() const
    {
        QStringList videos = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        videos.removeIf([](const QString& name) { return name.endsWith(".jpg"); });
        return videos;
    }

    // Runs one conversion to its end; what the view model said.
    QString convert()
    {
        outcome.clear();
        progress.clear();
        vm->start();
        QElapsedTimer clock;
        clock.start();
        while (outcome.isEmpty() && clock.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return outcome;
    }

    QTemporaryDir folder;
    UsageEventRecorder events;
    kestrel::slideshow2::slideshow_ptr show;
    QSharedPointer<ComponentModel::ImageProvider> photos = QSharedPointer<ComponentModel::ImageProvider>::create();
    QSharedPointer<ViewModel::StoryboardViewModel> storyboard;
    QSharedPointer<SettingsViewModel> settings;
    QList<int> progress;
    QString outcome;
    QString unreadablePhotos;  // what the good news adds
    std::unique_ptr<ConvertViewModel> vm;
};

} // namespace

TEST_F(ConvertEndToEnd, AShowWithMusicBecomesAFileNumberedAfterTheLastOne)
{
    QFile earlier(folder.filePath("Trip.flv"));  // what the same name made before
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.close();
    ASSERT_EQ(convert(), "succeeded");
    EXPECT_EQ(vm->resultPath(), QDir(folder.path()).absoluteFilePath("Trip (2).flv"));
    EXPECT_EQ(earlier.size(), 0);
    EXPECT_GE(progress.size(), 2);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GT(progress.last(), 0);
    // The last frame encoded is shown in place of the first slide's photo.
    EXPECT_NE(vm->photoId(), viewmodeltest::slideAt(*storyboard, 0)->photoId());
    EXPECT_FALSE(photos->requestPixmap(vm->photoId(), nullptr, QSize()).isNull());

    const kestrel::test::media_probe probe = kestrel::test::probe_media_file(vm->resultPath().toStdString());
    ASSERT_NE(probe.first(0), nullptr);
    ASSERT_NE(probe.first(1), nullptr);
    EXPECT_EQ(probe.first(0)->codec, "h264");
    EXPECT_EQ(probe.first(0)->width, 480);
    EXPECT_EQ(probe.first(0)->height, 360);
    // The photos are seen, not only black, and the music is heard.
    const std::vector<double>& luma = probe.first(0)->mean_luma;
    ASSERT_FALSE(luma.empty());
    EXPECT_GT(*std::max_element(luma.begin(), luma.end()), 80.0);
    EXPECT_EQ(probe.first(1)->codec, "aac");
    const std::vector<double>& peaks = probe.first(1)->block_peaks;
    ASSERT_FALSE(peaks.empty());
    EXPECT_GT(*std::max_element(peaks.begin(), peaks.end()), 0.1);
}

TEST_F(ConvertEndToEnd, StoppingIsSilentAndLeavesNoFileBehind)
{
    settings->setFormat(SettingsViewModel::MacFormat);
    settings->setAspect(16.0 / 9.0);
    useSlides(20.0);  // a minute of show, stopped long before its end
    for (const bool waitForTheEnd : {true, false}) {
        vm->start();
        QElapsedTimer clock;
        clock.start();
        while (progress.isEmpty() && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // The file is written, under its temporary name only.
        ASSERT_EQ(videosInFolder().size(), 1);
        EXPECT_TRUE(videosInFolder()[0].startsWith(".lumivista-unfinished-"));
        vm->stopAction()->trigger();
        EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
        if (waitForTheEnd) {
            // The cancelled end arrives.
            clock.restart();
            while (!videosInFolder().isEmpty() && clock.elapsed() < 20000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        } else {
            vm.reset(); // the program ends: waits for the producer
        }
        EXPECT_TRUE(outcome.isEmpty()) << outcome.toStdString();
        EXPECT_EQ(videosInFolder(), QStringList());
        progress.clear();
    }
}

TEST_F(ConvertEndToEnd, RestartedWhileTheStoppedWorkerStillPostsOnlyTheNewOneCounts)
{
    useSlides(20.0);
    vm->start();
    QCoreApplication::processEvents();
    vm->stop();
    useSlides(0.5);
    EXPECT_EQ(vm->resultPath(), QDir(folder.path()).absoluteFilePath("Trip.flv"));
    EXPECT_EQ(convert(), "succeeded");  // the stopped one's end is turned away
    // The stopped one left nothing, so the name is still free.
    EXPECT_EQ(vm->resultPath(), QDir(folder.path()).absoluteFilePath("Trip.flv"));
    EXPECT_EQ(videosInFolder(), QStringList({"Trip.flv"}));
}

TEST_F(ConvertEndToEnd, FailuresGiveTheirCodeAndCauseLeaveNoFileAndTouchNoSettings)
{
    const QString missing = folder.filePath("not there");
    settings->setOutputFolder(missing);
    EXPECT_TRUE(convert().startsWith("5 Can't create output file.\nThe folder \"" + missing + "\" does not exist."))
        << outcome.toStdString();
    EXPECT_FALSE(QFileInfo::exists(missing));

    QFile plainFile(folder.filePath("a file"));
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    settings->setOutputFolder(plainFile.fileName());
    EXPECT_TRUE(convert().startsWith("5 Can't create output file.\n\"" + plainFile.fileName() + "\" is a file"))
        << outcome.toStdString();

    // The superuser writes into any folder, so only others can try this.
    if (geteuid() != 0) {
        QDir readOnly(folder.filePath("read only"));
        ASSERT_TRUE(readOnly.mkpath("."));
        QFile::setPermissions(readOnly.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        settings->setOutputFolder(readOnly.path());
        EXPECT_TRUE(convert().startsWith("5 Can't create output file.\nYou may not write into the folder \"" +
                                         readOnly.path() + "\""))
            << outcome.toStdString();
        EXPECT_TRUE(readOnly.entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
    EXPECT_EQ(videosInFolder(), QStringList({"a file"}));
    QFile::remove(plainFile.fileName());

    // A file that may not grow past a few hundred bytes, as on a full disk.
    settings->setOutputFolder(folder.path());
    struct rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit full = before;
    full.rlim_cur = 300;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    const QString result = convert();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(result, "6 Media muxer failed.\nThe video grew larger than one file may be in the folder \"" +
                          QFileInfo(folder.path()).absoluteFilePath() + "\". Choose an output folder on another "
                          "drive in the settings.");
    EXPECT_EQ(videosInFolder(), QStringList());
    EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
    EXPECT_EQ(settings->outputFolder(), folder.path());
    EXPECT_EQ(show->count(), 3u);
}

// A photo deleted after it was added and one cut short: the video is made
// all the same, with the first slide black and the other shown as far as
// it goes, and the good news names both photos and why.
TEST_F(ConvertEndToEnd, APhotoGoneOrCutShortSinceItWasAddedIsNamedAndTheVideoIsMade)
{
    const QString gone = folder.filePath("photo 1.jpg"), cut = folder.filePath("photo 2.jpg");
    ASSERT_TRUE(QFile::remove(gone));
    viewmodeltest::cutPhotoShort(cut.toStdString());
    ASSERT_EQ(convert(), "succeeded");
    EXPECT_EQ(unreadablePhotos, "These photos could not be read; their slides are black in the video:\n\n" + gone +
                                    ": not found\n\nThese photos are damaged; the video shows them only as far as "
                                    "they could be read:\n\n" +
                                    cut + ": cut short: the lower part is grey");
    EXPECT_EQ(videosInFolder(), QStringList{"Trip.flv"});
    const kestrel::test::media_probe probe = kestrel::test::probe_media_file(vm->resultPath().toStdString());
    ASSERT_NE(probe.first(0), nullptr);
    EXPECT_GT(probe.first(0)->decoded_frames, 0);

    // Put back, they are read again: nothing to tell.
    viewmodeltest::writePhoto(gone.toStdString());
    viewmodeltest::writePhoto(cut.toStdString());
    ASSERT_EQ(convert(), "succeeded");
    EXPECT_EQ(unreadablePhotos, "");
}

// Not one photo of the show could be read: no video, and the failure names
// each photo with why instead of good news.
TEST_F(ConvertEndToEnd, AShowOfWhichNotOnePhotoCouldBeReadFailsNamingThemAndLeavesNoVideo)
{
    QStringList named;
    for (int i = 0; i < 3; ++i) {
        const QString photo = folder.filePath(QString("photo %1.jpg").arg(i));
        ASSERT_TRUE(QFile::remove(photo));
        named << photo + ": not found";
    }
    EXPECT_EQ(convert(), "8 Not one photo of the slideshow could be read.\nThese photos could not be read:\n\n" +
                             named.join('\n'));
    EXPECT_EQ(videosInFolder(), QStringList());
}

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// One show made twice through the program's path: the second time a
// preview renders its first frame at a size of its own, again and again on
// a thread of its own, while the producer is made and gives the show the
// production's size. The video is the same, byte for byte, each time: no
// photo is drawn at the preview's scale.
TEST_F(ConvertEndToEnd, TheSameShowGivesTheSameVideoWhateverAPreviewRenderedMeanwhile)
{
    useSlides(1.0);
    // Larger than any frame here, so that each frame size decodes them anew.
    kestrel::test::jpeg_options large;
    large.width = 1200;
    large.height = 800;
    for (int i = 0; i < 3; ++i)
        kestrel::test::write_file(folder.filePath(QString("photo %1.jpg").arg(i)).toStdString(),
                                  kestrel::test::make_jpeg(large));
    ASSERT_EQ(convert(), "succeeded");
    const QString unreadAlone = unreadablePhotos;
    const QByteArray alone = bytesOf(vm->resultPath());
    ASSERT_FALSE(alone.isEmpty());

    vm->setProducerFactory([](const kestrel::slideshow2::slideshow_ptr& slideshow, const std::string& path,
                              const kestrel::media_settings_ptr& settings) {
        slideshow->apply_settings(kestrel::media_settings::create()->set("frame-height", "200"));
        std::atomic<bool> previewing{true};
        std::atomic<int> rendered{0};
        std::thread preview([&] {
            while (previewing) {
                slideshow->av_source()->seek(0.0);
                ++rendered;
            }
        });
        for (int waited = 0; rendered == 0 && waited < 10000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const kestrel::slideshow2::slideshow_produce_ptr producer =
            ConvertViewModel::createEngineProducer(slideshow, path, settings);
        previewing = false;
        preview.join();
        return producer;
    });
    // Whether the preview's render falls between the production's settings
    // is a matter of timing: several tries.
    for (int attempt = 0; attempt < 6; ++attempt) {
        ASSERT_EQ(convert(), "succeeded");
        // A photo left out (one that did not answer in time) blackens its
        // slide whatever the preview did: named, so as not to be taken for
        // the preview's doing.
        ASSERT_TRUE(bytesOf(vm->resultPath()) == alone)
            << "the video differs after " << attempt << " the same; photos not read: \""
            << unreadablePhotos.toStdString() << "\", alone: \"" << unreadAlone.toStdString() << "\"";
    }
}
