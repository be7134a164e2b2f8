// The music view model with the real loader on generated files, and with
// a loader the test answers by hand: late, superseded and orphaned answers.

#include "ViewModelTesting.h"

#include "viewmodel/MusicViewModel.h"

#include "support/AudioSignalTrack.h"
#include "support/VideoPipeline.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <thread>

using namespace ViewModel;
using namespace viewmodeltest;

namespace {

struct MusicFixture : ::testing::Test {
    MusicFixture()
    {
        forgetLastRun();
        // The show lasts as long as its music, so its sound tells the music.
        show->apply_settings(kestrel::media_settings::create("align-to-audio", "1"));
    }

    // The length of the show's music in ms; 0 without music (the show's
    // sound is then silence without end).
    double musicLength() const
    {
        const double length = show->av_source()->audio()->duration();
        return length < 1e300 ? length : 0.0;
    }

    kestrel::test::TempDir dir;
    kestrel::slideshow2::slideshow_ptr show = create_gil_slideshow();

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
    std::shared_ptr<std::vector<kestrel::audio_track_answer>> opens =
        std::make_shared<std::vector<kestrel::audio_track_answer>>();

    MusicViewModel::Loader loader() const
    {
        return [opens = opens](const std::string&, const kestrel::audio_track_answer& done) {
            opens->push_back(done);
        };
    }
    // Whether `count` opens have been asked for: the loader is asked
    // once the look at the path has answered.
    bool asked(std::size_t count) const
    {
        return qmltest::waitFor([&] { return opens->size() >= count; }, 20000);
    }
    void answer(std::size_t i, const kestrel::audio_track_ptr& track) const
    {
        std::thread([done = (*opens)[i], track] { done(track, kestrel::refused_file{kestrel::file_refusal::none, track ? "" : "not found"}); }).join();
    }
};

// A second of tone, or `seconds`: tracks of other lengths tell each other apart.
kestrel::audio_track_ptr someTrack(double seconds = 1.0)
{
    const kestrel::audio_format_ptr format = kestrel::audio_format::create(44100, kestrel::sample_format_s16, 2);
    return boost::make_shared<kestrel::test::signal_track>(*format, kestrel::test::sine_tone(44100, 440.0),
                                                            seconds * 1000.0);
}

} // namespace

TEST_F(MusicFixture, OpensRemembersAndRemovesTheMusic)
{
    const QString path = tone();
    auto music = std::make_unique<MusicViewModel>(show);
    EXPECT_FALSE(music->loading() || music->clearAction()->isEnabled() || !music->filePath().isEmpty());
    EXPECT_EQ(0.0, musicLength());

    qmltest::SignalLog log;
    record(log, *music);
    music->setFilePath(path);
    EXPECT_TRUE(music->clearAction()->isEnabled());
    EXPECT_EQ(0.0, musicLength());
    ASSERT_TRUE(loaded(*music));
    EXPECT_EQ((QStringList{"loading(true)", "filePath(" + path + ")", "fileName(" + QFileInfo(path).fileName() + ")",
                           "loading(false)"}),
              log.entries());
    EXPECT_NEAR(500.0, musicLength(), 1.0);
    EXPECT_EQ(path, storedPath());

    log.clear();
    music->setFilePath(path); // the same file: nothing opens again
    EXPECT_TRUE(log.entries().isEmpty());

    // The next start opens it again.
    music.reset();
    show->set_audio_track(kestrel::audio_track_ptr());
    music = std::make_unique<MusicViewModel>(show);
    EXPECT_EQ(path, music->filePath());
    ASSERT_TRUE(loaded(*music));
    EXPECT_NEAR(500.0, musicLength(), 1.0);

    log.clear();
    record(log, *music);
    music->clearAction()->trigger();
    EXPECT_EQ((QStringList{"filePath()", "fileName()"}), log.entries());
    EXPECT_FALSE(musicLength() > 0 || music->clearAction()->isEnabled());
    EXPECT_EQ(path, storedPath()) << "a clear is stored when the view model goes";
    music.reset();
    EXPECT_EQ(QString(), storedPath());
}

// Whatever cannot be opened leaves the music chosen before playing and
// its path shown and stored, says which file and why, and leaves the
// slides alone; without earlier music the path is cleared.
TEST_F(MusicFixture, AFileThatCannotBeOpenedKeepsTheEarlierMusicAndSaysWhy)
{
    kestrel::test::write_file(dir.file("empty.mp3"), "");
    kestrel::test::write_file(dir.file("text.mp3"), "ID3 but not really\n");
    kestrel::test::encode_video_file("ffmpeg/avi", dir.file("video.avi"), kestrel::test::video_settings("mpeg4", 64, 48),
                                     5);
    ASSERT_EQ(0, mkfifo(dir.file("fifo.mp3").c_str(), 0600));
    show->add_slide();
    MusicViewModel music(show);
    QStringList messages;
    QObject::connect(&music, &MusicViewModel::openFailed, [&](const QString& message) { messages << message; });
    const QString good = tone("good.wav");
    music.setFilePath(good);
    ASSERT_TRUE(loaded(music) && musicLength() > 0);
    const std::pair<const char*, const char*> cases[] = {
        {"empty.mp3", "empty file"},       {"text.mp3", "not a sound file that can be read"},
        {"video.avi", "no sound in it"},   {"missing.mp3", "not found"},
        {"fifo.mp3", "not a regular file: a named pipe"},
    };
    for (const auto& [name, reason] : cases) {
        qmltest::SignalLog log;
        record(log, music);
        messages.clear();
        const QString path = qtPath(dir.file(name));
        music.setFilePath(path);
        ASSERT_TRUE(loaded(music)) << name;
        EXPECT_EQ((QStringList{"loading(true)", "filePath(" + path + ")", QString("fileName(%1)").arg(name),
                               "filePath(" + good + ")", "fileName(good.wav)", "loading(false)"}),
                  log.entries());
        EXPECT_NEAR(500.0, musicLength(), 1.0) << name;
        EXPECT_TRUE(music.clearAction()->isEnabled()) << name;
        EXPECT_EQ(good, storedPath());
        ASSERT_EQ(1, messages.size()) << name;
        EXPECT_TRUE(messages[0].contains(path + "\" could not be opened: " + reason)) << messages[0].toStdString();
        EXPECT_EQ(1u, show->count());
    }

    music.clear();
    messages.clear();
    music.setFilePath(qtPath(dir.file("empty.mp3")));
    ASSERT_TRUE(loaded(music));
    EXPECT_EQ(QString(), music.filePath());
    EXPECT_FALSE(musicLength() > 0 || music.clearAction()->isEnabled());
    EXPECT_EQ(QString(), storedPath());
    EXPECT_EQ(1, messages.size());
}

// Answers come in the order the loads end: only the latest choice counts,
// and none reaches a view model that is gone.
TEST_F(MusicFixture, OnlyTheLatestChoiceIsApplied)
{
    HandLoader hand;
    auto music = std::make_unique<MusicViewModel>(show, hand.loader());
    const kestrel::audio_track_ptr first = someTrack(1.0), second = someTrack(2.0);
    music->setFilePath("/music/a.mp3");
    ASSERT_TRUE(hand.asked(1));
    music->setFilePath("/music/b.mp3");
    ASSERT_TRUE(hand.asked(2));
    hand.answer(1, second);
    ASSERT_TRUE(loaded(*music));
    EXPECT_EQ(2000.0, musicLength());

    qmltest::SignalLog log;
    record(log, *music);
    hand.answer(0, first); // a.mp3 was superseded
    QCoreApplication::processEvents();
    EXPECT_EQ(2000.0, musicLength());
    EXPECT_EQ("/music/b.mp3", music->filePath());
    EXPECT_TRUE(log.entries().isEmpty());

    music->setFilePath("/music/c.mp3");
    ASSERT_TRUE(hand.asked(3));
    music->clear();
    log.clear();
    hand.answer(2, first); // cleared while opening: it only ends the loading
    ASSERT_TRUE(loaded(*music));
    EXPECT_EQ(QStringList{"loading(false)"}, log.entries());
    EXPECT_EQ(0.0, musicLength());

    music->setFilePath("/music/\xc3\xa9.mp3");
    ASSERT_TRUE(hand.asked(4));
    music.reset();
    EXPECT_EQ("/music/\xc3\xa9.mp3", storedPath()) << "stored while it was opening";
    hand.answer(3, first);
    QCoreApplication::processEvents();
    EXPECT_EQ(0.0, musicLength());

    // A loader that cannot start counts as a file that did not open.
    MusicViewModel failing(show, [](const std::string&, const kestrel::audio_track_answer&) {
        throw std::runtime_error("no thread");
    });
    ASSERT_TRUE(loaded(failing));
    EXPECT_TRUE(failing.filePath().isEmpty());

    // The real loader's threads still reading when their view models go.
    for (int i = 0; i < 5; ++i)
        MusicViewModel(show).setFilePath(tone());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QCoreApplication::processEvents();
    EXPECT_EQ(0.0, musicLength());
}

// The stored music on a disk that is away at start (its folder renamed):
// no music and a message that it stays chosen; its path stays stored, and
// the music is back at the next start where it opens, until other music
// opens or the music is removed.
TEST_F(MusicFixture, StoredMusicAwayAtStartStaysUntilReplaced)
{
    namespace fs = std::filesystem;
    fs::create_directories(dir.file("disk"));
    const QString path = tone("disk/song.wav"), other = tone("other.wav");
    QStringList messages;
    const auto startAway = [&](const std::function<void(MusicViewModel&)>& choose) {
        QSettings().setValue("Music/filePath", path);
        fs::rename(dir.file("disk"), dir.file("disk-away"));
        {
            MusicViewModel music(show);
            QObject::connect(&music, &MusicViewModel::openFailed, [&](const QString& m) { messages << m; });
            EXPECT_TRUE(loaded(music));
            choose(music);
            EXPECT_TRUE(loaded(music));
        }
        fs::rename(dir.file("disk-away"), dir.file("disk"));
    };
    startAway([&](MusicViewModel& music) {
        EXPECT_EQ(QString(), music.filePath());
        EXPECT_EQ(0.0, musicLength());
        EXPECT_TRUE(music.clearAction()->isEnabled()) << "it can be removed";
    });
    EXPECT_EQ(messages, QStringList{"The music \"" + path +
                                    "\" could not be opened: not found.\nIt stays chosen for when it is back."});
    EXPECT_EQ(path, storedPath());
    {
        MusicViewModel music(show);
        ASSERT_TRUE(loaded(music));
        EXPECT_NEAR(500.0, musicLength(), 1.0);
    }
    startAway([&](MusicViewModel& music) { music.setFilePath(qtPath(dir.file("missing.wav"))); });
    EXPECT_EQ(path, storedPath()) << "a choice that does not open";
    startAway([&](MusicViewModel& music) { music.setFilePath(other); });
    EXPECT_EQ(other, storedPath());
    startAway([&](MusicViewModel& music) { music.clearAction()->trigger(); });
    EXPECT_EQ(QString(), storedPath());
}
