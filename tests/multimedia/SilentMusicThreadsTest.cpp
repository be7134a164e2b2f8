// The preview's music on a network share that stops answering, played in
// real time through a JACK dummy server: the window's thread never waits
// for it, the player says so and plays on, and the sound comes back once
// the share answers; and through a fake sound card, what it plays then is
// the music at the pictures' time.

#include "multimedia/MusicAndPictures.h"
#include "multimedia/PlayersJackServer.h"
#include "multimedia/RealTimeCard.h"

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"

#include "audio/DTAudioTrackFile.h"
#include "support/HangingShare.h"
#include "support/MusicFiles.h"
#include "support/SyntheticShow.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <thread>

#include <sys/stat.h>

using Multimedia::Player;
using Multimedia::VideoPlayer;
using Multimedia::test::MusicAndPictures;
using Multimedia::test::runEventsUntil;

namespace {

const double showMs = 60000.0;
// Far past the player's patience with the music (1 s), and short enough
// for a test without it to fail soon.
const int answerBound = 10000;
// What one call of the window's thread may take: far above an honest run
// on loaded cores, far below a wait for the share.
const qint64 callBound = 3000;

qint64 msTaken(const std::function<void()>& call)
{
    QElapsedTimer wall;
    wall.start();
    call();
    return wall.elapsed();
}

} // namespace

TEST(SilentMusic, TheWindowNeverWaitsForMusicThatDoesNotAnswerAndItsSoundComesBack)
{
    kestrel::test::TempDir dir;
    const std::string served = dir.file("served"), mounted = dir.file("share");
    ASSERT_EQ(0, ::mkdir(served.c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
    kestrel::test::tone_file tone;
    tone.seconds = showMs / 1000.0;
    kestrel::test::make_tone_file(served + "/song.wav", tone);
    kestrel::test::hanging_share share(served, mounted);
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();

    Multimedia::test::PlayersJackServer server;
    const kestrel::av_source_ptr show = boost::make_shared<kestrel::av_source>(
        new MusicAndPictures(kestrel::create_audio_track_file(mounted + "/song.wav", nullptr, false), showMs));
    const kestrel::av_source_ptr other = kestrel::test::make_synthetic_show(kestrel::test::show_spec());
    Multimedia::VideoSurface surface;
    auto player = std::make_unique<VideoPlayer>();
    player->setSurface(&surface);
    player->setSource(show);
    ASSERT_EQ(Player::PauseState, player->state()) << "PortAudio did not find " << server.name();

    // The window's thread ticks every 10 ms; how long it was held at most.
    QElapsedTimer sinceStart;
    sinceStart.start();
    std::atomic<qint64> lastTick{0};
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
        lastTick = sinceStart.elapsed();
    });
    const auto watchTicks = [&] {
        longestGap = 0;
        sinceTick.restart();
    };
    ticker.start(10);
    // Should the window's thread wait for the share after all, the share
    // answers after a while, so that the test fails rather than hangs.
    const kestrel::test::answer_when_held watchdog(share, [&] { return sinceStart.elapsed() - lastTick.load() > 2 * callBound; });
    // Whether the share held a read by now, the window's thread running.
    const auto readHeld = [&] {
        return runEventsUntil([&] { return share.held_within(std::chrono::milliseconds(5)); }, answerBound);
    };

    player->play();
    ASSERT_TRUE(runEventsUntil([&] { return player->time() > 500; }, answerBound));
    EXPECT_TRUE(player->soundAnswers());

    // The share stops answering: the preview plays on, without its sound.
    watchTicks();
    share.hang("read");
    ASSERT_TRUE(readHeld()) << "the music was never read again";
    ASSERT_TRUE(runEventsUntil([&] { return !player->soundAnswers(); }, answerBound))
        << "the player never said that the music does not answer";
    const qint64 before = player->time();
    runEventsUntil([] { return false; }, 500);
    EXPECT_GT(player->time(), before + 200) << "the clock stopped with the music";
    EXPECT_EQ(Player::PlayState, player->state());
    EXPECT_LT(longestGap, callBound) << "the window's thread waited for the music";

    // Pause, a seek, another source and this one again return at once.
    EXPECT_LT(msTaken([&] { player->pause(); }), callBound);
    EXPECT_LT(msTaken([&] { player->setTime(20000); }), callBound);
    EXPECT_EQ(20000, player->time());
    EXPECT_LT(msTaken([&] { player->setSource(other); }), callBound);
    EXPECT_TRUE(player->soundAnswers());
    EXPECT_LT(msTaken([&] { player->setSource(show); }), callBound);
    player->play();
    EXPECT_TRUE(runEventsUntil([&] { return !player->soundAnswers(); }, answerBound));

    // Once the share answers, the sound comes back as the clock goes on.
    watchTicks();
    share.answer();
    EXPECT_TRUE(runEventsUntil([&] { return player->soundAnswers(); }, answerBound))
        << "the sound never came back";
    EXPECT_TRUE(runEventsUntil([&] { return player->soundReady(4096); }, answerBound)) << "no sound read ahead";
    EXPECT_EQ(Player::PlayState, player->state());
    EXPECT_LT(longestGap, callBound);

    // Going while the share hangs does not wait for it either.
    share.hang("read");
    ASSERT_TRUE(readHeld());
    EXPECT_LT(msTaken([&] { player.reset(); }), callBound);
    share.answer();
}

TEST(SilentMusic, SoundThatAnswersAgainRejoinsThePicturesTimeAndNothingFromBefore)
{
    kestrel::test::TempDir dir;
    const std::string served = dir.file("served"), mounted = dir.file("share");
    ASSERT_EQ(0, ::mkdir(served.c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
    kestrel::test::make_clock_file(served + "/clock.wav", 40.0);
    kestrel::test::hanging_share share(served, mounted);
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();

    // Looping, as the program's music is.
    Multimedia::test::FakeSoundCard card;
    auto* music = new MusicAndPictures(kestrel::create_audio_track_file(mounted + "/clock.wav", nullptr, true), showMs);
    const kestrel::av_source_ptr show = boost::make_shared<kestrel::av_source>(music);
    Multimedia::VideoSurface surface;
    VideoPlayer player;
    player.setSurface(&surface);
    player.setSource(show);
    player.play();
    ASSERT_EQ(Player::PlayState, player.state());

    // The device's callbacks come in real time, each buffer heard checked
    // against the clock the pictures follow.
    Multimedia::test::RealTimeCard window(player, card);
    ASSERT_TRUE(window.run([&] { return window.heardAt() >= 0 && window.now() > window.heardAt() + 1000; }, answerBound))
        << "no music heard";
    EXPECT_LT(window.worstGapMs(), 100.0) << "the music does not keep to the clock";

    // The share stops answering for seconds while the pictures go on.
    window.forgetSound();
    kestrel::test::forget_cached_pages(mounted + "/clock.wav");
    share.hang("read");
    ASSERT_TRUE(window.run([&] { return !player.soundAnswers(); }, answerBound)) << "the music never stopped answering";
    const qint64 silentAt = player.time();
    ASSERT_TRUE(window.run([&] { return player.time() > silentAt + 3000; }, answerBound));

    // Once it answers (to the reader asking again, as it would most of the
    // time), what plays is the music at the pictures' time; nothing played
    // meanwhile was from elsewhere.
    ASSERT_TRUE(window.run([&] { return music->soundAsked(); }, answerBound)) << "the music was not asked again";
    share.answer();
    const qint64 answeredAt = window.now();
    ASSERT_TRUE(window.run([&] { return window.lastHeardAt() > answeredAt; }, answerBound))
        << "the music never came back";
    window.linger(1000);
    EXPECT_EQ(paContinue, window.streamEnded()) << "the sound ended";
    EXPECT_TRUE(player.soundAnswers());
    EXPECT_LT(window.worstGapMs(), 500.0) << "music played that far from the pictures' time";
    EXPECT_EQ(Player::PlayState, player.state());
}
