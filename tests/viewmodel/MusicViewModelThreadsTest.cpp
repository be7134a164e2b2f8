// The music view model with the real loader on generated files, and with
// a loader the test answers by hand: late, superseded and orphaned answers.

#include "ViewModelTesting.h"

#include "viewmodel/MusicViewModel.h"

#include "support/AudioSignalTrack.h"
#include "support/VideoPipeline.h"

#include <sys/stat.h>

#include <thread>

using namespace ViewModel;
using namespace viewmodeltest;

namespace {

struct MusicFixture : ::testing::Test {
    MusicFixture() { forgetLastRun(); }

    kestrel::test::TempDir dir;
    kestrel::slideshow2::slideshow_ptr show = makeSlideshow();
    ListSlideshow& list = listOf(show);

    QString tone(const std::string& name = "t\xc3\xb6ne \xe9\x9f\xb3.wav")
    {
        kestrel::test::write_file(dir.file(name), waveFile());
        return qtPath(dir.file(name));
    }

    static void record(qmltest::SignalLog& log, MusicViewModel& music)
    {
        log.record(&music, &MusicViewModel::filePathChanged, QStringLiteral("filePath"));
        log.record(&music, &MusicViewModel::fileNameChanged, QStringLiteral("fileName"));
        log.record(&music, &MusicViewModel::loadingChanged, QStringLiteral("loading"));
    }
};

QString storedPath() { return QSettings().value(QStringLiteral("Music/filePath")).toString(); }

bool loaded(const MusicViewModel& music)
{
    return qmltest::waitFor([&] { return !music.loading(); }, 20000);
}

// Keeps every open the view model starts; the test answers them.
struct HandLoader {
    struct Open {
        std::string path;
        kestrel::audio_track_callback done;
    };
    std::shared_ptr<std::vector<Open>> opens = std::make_shared<std::vector<Open>>();

    MusicViewModel::Loader loader() const
    {
        auto kept = opens;
        return [kept](const std::string& path, const kestrel::audio_track_callback& done) {
            kept->push_back({path, done});
        };
    }
    // Answers open i from a thread of its own, as the real loader does.
    void answer(std::size_t i, const kestrel::audio_track_ptr& track) const
    {
        std::thread([done = (*opens)[i].done, track] { done(track); }).join();
    }
};

kestrel::audio_track_ptr someTrack()
{
    const kestrel::audio_format_ptr format = kestrel::audio_format::create(44100, kestrel::sample_format_s16, 2);
    return boost::make_shared<kestrel::test::signal_track>(*format, kestrel::test::sine_tone(44100, 440.0), 1000.0);
}

} // namespace

TEST_F(MusicFixture, OpensRemembersAndRemovesTheMusic)
{
    const QString path = tone();
    auto music = std::make_unique<MusicViewModel>(show);
    EXPECT_TRUE(music->filePath().isEmpty());
    EXPECT_FALSE(music->loading() || music->clearAction()->isEnabled());
    EXPECT_EQ(0, list.music_changes);

    qmltest::SignalLog log;
    record(log, *music);
    music->setFilePath(path);
    EXPECT_TRUE(music->clearAction()->isEnabled());
    EXPECT_FALSE(list.music);
    ASSERT_TRUE(loaded(*music));
    const QString name = QFileInfo(path).fileName();
    EXPECT_EQ((QStringList{"loading(true)", "filePath(" + path + ")", "fileName(" + name + ")", "loading(false)"}),
              log.entries());
    ASSERT_TRUE(list.music);
    EXPECT_NEAR(500.0, list.music->duration(), 1.0);
    EXPECT_EQ(path, storedPath());

    log.clear();
    const int changes = list.music_changes;
    music->setFilePath(path);
    EXPECT_TRUE(log.entries().isEmpty());
    EXPECT_EQ(changes, list.music_changes);

    // The next start opens it again.
    music.reset();
    list.music.reset();
    music = std::make_unique<MusicViewModel>(show);
    EXPECT_EQ(path, music->filePath());
    EXPECT_TRUE(music->loading());
    ASSERT_TRUE(loaded(*music));
    EXPECT_TRUE(list.music);

    qmltest::SignalLog cleared;
    record(cleared, *music);
    music->clearAction()->trigger();
    EXPECT_EQ((QStringList{"filePath()", "fileName()"}), cleared.entries());
    EXPECT_FALSE(list.music);
    EXPECT_FALSE(music->clearAction()->isEnabled());
    EXPECT_EQ(path, storedPath()) << "a clear is stored when the view model goes";
    music.reset();
    EXPECT_EQ(QString(), storedPath());
}

// Whatever cannot be opened clears the path with the failure signals and
// leaves the slides alone.
TEST_F(MusicFixture, AFileThatCannotBeOpenedClearsThePath)
{
    kestrel::test::write_file(dir.file("empty.mp3"), "");
    kestrel::test::write_file(dir.file("text.mp3"), "ID3 but not really\n");
    kestrel::test::encode_video_file("ffmpeg/avi", dir.file("video.avi"), kestrel::test::video_settings("mpeg4", 64, 48),
                                     5);
    ASSERT_EQ(0, mkfifo(dir.file("fifo.mp3").c_str(), 0600));
    show->add_slide();
    auto music = std::make_unique<MusicViewModel>(show);
    for (const char* name : {"empty.mp3", "text.mp3", "video.avi", "missing.mp3", "fifo.mp3"}) {
        music->setFilePath(tone("good.wav"));
        ASSERT_TRUE(loaded(*music));
        ASSERT_TRUE(list.music);

        qmltest::SignalLog log;
        record(log, *music);
        music->setFilePath(qtPath(dir.file(name)));
        ASSERT_TRUE(loaded(*music)) << name;
        EXPECT_EQ((QStringList{"loading(true)", "filePath(" + qtPath(dir.file(name)) + ")",
                               "fileName(" + QString::fromUtf8(name) + ")", "filePath()", "fileName()",
                               "loading(false)"}),
                  log.entries())
            << name;
        EXPECT_FALSE(list.music) << name;
        EXPECT_TRUE(music->filePath().isEmpty());
        EXPECT_FALSE(music->clearAction()->isEnabled());
        EXPECT_EQ(QString(), storedPath());
        EXPECT_EQ(1u, show->count());
    }
}

// Answers come in the order the loads end: only the latest choice's counts.
TEST_F(MusicFixture, OnlyTheLatestChoiceIsApplied)
{
    HandLoader hand;
    auto music = std::make_unique<MusicViewModel>(show, hand.loader());
    const kestrel::audio_track_ptr first = someTrack(), second = someTrack();

    music->setFilePath(QStringLiteral("/music/a.mp3"));
    music->setFilePath(QStringLiteral("/music/b.mp3"));
    ASSERT_EQ(2u, hand.opens->size());
    EXPECT_EQ("/music/b.mp3", (*hand.opens)[1].path);
    hand.answer(1, second);
    ASSERT_TRUE(loaded(*music));
    EXPECT_EQ(second, list.music);

    qmltest::SignalLog log;
    record(log, *music);
    hand.answer(0, first); // a.mp3 was superseded
    QCoreApplication::processEvents();
    EXPECT_EQ(second, list.music);
    EXPECT_EQ(QStringLiteral("/music/b.mp3"), music->filePath());
    EXPECT_TRUE(log.entries().isEmpty());

    // Cleared while opening: the late answer only ends the loading.
    music->setFilePath(QStringLiteral("/music/c.mp3"));
    music->clear();
    log.clear();
    hand.answer(2, first);
    ASSERT_TRUE(loaded(*music));
    EXPECT_EQ(QStringList{"loading(false)"}, log.entries());
    EXPECT_FALSE(list.music);

    // A loader that cannot start counts as a file that did not open.
    auto failing = std::make_unique<MusicViewModel>(
        show, [](const std::string&, const kestrel::audio_track_callback&) { throw std::runtime_error("no thread"); });
    failing->setFilePath(QStringLiteral("/music/d.mp3"));
    ASSERT_TRUE(loaded(*failing));
    EXPECT_TRUE(failing->filePath().isEmpty());
}

TEST_F(MusicFixture, AnAnswerAfterTheViewModelWentReachesNothing)
{
    HandLoader hand;
    auto music = std::make_unique<MusicViewModel>(show, hand.loader());
    music->setFilePath(QStringLiteral("/music/\xc3\xa9.mp3"));
    music.reset();
    EXPECT_EQ(QStringLiteral("/music/\xc3\xa9.mp3"), storedPath()) << "stored while it was opening";
    hand.answer(0, someTrack());
    QCoreApplication::processEvents();
    EXPECT_FALSE(list.music);

    // The real loader, its thread still reading when the view model goes.
    for (int i = 0; i < 5; ++i) {
        MusicViewModel real(show);
        real.setFilePath(tone());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QCoreApplication::processEvents();
    EXPECT_FALSE(list.music);
}
