// Whole conversions: a show with music through the settings, the convert
// view model and the engine's producer (a worker thread of its own) into
// real files, reopened with FFmpeg.

#include "ViewModelDoubles.h"

#include "viewmodel/ConvertViewModel.h"

#include "componentmodel/ImageProvider.h"
#include "support/MediaProbe.h"
#include "support/MusicFiles.h"
#include "support/ShowStandIn.h"

#include "DTAudioTrackFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <memory>

using ViewModel::ConvertViewModel;
using ViewModel::SettingsViewModel;
using namespace ViewModelTest;

namespace {

// Three slides and a second of music.
class ConvertEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        clearSettingsStore();
        useShow(1500.0);
        settings = QSharedPointer<SettingsViewModel>::create(show.show);
        settings->setSlideDuration(0.5);
        settings->setFormat(SettingsViewModel::MacFormat);
        settings->setQuality(SettingsViewModel::LowQuality);
        settings->setOutputFolder(folder.path());
        settings->setSlideshowName("Trip");
        settings->apply();
        vm = std::make_unique<ConvertViewModel>(show.show, QSharedPointer<ViewModel::StoryboardViewModel>(), settings,
                                                QSharedPointer<ComponentModel::ImageProvider>::create());
        QObject::connect(vm.get(), &ConvertViewModel::progressChanged, [this](int v) { progress << v; });
        QObject::connect(vm.get(), &ConvertViewModel::conversionSucceeded, [this] { outcome = "succeeded"; });
        QObject::connect(vm.get(), &ConvertViewModel::conversionFailed,
                         [this](int code, QString text) { outcome = QString("%1 %2").arg(code).arg(text); });
    }

    void useShow(double durationMs)
    {
        kestrel::test::show_stand_in_options options;
        options.duration_ms = durationMs;
        options.music =
            kestrel::create_audio_track_file(kestrel::test::sample_tone_file("mp3"), nullptr, false);
        standIn = std::make_unique<kestrel::test::show_stand_in>(options);
        show.record->slides = 3;
        show.record->source = standIn->source();
        show.record->buffering = standIn->buffering_switch();
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
    ShowDouble show;
    std::unique_ptr<kestrel::test::show_stand_in> standIn;
    QSharedPointer<SettingsViewModel> settings;
    QList<int> progress;
    QString outcome;
    std::unique_ptr<ConvertViewModel> vm;
};

} // namespace

TEST_F(ConvertEndToEnd, AShowWithMusicBecomesAFileAndTheNextOneIsNumbered)
{
    ASSERT_EQ(convert(), "succeeded");
    EXPECT_EQ(vm->resultPath(), QDir(folder.path()).absoluteFilePath("Trip.mp4"));
    EXPECT_GE(progress.size(), 2);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GT(progress.last(), 0);
    EXPECT_FALSE(vm->photoId().isEmpty());  // the last frame encoded

    const kestrel::test::media_probe probe = kestrel::test::probe_media_file(vm->resultPath().toStdString());
    ASSERT_NE(probe.first(0), nullptr);
    ASSERT_NE(probe.first(1), nullptr);
    EXPECT_EQ(probe.first(0)->codec, "h264");
    EXPECT_EQ(probe.first(0)->height, 480);
    EXPECT_EQ(probe.first(1)->codec, "aac");
    EXPECT_GT(probe.first(1)->decoded_samples, 0);

    ASSERT_EQ(convert(), "succeeded");
    EXPECT_EQ(vm->resultPath(), QDir(folder.path()).absoluteFilePath("Trip (2).mp4"));
    EXPECT_TRUE(QFileInfo(vm->resultPath()).size() > 0);
}

TEST_F(ConvertEndToEnd, StoppingIsSilentAndLeavesAClosedFile)
{
    useShow(60000.0);  // stopped long before its end
    vm->start();
    QElapsedTimer clock;
    clock.start();
    // Past the encoder's look-ahead, so that pictures reach the file.
    while ((progress.isEmpty() || progress.last() < 4) && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    vm->stopAction()->trigger();
    EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
    const QString path = vm->resultPath();
    clock.restart();
    while (clock.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    vm.reset();  // waits for the producer
    EXPECT_TRUE(outcome.isEmpty()) << outcome.toStdString();
    const kestrel::test::media_probe probe = kestrel::test::probe_media_file(path.toStdString());
    ASSERT_NE(probe.first(0), nullptr);
    EXPECT_GT(probe.first(0)->decoded_frames, 0);
}

TEST_F(ConvertEndToEnd, RestartedWhileTheStoppedWorkerStillPostsOnlyTheNewOneCounts)
{
    useShow(60000.0);
    vm->start();
    QCoreApplication::processEvents();
    vm->stop();
    useShow(1500.0);
    const QString stoppedPath = vm->resultPath();
    EXPECT_EQ(convert(), "succeeded");  // the stopped one's end is turned away
    EXPECT_NE(vm->resultPath(), stoppedPath);
}

TEST_F(ConvertEndToEnd, FailuresGiveTheirCodeAndTextAndTouchNoSettings)
{
    settings->setOutputFolder(folder.filePath("not there"));
    EXPECT_EQ(convert(), "5 Can't create output file.");
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("not there")));

    QFile plainFile(folder.filePath("a file"));
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    settings->setOutputFolder(plainFile.fileName());
    EXPECT_EQ(convert(), "5 Can't create output file.");

    // A full disk: no file may grow past a few hundred bytes.
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
    EXPECT_EQ(result, "6 Media muxer failed.");
    EXPECT_EQ(vm->state(), ConvertViewModel::StopState);
    EXPECT_EQ(settings->outputFolder(), folder.path());
    EXPECT_EQ(show.record->slides, 3u);
}
