// Real playback through PortAudio: against a JACK dummy server that the test
// starts (it consumes sound in real time, as a device would), and on a
// machine without any sound device.

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"

#include "support/JackDummyServer.h"
#include "support/SyntheticShow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

using Multimedia::Player;
using Multimedia::VideoPlayer;
using Multimedia::VideoSurface;
using kestrel::test::jack_dummy_server;
using kestrel::test::make_synthetic_show;
using kestrel::test::show_spec;
using kestrel::test::synthetic_show;

namespace {

// Runs the event loop until the player completes or `ms` have passed.
bool waitForCompletion(VideoPlayer& player, int ms)
{
    QEventLoop loop;
    bool completed = false;
    QObject::connect(&player, &VideoPlayer::completed, &loop, [&] {
        completed = true;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return completed;
}

void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

TEST(Playback, PlaysAShowInRealTimeThroughJackAndAgainAfterItsEnd)
{
    jack_dummy_server server;
    VideoPlayer player;
    VideoSurface surface;
    player.setSurface(&surface);
    show_spec spec;
    spec.duration_ms = 1000.0;
    spec.read_ahead = true;
    synthetic_show* show = nullptr;
    player.setSource(make_synthetic_show(spec, &show));
    ASSERT_EQ(Player::PauseState, player.state()) << "PortAudio did not find " << server.name();
    ASSERT_EQ(1000, player.maxTime());

    std::vector<qint64> ticks;
    QObject::connect(&player, &VideoPlayer::timeChanged, [&](qint64 value, bool isDeep) {
        if (!isDeep)
            ticks.push_back(value);
    });
    int completions = 0;
    QObject::connect(&player, &VideoPlayer::completed, [&] { ++completions; });

    // The volume changes on the GUI thread while the sound thread filters.
    QTimer fader;
    QObject::connect(&fader, &QTimer::timeout,
                     [&] { player.setVolume(player.volume() > 20 ? player.volume() - 7 : 100); });
    fader.start(5);

    QElapsedTimer wall;
    wall.start();
    player.play();
    ASSERT_EQ(Player::PlayState, player.state());
    ASSERT_TRUE(waitForCompletion(player, 10000)) << "the sound never ran dry";
    const qint64 elapsed = wall.elapsed();
    fader.stop();

    EXPECT_EQ(1, completions);
    EXPECT_EQ(Player::PauseState, player.state());
    EXPECT_EQ(0, player.time());
    EXPECT_GE(elapsed, 800) << "a real-time device takes about as long as the sound";
    ASSERT_FALSE(ticks.empty());
    EXPECT_TRUE(std::is_sorted(ticks.begin(), ticks.end()));
    EXPECT_GE(ticks.back(), 700) << "the clock followed the sound to near its end";

    const std::vector<double>& pictures = show->pictures_read();
    EXPECT_GE(pictures.size(), 10u);
    EXPECT_TRUE(std::is_sorted(pictures.begin(), pictures.end() - 1))
        << "pictures in order until the rewind";
    EXPECT_EQ(0.0, pictures.back()) << "the first picture again after the end";

    // The stream that ended by itself plays again.
    player.play();
    runEvents(300);
    EXPECT_EQ(Player::PlayState, player.state());
    EXPECT_GT(player.time(), 0);
    player.pause();
    const qint64 paused = player.time();
    const size_t picturesPaused = pictures.size();
    runEvents(100);
    EXPECT_EQ(paused, player.time());
    EXPECT_EQ(picturesPaused, pictures.size()) << "no frame timer while paused";
}

TEST(Playback, WithoutAnySoundDeviceThePlayerStaysStoppedOnTheFirstPicture)
{
    ::unsetenv("JACK_DEFAULT_SERVER");
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    VideoPlayer player;
    VideoSurface surface;
    player.setSurface(&surface);
    player.setSource(make_synthetic_show(show_spec()));
    if (player.state() != Player::StopState)
        GTEST_SKIP() << "this machine has a sound device";
    EXPECT_EQ(0, player.maxTime());
    player.play();
    player.setTime(500);
    EXPECT_EQ(Player::StopState, player.state());
    EXPECT_EQ(0, player.time());
    EXPECT_TRUE(player.soundDeviceMissing());
    ASSERT_TRUE(surface.frame());
    player.setSource(kestrel::av_source_ptr());
    EXPECT_FALSE(surface.frame());
    EXPECT_FALSE(player.soundDeviceMissing());
}
