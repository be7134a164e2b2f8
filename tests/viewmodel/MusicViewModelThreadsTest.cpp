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
    kestrel::slideshow2::slideshow_ptr show = make_list_slideshow();
    kestrel::test::list_slideshow& list = list_of(show);

    QString tone(const std::string& name = "t\xc3\xb6ne \xe9\x9f\xb3.wav")
    {
        kestrel::test::write_file(dir.file(name), waveFile());
        return qtPath(dir.file(name));
    }
};

QString storedPath() { return QSettings().value("Music/filePath").toString(); }

bool loaded(const MusicViewModel& music)
{
    return qmltest::waitFor([&] { return !music.loading(); }, 20000);
}

void record(qmltest::SignalLog& log, MusicViewModel& music)
{
    log.record(&music, &MusicViewModel::filePathChanged, "filePath");
    log.record(&music, &MusicViewModel::fileNameChanged, "fileName");
    log.record(&music, &MusicViewModel::loadingChanged, "loading");
}

// Keeps the opens the view model starts; the test answers them from a
// thread of their own, as the real loader does.
struct HandLoader {
    std::shared_ptr<std::vector<kestrel::audio_track_callback>> opens =
        std::make_shared<std::vector<kestrel::audio_track_callback>>();

    MusicViewModel::Loader loader() const
    {
        return [opens = opens](const std::string&, const kestrel::audio_track_callback& done) {
            opens->push_back(done);
        };
    }
    void answer(std::size_t i, const kestrel::audio_track_ptr& track) const
    {
        std::thread([done = (*opens)[i], track] { done(track); }).join();
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
    EXPECT_FALSE(music->loading() || music->clearAction()->isEnabled() || !music->filePath().isEmpty());
    EXPECT_EQ(0, list.music_changes);

    qmltest::SignalLog log;
    record(log, *music);
    music->setFilePath(path);
    EXPECT_TRUE(music->clearAction()->isEnabled());
    EXPECT_FALSE(list.music);
    ASSERT_TRUE(loaded(*music));
    EXPECT_EQ((QStringList{"loading(true)", "filePath(" + path + ")", "fileName(" + QFileInfo(path).fileName() + ")",
                           "loading(false)"}),
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
    ASSERT_TRUE(loaded(*music));
    EXPECT_TRUE(list.music);

    log.clear();
    record(log, *music);
    music->clearAction()->trigger();
    EXPECT_EQ((QStringList{"filePath()", "fileName()"}), log.entries());
    EXPECT_FALSE(list.music || music->clearAction()->isEnabled());
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
    MusicViewModel music(show);
    for (const char* name : {"empty.mp3", "text.mp3", "video.avi", "missing.mp3", "fifo.mp3"}) {
        music.setFilePath(tone("good.wav"));
        ASSERT_TRUE(loaded(music) && list.music);
        qmltest::SignalLog log;
        record(log, music);
        music.setFilePath(qtPath(dir.file(name)));
        ASSERT_TRUE(loaded(music)) << name;
        EXPECT_EQ((QStringList{"loading(true)", "filePath(" + qtPath(dir.file(name)) + ")",
                               QString("fileName(%1)").arg(name), "filePath()", "fileName()", "loading(false)"}),
                  log.entries());
        EXPECT_FALSE(list.music || music.clearAction()->isEnabled()) << name;
        EXPECT_EQ(QString(), storedPath());
        EXPECT_EQ(1u, show->count());
    }
}

// Answers come in the order the loads end: only the latest choice counts,
// and none reaches a view model that is gone.
TEST_F(MusicFixture, OnlyTheLatestChoiceIsApplied)
{
    HandLoader hand;
    auto music = std::make_unique<MusicViewModel>(show, hand.loader());
    const kestrel::audio_track_ptr first = someTrack(), second = someTrack();
    music->setFilePath("/music/a.mp3");
    music->setFilePath("/music/b.mp3");
    hand.answer(1, second);
    ASSERT_TRUE(loaded(*music));
    EXPECT_EQ(second, list.music);

    qmltest::SignalLog log;
    record(log, *music);
    hand.answer(0, first); // a.mp3 was superseded
    QCoreApplication::processEvents();
    EXPECT_EQ(second, list.music);
    EXPECT_EQ("/music/b.mp3", music->filePath());
    EXPECT_TRUE(log.entries().isEmpty());

    music->setFilePath("/music/c.mp3");
    music->clear();
    log.clear();
    hand.answer(2, first); // cleared while opening: it only ends the loading
    ASSERT_TRUE(loaded(*music));
    EXPECT_EQ(QStringList{"loading(false)"}, log.entries());
    EXPECT_FALSE(list.music);

    music->setFilePath("/music/\xc3\xa9.mp3");
    music.reset();
    EXPECT_EQ("/music/\xc3\xa9.mp3", storedPath()) << "stored while it was opening";
    hand.answer(3, first);
    QCoreApplication::processEvents();
    EXPECT_FALSE(list.music);

    // A loader that cannot start counts as a file that did not open.
    MusicViewModel failing(show, [](const std::string&, const kestrel::audio_track_callback&) {
        throw std::runtime_error("no thread");
    });
    ASSERT_TRUE(loaded(failing));
    EXPECT_TRUE(failing.filePath().isEmpty());

    // The real loader's threads still reading when their view models go.
    for (int i = 0; i < 5; ++i)
        MusicViewModel(show).setFilePath(tone());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QCoreApplication::processEvents();
    EXPECT_FALSE(list.music);
}
