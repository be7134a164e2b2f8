// Real playback through PortAudio, in the sound process the program starts
// (multimedia/SoundProcess.h): against a JACK dummy server that the test
// starts (it consumes sound in real time, as a device would), also one that
// ends while the preview plays, and on a machine without any sound device.

#include "multimedia/PlayersJackServer.h"
#include "multimedia/InChild.h"
#include "multimedia/JackListener.h"
#include "multimedia/RunEvents.h"
#include "multimedia/ThroughSoundProcess.h"

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"

#include "support-qt/WindowHeartbeat.h"
#include "support/SyntheticShow.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <signal.h>

using Multimedia::Player;
using Multimedia::VideoPlayer;
using Multimedia::VideoSurface;
using Multimedia::test::JackListener;
using Multimedia::test::PlayersJackServer;
using Multimedia::test::ThroughSoundProcess;
using Multimedia::test::runInChild;
using Multimedia::test::runEventsUntil;
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

// The preview plays through a JACK server that ends by `signal`, played or
// paused as it ends: the window's thread is never held (its heartbeat), the
// pictures go on, and the player says that the sound output does not
// answer, at once also while paused, as the preview is played, paused,
// sought, closed and destroyed.
void playWhileTheServerEnds(int signal, bool pausedAsItEnds, qint64 playOnMs = 500)
{
    const qint64 stallBound = 450;
    PlayersJackServer server;
    const ThroughSoundProcess sound;
    show_spec spec;
    spec.duration_ms = 30000.0;
    spec.read_ahead = true;
    const kestrel::av_source_ptr show = make_synthetic_show(spec);
    VideoSurface surface;
    auto player = std::make_unique<VideoPlayer>();
    player->setSurface(&surface);
    // PortAudio may find no device while the server, busy, has not taken
    // its client in time: then the preview is opened again. The clock alone
    // runs on while a stream fails to open: the server is heard.
    {
        JackListener ears;
        ASSERT_TRUE(runEventsUntil([&] {
            ears.connectNew();
            if (player->state() == Player::StopState) {
                player->setSource(kestrel::av_source_ptr());
                player->setSource(show);
                player->play();
            }
            return ears.heardSound() && player->time() > 500;
        }, 15000)) << "no sound through " << server.name();
    }
    const auto goesOn = [&](qint64 from) { return runEventsUntil([&] { return player->time() > from + 500; }, 5000); };

    if (pausedAsItEnds)
        player->pause();
    server.end(signal);
    WindowHeartbeat heartbeat;
    heartbeat.arm("the JACK server ended");
    // A paused stream is seen gone once it has played nothing for three
    // seconds.
    EXPECT_TRUE(runEventsUntil([&] { return !player->soundOutputAnswers(); }, 8000))
        << "the player never said the output is gone";
    if (pausedAsItEnds) {
        EXPECT_EQ(Player::PauseState, player->state());
        player->play();
    }
    const qint64 endedAt = player->time();
    EXPECT_TRUE(runEventsUntil([&] { return player->time() > endedAt + playOnMs; }, int(playOnMs) + 5000))
        << "the clock stopped with the server";

    player->pause();
    const qint64 paused = player->time();
    runEvents(300);
    EXPECT_EQ(paused, player->time());
    player->play();
    player->setTime(10000);
    EXPECT_TRUE(goesOn(10000));
    player->pause();
    player->setTime(0);
    player->setSource(kestrel::av_source_ptr());
    EXPECT_EQ(Player::StopState, player->state());
    player.reset();
    runEvents(300);
    EXPECT_LT(heartbeat.longestStall(), stallBound) << heartbeat.failure().toStdString();
}

} // namespace

TEST(Playback, PlaysAShowInRealTimeThroughJackAndAgainAfterItsEnd)
{
    PlayersJackServer server;
    const ThroughSoundProcess sound;
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
    // A sound process that a sanitizer on busy cores starts past the
    // look's bound is started again: the sound comes later, not never.
    ASSERT_TRUE(waitForCompletion(player, 30000)) << "the sound never ran dry";
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
    const qint64 pressed = player.time();
    const size_t ticksPaused = ticks.size();
    const size_t picturesPaused = pictures.size();
    runEvents(300);
    // Paused, the clock stands, but for one step on to where the sound
    // stopped: the output plays on a moment after the press.
    EXPECT_LE(ticks.size(), ticksPaused + 1);
    EXPECT_GE(player.time(), pressed);
    EXPECT_LT(player.time(), pressed + 200);
    EXPECT_EQ(picturesPaused, pictures.size()) << "no frame timer while paused";
}

TEST(Playback, WithoutAnySoundDeviceThePlayerStaysStoppedOnTheFirstPicture)
{
    ::unsetenv("JACK_DEFAULT_SERVER");
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    const ThroughSoundProcess sound;
    VideoPlayer player;
    VideoSurface surface;
    player.setSurface(&surface);
    player.setSource(make_synthetic_show(show_spec()));
    // The output is looked at on the player's stream thread, by a sound
    // process that a sanitizer on busy cores starts slowly.
    if (!runEventsUntil([&] { return player.state() == Player::StopState; }, 10000))
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

// Each preview plays in a test process of its own, so that whatever the
// sound library does to the program is seen as that process's end; paused
// as the server is ended, played as it is killed.
TEST(PlaybackDeathTest, AJackServerThatEndsWhileThePreviewPlaysHoldsNothingAndThePicturesGoOn)
{
    skipUnderTheRaceChecker();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const int signal : {SIGTERM, SIGKILL}) {
        EXPECT_EXIT(
            runInChild([&] { playWhileTheServerEnds(signal, signal == SIGTERM); }),
            ::testing::ExitedWithCode(0), "")
            << "ended by signal " << signal;
    }
}

// ALSA's JACK device (libasound2-plugins) as the default device, the one
// PortAudio plays on: PortAudio's JACK host API holds a client of the
// server too, and asserts as it is terminated once the server went.
TEST(PlaybackDeathTest, AJackServerReachedThroughAlsasJackDeviceThatEndsLeavesTheProgramAlive)
{
    skipUnderTheRaceChecker();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    kestrel::test::TempDir home;
    kestrel::test::write_file(home.file(".asoundrc"),
                              "pcm.!default {\n type jack\n playback_ports {\n"
                              "  0 system:playback_1\n  1 system:playback_2\n }\n}\n");
    for (const int signal : {SIGTERM, SIGKILL}) {
        EXPECT_EXIT(
            runInChild([&] {
                ::setenv("HOME", home.path().c_str(), 1);
                // Long enough for the output to be given up and looked at
                // afresh.
                playWhileTheServerEnds(signal, signal == SIGTERM, 5000);
                // The child made a home of its own, which _Exit leaves.
                std::filesystem::remove_all(home.path());
            }),
            ::testing::ExitedWithCode(0), "")
            << "ended by signal " << signal;
    }
}
