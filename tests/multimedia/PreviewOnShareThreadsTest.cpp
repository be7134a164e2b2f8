// The preview of a show whose sixteen photos and music lie on a share that
// hangs, run as its window runs it: the real player with its timers, a
// sound card whose clock runs in real time, the window's thread beating
// every 100 ms. Playing, paused and sought, closed and ended while the
// share hangs, the window's thread is never held; the preview plays on
// without its sound, and the sound comes back soon after the share answers,
// at the pictures' time.

#include "multimedia/RealTimeCard.h"

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"
#include "support-qt/WindowHeartbeat.h"

#include "audio/DTAudioTrackFile.h"
#include "media/DTMediaSettings.h"
#include "slideshow2/DTGilSlideshow.h"
#include "support/HangingShare.h"
#include "support/MusicFiles.h"
#include "support/OpenedSlides.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Multimedia::Player;
using Multimedia::VideoPlayer;

namespace {

const int slides = 16;
const int heartbeatMs = 100;
// How long the window's thread may stand still, held in a wait: far below
// the seconds the share hangs here.
const qint64 holdBound = 450;
const int hangMs = 3500;
// Longer than the pictures read ahead (seven, 280 ms): the next picture
// then lies past what is at hand.
const int slowPaintMs = 300;
// How late the sound may come back after the share answers, and how far
// from the pictures' time it may then be.
const qint64 soundBackBound = 1000;
const double soundGapBound = 500.0;
const int waitBound = 15000;

std::string writePhoto(const std::string& path, int index)
{
    kestrel::test::jpeg_options options;
    options.width = 320;
    options.height = 180;
    const uint8_t shade = static_cast<uint8_t>(12 * index + 30);
    kestrel::test::write_file(path, kestrel::test::make_jpeg(options, [&](int, uint8_t* row) {
        std::fill(row, row + 3 * options.width, shade);
    }));
    return path;
}

// The window's thread, with the sound card's callbacks in real time: how
// long it stood still at most (held in a wait, not slowed by busy cores or a
// sanitizer: WindowHeartbeat), and what sound it played.
class Window : public Multimedia::test::RealTimeCard {
public:
    Window(VideoPlayer& player, Multimedia::test::FakeSoundCard& card) : RealTimeCard(player, card)
    {
        sinceStart_.start();
        QObject::connect(&beat_, &QTimer::timeout, [this] { lastBeat_ = sinceStart_.elapsed(); });
        // A window that paints slowly now and then falls pictures behind.
        QObject::connect(&slowPaint_, &QTimer::timeout, [] {
            QElapsedTimer painted;
            painted.start();
            while (painted.elapsed() < slowPaintMs) {
            }
        });
        beat_.start(heartbeatMs);
        heartbeat_.arm(QStringLiteral("the preview on a share that hangs"));
    }

    void paintSlowly(bool slowly)
    {
        if (slowly)
            slowPaint_.start(slowPaintMs + 100);
        else
            slowPaint_.stop();
    }
    // The longest the window's thread stood still since the last look (the
    // heartbeat writes where it stood to standard error).
    qint64 takeLongestHeld()
    {
        const qint64 held = heartbeat_.longestStall();
        heartbeat_.arm(QStringLiteral("the preview on a share that hangs"));
        return held;
    }
    qint64 sinceLastBeat() const { return sinceStart_.elapsed() - lastBeat_.load(); }

private:
    QElapsedTimer sinceStart_;
    QTimer beat_;
    QTimer slowPaint_;
    std::atomic<qint64> lastBeat_{0};
    WindowHeartbeat heartbeat_;
};

} // namespace

TEST(PreviewOnShare, TheWindowIsNeverHeldAndTheSoundComesBackAtThePicturesTime)
{
    kestrel::test::TempDir dir;
    const std::string served = dir.file("served"), mounted = dir.file("share");
    ASSERT_EQ(0, ::mkdir(served.c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
    std::vector<std::string> photos;
    for (int i = 0; i < slides; ++i) {
        const std::string name = "/photo-" + std::to_string(i) + ".jpg";
        writePhoto(served + name, i);
        photos.push_back(mounted + name);
    }
    kestrel::test::make_clock_file(served + "/clock.wav", 40.0);
    kestrel::test::hanging_share share(served, mounted);
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();

    // Short slides (each hang meets a photo not yet read), small pictures, the music looping as the
    // program's does.
    kestrel::slideshow2::slideshow_ptr show = kestrel::slideshow2::create_gil_slideshow();
    show->apply_settings(kestrel::media_settings::create()
                             ->set("slide-duration", "1.2")
                             ->set("transition-duration", "0.4")
                             ->set("align-to-audio", "0")
                             ->set("frame-height", "180"));
    ASSERT_EQ(std::size_t(slides), kestrel::test::open_slides(*show->impl(), photos));
    show->set_audio_track(kestrel::create_audio_track_file(mounted + "/clock.wav", nullptr, true));

    Multimedia::test::FakeSoundCard card;
    Multimedia::VideoSurface surface;
    auto player = std::make_unique<VideoPlayer>();
    player->setSurface(&surface);
    Window window(*player, card);
    // As the preview's window opens and closes it (ViewModel::PlayerViewModel).
    const auto open = [&] {
        show->apply_settings(kestrel::media_settings::create<double>("video-frame-rate", 25.0));
        show->set_buffered(true);
        Multimedia::seekWaitingAtMost(*show->av_source(), 0.0);
        player->setSource(show->av_source());
    };
    const auto close = [&] {
        player->pause();
        player->setTime(0);
        player->setSource(kestrel::av_source_ptr());
        show->set_buffered(false);
    };

    // Should the window's thread wait for the share after all, the share
    // answers after a while, so that the test fails rather than hangs.
    const kestrel::test::answer_when_held watchdog(share, [&] { return window.sinceLastBeat() > 5000; });

    open();
    player->play();
    ASSERT_EQ(Player::PlayState, player->state());
    ASSERT_TRUE(window.run([&] { return window.heardAt() >= 0 && player->time() > 1000; }, waitBound))
        << "no music heard";
    EXPECT_LT(window.worstGapMs(), 100.0) << "the music does not keep to the clock";

    // Playing: the pictures ahead and the music wait for the share, again
    // and again (the pictures at hand and those asked for run out at
    // different moments each time); the preview plays on without its
    // sound, which comes back at the pictures' time once the share answers.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        window.takeLongestHeld();
        // What the kernel keeps of the music would answer for the share.
        kestrel::test::forget_cached_pages(mounted + "/clock.wav");
        share.hang("all");
        const qint64 hungAt = player->time();
        window.paintSlowly(true);
        window.linger(hangMs);
        window.paintSlowly(false);
        EXPECT_LT(window.takeLongestHeld(), holdBound) << "playing, the window waited for the share";
        EXPECT_FALSE(player->soundAnswers());
        EXPECT_EQ(Player::PlayState, player->state());
        EXPECT_GT(player->time(), hungAt + hangMs / 2) << "the clock stopped with the share";

        window.forgetSound();
        const qint64 answeredAt = window.now();
        share.answer();
        ASSERT_TRUE(window.run([&] { return window.heardAt() >= 0; }, waitBound)) << "the sound never came back";
        EXPECT_LT(window.heardAt() - answeredAt, soundBackBound) << "the sound came back late";
        window.linger(400);
        EXPECT_LT(window.worstGapMs(), soundGapBound) << "the sound came back away from the pictures' time";
        EXPECT_TRUE(player->soundAnswers());
        EXPECT_EQ(Player::PlayState, player->state());
        EXPECT_EQ(paContinue, window.streamEnded()) << "the sound ended";
    }

    // Paused, six seeks on the seek bar while the share hangs.
    player->pause();
    window.linger(300);
    window.takeLongestHeld();
    share.hang("all");
    for (int i = 0; i < 6; ++i) {
        player->setTime(1000 + 2000 * i);
        window.linger(400);
    }
    EXPECT_LT(window.takeLongestHeld(), holdBound) << "seeking, the window waited for the share";
    EXPECT_EQ(Player::PauseState, player->state());
    EXPECT_EQ(11000, player->time());

    // Closed while the share hangs.
    close();
    window.linger(500);
    EXPECT_LT(window.takeLongestHeld(), holdBound) << "closing, the window waited for the share";

    // Opened again and playing, then the program ends while the share hangs.
    share.answer();
    open();
    player->play();
    ASSERT_TRUE(window.run([&] { return player->time() > 1000; }, waitBound));
    window.takeLongestHeld();
    share.hang("all");
    window.linger(700);
    player.reset();
    show.reset();
    EXPECT_LT(window.takeLongestHeld(), holdBound) << "ending, the window waited for the share";
    share.answer();
}
