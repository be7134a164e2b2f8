// The preview's sound output going away and coming back, as the window
// runs the real player: a fake sound card whose callbacks come in real time
// from the window's thread, watched by the window's heartbeat. The card's
// server hangs (no callback; every call into a stream hangs, the streams
// seem to run) while the preview is played, paused, sought, closed and
// opened again, then comes back, then hangs again as the player is
// destroyed. The window's thread is never held, the pictures go on by
// themselves, the player says that the output does not answer, and once it
// answers the sound joins the pictures' time.

#include "multimedia/MusicAndPictures.h"
#include "multimedia/RealTimeCard.h"

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"
#include "support-qt/WindowHeartbeat.h"

#include "audio/DTAudioTrackFile.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

using Multimedia::Player;
using Multimedia::VideoPlayer;
using Multimedia::test::FakeSoundCard;

namespace {

const double showMs = 40000.0;
// How long the window's thread may stand still (held in a wait, not slowed
// by busy cores): far below the fake's hanging calls (5 s).
const qint64 stallBound = 450;
const int waitBound = 8000;

} // namespace

TEST(SoundOutputGone, ThePreviewPlaysOnNeverWaitsForTheOutputAndItsSoundJoinsThePicturesTime)
{
    kestrel::test::TempDir dir;
    kestrel::test::make_clock_file(dir.file("clock.wav"), showMs / 1000.0);
    const kestrel::av_source_ptr show = boost::make_shared<kestrel::av_source>(new Multimedia::test::MusicAndPictures(
        kestrel::create_audio_track_file(dir.file("clock.wav"), nullptr, true), showMs));

    FakeSoundCard card;
    Multimedia::VideoSurface surface;
    auto player = std::make_unique<VideoPlayer>();
    player->setSurface(&surface);
    Multimedia::test::RealTimeCard window(*player, card);
    WindowHeartbeat heartbeat;
    const auto answers = [&] { return player->soundOutputAnswers(); };
    const auto goesOn = [&](qint64 from) { return window.run([&] { return player->time() > from + 700; }, waitBound); };

    player->setSource(show);
    player->play();
    ASSERT_TRUE(window.run([&] { return window.heardAt() >= 0 && player->time() > 1000; }, waitBound))
        << "no sound heard";
    EXPECT_LT(window.worstGapMs(), 50.0) << "the sound does not keep to the clock";

    // The server hangs while the preview plays: the clock goes on without
    // it, and the stream given up holds the player's stream thread alone.
    heartbeat.arm("the sound output hangs");
    card.goAway();
    ASSERT_TRUE(window.run([&] { return !answers(); }, waitBound)) << "the player never said the output is gone";
    EXPECT_TRUE(goesOn(player->time())) << "the clock stopped with the sound";
    EXPECT_TRUE(window.run([&] { return card.hangingCalls() == 1; }, waitBound)) << "no call into the stream hangs";

    // Pause and play, a seek, closing and opening again only move the
    // pictures meanwhile.
    player->pause();
    const qint64 paused = player->time();
    window.linger(300);
    EXPECT_EQ(paused, player->time()) << "the clock runs while paused";
    player->play();
    EXPECT_TRUE(goesOn(paused));
    player->setTime(20000);
    EXPECT_GE(player->time(), 20000);
    EXPECT_TRUE(goesOn(20000));
    player->pause();
    player->setTime(0);
    player->setSource(kestrel::av_source_ptr());
    player->setSource(show);
    player->play();
    EXPECT_EQ(Player::PlayState, player->state());
    EXPECT_TRUE(goesOn(0)) << "a preview opened while the output hangs does not play";
    EXPECT_FALSE(answers());
    EXPECT_LT(heartbeat.longestStall(), stallBound) << heartbeat.failure().toStdString();

    // The calls return, the server answers: a new stream, whose sound
    // comes soon, at the pictures' time.
    heartbeat.arm("the sound output comes back");
    window.forgetSound();
    const qint64 answeredAt = window.now();
    card.comeBack();
    ASSERT_TRUE(window.run([&] { return window.heardAt() >= 0; }, waitBound)) << "the sound never came back";
    EXPECT_LT(window.heardAt() - answeredAt, 3000) << "the sound came back late";
    window.linger(500);
    EXPECT_LT(window.worstGapMs(), 100.0) << "the sound came back away from the pictures' time";
    EXPECT_TRUE(answers());
    EXPECT_EQ(Player::PlayState, player->state());
    EXPECT_LT(heartbeat.longestStall(), stallBound) << heartbeat.failure().toStdString();

    // Gone again, and the player destroyed while a call into its stream
    // hangs: nothing waits for it.
    heartbeat.arm("the player goes while the sound output hangs");
    card.goAway();
    ASSERT_TRUE(window.run([&] { return card.hangingCalls() == 1; }, waitBound));
    player.reset();
    QEventLoop beats;
    QTimer::singleShot(300, &beats, &QEventLoop::quit);
    beats.exec();
    EXPECT_LT(heartbeat.longestStall(), stallBound) << heartbeat.failure().toStdString();
    heartbeat.disarm();
    card.comeBack();
}
