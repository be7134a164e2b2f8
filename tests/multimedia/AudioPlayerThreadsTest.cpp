// The audio player against a fake sound card whose callbacks run on a test
// thread, driven by hand: the clock, seeking, the end of the sound, the
// volume and what happens when the device fails. The player's stream thread
// opens and starts the streams by itself; the player waits for a callback
// as long as the test takes.

#include "multimedia/BrokenShow.h"
#include "multimedia/FakeAudioOutput.h"

#include "multimedia/AudioPlayer.h"
#include "support/SyntheticShow.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <chrono>
#include <thread>

#include <boost/make_shared.hpp>

#include <gtest/gtest.h>


using Multimedia::AudioPlayer;
using Multimedia::Player;
using Multimedia::test::BrokenShow;
using Multimedia::test::FakeSoundCard;
using kestrel::test::make_synthetic_show;
using kestrel::test::show_spec;
using kestrel::test::synthetic_show;

namespace {

const unsigned long bufferFrames = 512;

struct SignalLog {
    explicit SignalLog(AudioPlayer& player)
    {
        QObject::connect(&player, &AudioPlayer::maxTimeChanged,
                         [this](qint64 v) { names.push_back("max " + std::to_string(v)); });
        QObject::connect(&player, &AudioPlayer::timeChanged, [this](qint64 v, bool deep) {
            names.push_back((deep ? "seek " : "tick ") + std::to_string(v));
        });
        QObject::connect(&player, &Player::stateChanged, [this](Player::State s) {
            names.push_back("state " + std::to_string(int(s)));
        });
        QObject::connect(&player, &AudioPlayer::volumeChanged,
                         [this](int v) { names.push_back("volume " + std::to_string(v)); });
        QObject::connect(&player, &AudioPlayer::mutedChanged,
                         [this](bool m) { names.push_back(m ? "muted" : "unmuted"); });
        QObject::connect(&player, &AudioPlayer::completed,
                         [this] { names.push_back("completed"); });
    }
    std::vector<std::string> take()
    {
        std::vector<std::string> taken;
        taken.swap(names);
        return taken;
    }
    std::vector<std::string> names;
};

typedef std::vector<std::string> Names;

class AudioPlayerTest : public ::testing::Test {
protected:
    // A show of `ms` of tone (44100 Hz float stereo, so the sound reaches the
    // device sample for sample) with pictures.
    void open(double ms = 2000.0)
    {
        show_spec spec;
        spec.duration_ms = ms;
        player.setSource(make_synthetic_show(spec, &show));
    }
    void openAndPlay(double ms = 2000.0)
    {
        open(ms);
        player.play();
        log.take();
    }
    // Such a show that breaks as `breaks` makes it (BrokenShow), then opened.
    BrokenShow& openBroken(double ms, const std::function<void(BrokenShow&)>& breaks)
    {
        show_spec spec;
        spec.duration_ms = ms;
        auto* broken = new BrokenShow(make_synthetic_show(spec, &show));
        breaks(*broken);
        player.setSource(boost::make_shared<kestrel::av_source>(broken));
        return *broken;
    }
    // Stream times in the tests are binary fractions, so that differences
    // are exact.
    int pump(double seconds, std::vector<float>* output = nullptr, bool waitForSound = true)
    {
        return card.pump(bufferFrames, seconds, output, waitForSound);
    }
    float tone(unsigned int frame, int channel) const
    {
        return static_cast<float>(show->tone()(frame, channel));
    }

    FakeSoundCard card;
    AudioPlayer player;
    SignalLog log{player};
    synthetic_show* show = nullptr;
    const int setUp = [this] {
        player.setSilencePatience(std::chrono::hours(1));
        return 0;
    }();
};

bool silent(const std::vector<float>& samples)
{
    return std::all_of(samples.begin(), samples.end(), [](float v) { return v == 0.0f; });
}

} // namespace

TEST_F(AudioPlayerTest, FreshPlayerIsStoppedAtZeroWithFullVolume)
{
    EXPECT_EQ(Player::StopState, player.state());
    EXPECT_EQ(0, player.time());
    EXPECT_EQ(0, player.maxTime());
    EXPECT_EQ(100, player.volume());
    EXPECT_FALSE(player.muted());
    player.play();
    player.pause();
    player.setTime(300);
    EXPECT_EQ(Player::StopState, player.state());
    EXPECT_TRUE(log.take().empty());
}

TEST_F(AudioPlayerTest, ClockFoldsOnPauseAndContinuesFromThere)
{
    open();
    EXPECT_EQ((Names{"state 2", "max 2000", "seek 0"}), log.take());
    EXPECT_TRUE(FakeSoundCard::waitFor([this] { return card.opened == 1 && card.started == 1; }))
        << "a stream is opened and runs, silent, while paused";

    player.pause(); // already paused: nothing
    EXPECT_TRUE(log.take().empty());

    player.play();
    EXPECT_EQ(Player::PlayState, player.state());
    EXPECT_EQ(0, player.time()) << "no callback yet";
    ASSERT_EQ(paContinue, pump(0.0));
    EXPECT_EQ(0, player.time());
    ASSERT_EQ(paContinue, pump(1.0 / 64));
    EXPECT_EQ(15, player.time()) << "15.625 ms, truncated";
    ASSERT_EQ(paContinue, pump(0.5));
    EXPECT_EQ(500, player.time());

    player.pause();
    EXPECT_EQ(500, player.time());
    std::vector<float> out;
    EXPECT_EQ(paContinue, pump(0.875, &out, false)) << "the stream runs on";
    EXPECT_TRUE(silent(out)) << "paused, it plays silence";
    EXPECT_EQ(500, player.time());

    player.play();
    EXPECT_EQ(500, player.time());
    ASSERT_EQ(paContinue, pump(7.0)); // a new run starts its own stream time
    EXPECT_EQ(500, player.time());
    EXPECT_EQ(3, card.started) << "started again for each run";
    ASSERT_EQ(paContinue, pump(7.25));
    EXPECT_EQ(750, player.time());
    ASSERT_EQ(paContinue, pump(9.0));
    EXPECT_EQ(2000, player.time()) << "never beyond the sound's end";
    EXPECT_EQ((Names{"state 1", "state 2", "state 1"}), log.take());
}

TEST_F(AudioPlayerTest, SoundReachesTheDeviceAtTheVolumeSetButNotMuted)
{
    openAndPlay();
    std::vector<float> out;
    ASSERT_EQ(paContinue, pump(0.0, &out));
    for (unsigned int frame : {0u, 1u, 100u, 511u}) {
        EXPECT_FLOAT_EQ(tone(frame, 0), out[2 * frame]) << frame;
        EXPECT_FLOAT_EQ(tone(frame, 1), out[2 * frame + 1]) << frame;
    }

    struct Step {
        int volume;
        float gain;
    };
    unsigned int frame = bufferFrames;
    for (const Step& step : {Step{50, 0.5f}, Step{150, 1.5f}, Step{0, 0.0f}, Step{100, 1.0f}}) {
        player.setVolume(step.volume);
        player.setVolume(step.volume);
        ASSERT_EQ(paContinue, pump(0.0, &out));
        for (unsigned int i : {3u, 77u, 300u})
            EXPECT_FLOAT_EQ(step.gain * tone(frame + i, 1), out[2 * i + 1])
                << "volume " << step.volume << " frame " << frame + i;
        frame += bufferFrames;
    }

    player.setMuted(true);
    player.setMuted(true);
    ASSERT_EQ(paContinue, pump(0.0, &out));
    EXPECT_FLOAT_EQ(tone(frame + 5, 0), out[10]) << "muting alone keeps the sound";
    EXPECT_EQ((Names{"volume 50", "volume 150", "volume 0", "volume 100", "muted"}),
              log.take());
}

struct SeekCase {
    const char* name;
    bool playing;
    qint64 target;
    double expectedSeek; // < 0: no seek
    qint64 expectedTime;
};

void PrintTo(const SeekCase& c, std::ostream* os)
{
    *os << c.name;
}

class AudioPlayerSeekTest : public AudioPlayerTest,
                            public ::testing::WithParamInterface<SeekCase> {};

TEST_P(AudioPlayerSeekTest, SeeksWithinTheSoundOrStartsOver)
{
    const SeekCase& c = GetParam();
    open();
    player.setTime(400);
    ASSERT_EQ(400, player.time());
    if (c.playing)
        player.play();
    log.take();
    const size_t seeksBefore = show->seeks().size();

    player.setTime(c.target);

    if (c.expectedSeek < 0) {
        EXPECT_EQ(seeksBefore, show->seeks().size());
        EXPECT_TRUE(log.take().empty());
        return;
    }
    ASSERT_EQ(seeksBefore + 1, show->seeks().size());
    EXPECT_EQ(c.expectedSeek, show->seeks().back());
    EXPECT_EQ(c.expectedTime, player.time());
    EXPECT_EQ((Names{"seek " + std::to_string(c.expectedTime)}), log.take());
    // Playing, the stream drops what it queued and starts again for the
    // run after the seek (the run before it, if it came first, too); paused,
    // it plays silence on.
    EXPECT_TRUE(FakeSoundCard::waitFor([&] { return card.started >= (c.playing ? 2 : 1); }));
    if (!c.playing) {
        EXPECT_EQ(0, card.aborted);
    }
    EXPECT_EQ(c.playing ? Player::PlayState : Player::PauseState, player.state());
    if (c.playing) {
        ASSERT_EQ(paContinue, pump(3.0));
        EXPECT_EQ(c.expectedTime, player.time());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AudioPlayerSeekTest,
    ::testing::Values(SeekCase{"Negative", false, -5, 0.0, 0},
                      SeekCase{"PastTheEnd", false, 2001, 0.0, 0},
                      SeekCase{"AtTheEnd", false, 2000, 2000.0, 2000},
                      SeekCase{"SameTime", false, 400, -1.0, 0},
                      // The clock restarts at the sound's own position: frame
                      // 54419 begins at 1233.99 ms.
                      SeekCase{"TruncatedToTheSoundsPosition", false, 1234, 1234.0, 1233},
                      SeekCase{"WhilePlaying", true, 1500, 1500.0, 1500},
                      SeekCase{"PastTheEndWhilePlaying", true, 5000, 0.0, 0}),
    [](const ::testing::TestParamInfo<SeekCase>& info) { return std::string(info.param.name); });

TEST_F(AudioPlayerTest, ShortReadEndsTheSoundOnceAndRewinds)
{
    // 44200 frames of sound; from 1000 ms (frame 44100) 100 frames remain.
    open(44200 / 44.1);
    player.setTime(1000);
    player.play();
    log.take();

    std::vector<float> out;
    ASSERT_EQ(paComplete, pump(0.0, &out));
    for (unsigned int i : {0u, 50u, 99u})
        EXPECT_FLOAT_EQ(tone(44100 + i, 0), out[2 * i]) << i;
    for (unsigned int i : {100u, 101u, 511u}) {
        EXPECT_EQ(0.0f, out[2 * i]) << i;
        EXPECT_EQ(0.0f, out[2 * i + 1]) << i;
    }
    EXPECT_FALSE(card.streamRunning()) << "the callback ended it";

    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ((Names{"state 2", "seek 0", "completed"}), log.take());
    EXPECT_EQ(Player::PauseState, player.state());
    EXPECT_EQ(0, player.time());
    EXPECT_EQ(0.0, show->seeks().back());

    // The finished stream is aborted before it starts again.
    player.play();
    ASSERT_EQ(Player::PlayState, player.state()) << "start refused";
    ASSERT_EQ(paContinue, pump(0.0, &out));
    EXPECT_FLOAT_EQ(tone(7, 1), out[15]);
}

TEST_F(AudioPlayerTest, EndOfSoundOvertakenBySeekIsDropped)
{
    open(44200 / 44.1);
    player.setTime(1000);
    player.play();
    ASSERT_EQ(paComplete, pump(0.0));
    player.setTime(200); // before the notice arrives
    QCoreApplication::processEvents();
    EXPECT_EQ(Player::PlayState, player.state());
    EXPECT_EQ(200, player.time());
    for (const std::string& name : log.take())
        EXPECT_NE("completed", name);
    EXPECT_EQ(paContinue, pump(0.0)) << "the stream runs again";
}

TEST_F(AudioPlayerTest, FailureInsideTheCallbackEndsTheSound)
{
    openBroken(2000.0, [](BrokenShow& broken) { broken.failSound = true; });
    player.play();
    log.take();
    std::vector<float> out;
    EXPECT_EQ(paAbort, pump(0.0, &out));
    EXPECT_EQ(0.0f, out[0]);
    EXPECT_EQ(0.0f, out[1023]);
    QCoreApplication::processEvents();
    EXPECT_EQ((Names{"state 2", "seek 0", "completed"}), log.take());
    EXPECT_EQ(Player::PauseState, player.state());
}

TEST_F(AudioPlayerTest, SoundThatDoesNotAnswerPlaysAsSilenceAndComesBackInItsPlace)
{
    BrokenShow& broken = openBroken(10000.0, [](BrokenShow& show) { show.soundAnswers = false; });
    player.play();
    std::vector<float> out;
    ASSERT_EQ(paContinue, pump(0.0, &out));
    EXPECT_EQ(std::vector<float>(2 * bufferFrames, 0.0f), out);
    const auto saysWithin = [this](bool answers) {
        for (int turn = 0; turn < 1000 && player.soundAnswers() != answers; ++turn) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            QCoreApplication::processEvents();
        }
        return player.soundAnswers() == answers;
    };
    ASSERT_TRUE(saysWithin(false));
    ASSERT_EQ(paContinue, pump(0.25, &out));
    EXPECT_EQ(250, player.time()) << "the clock goes on without the sound";

    // Once it answers, the sound comes back where the playhead will be a
    // quarter of a second on, silence until then.
    broken.soundAnswers = true;
    ASSERT_TRUE(saysWithin(true)) << "the sound never came back";
    const unsigned int back = 2 * bufferFrames + 44100 / 4;
    unsigned int frame = 2 * bufferFrames;
    for (; frame + bufferFrames <= back; frame += bufferFrames) {
        ASSERT_EQ(paContinue, pump(0.25, &out));
        ASSERT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0.0f; })) << "frame " << frame;
    }
    ASSERT_EQ(paContinue, pump(0.25, &out));
    const unsigned long at = back - frame;
    EXPECT_EQ(0.0f, out[2 * (at - 1)]);
    for (unsigned long i : {at, at + 1, bufferFrames - 1})
        EXPECT_FLOAT_EQ(tone(frame + i, 0), out[2 * i]) << frame + i;
    EXPECT_EQ(Player::PlayState, player.state());
}

TEST_F(AudioPlayerTest, SoundFromBeforeAGiveUpIsNeverPlayedAfterIt)
{
    BrokenShow& broken = openBroken(10000.0, [](BrokenShow& show) { show.landShort = true; });
    player.play();
    ASSERT_TRUE(FakeSoundCard::waitFor([this] { return player.soundReady(44100); })) << "nothing read ahead";

    // The music stops answering: the reader moves the source every second,
    // and each move lands short, with a wait given up inside it, where the
    // sound read ahead ended, a second on. What plays is the sound of each
    // frame's own place, or silence, and the player never says that the
    // music answers again.
    broken.soundAnswers = false;
    unsigned int frame = 0;
    int soundHeard = 0;
    QElapsedTimer moving;
    moving.start();
    for (bool said = false; moving.elapsed() < 3500; frame += bufferFrames) {
        std::vector<float> out;
        ASSERT_EQ(paContinue, pump(0.0, &out));
        for (unsigned int i : {0u, 200u, 511u}) {
            soundHeard += out[2 * i] != 0.0f;
            ASSERT_TRUE(out[2 * i] == 0.0f || out[2 * i] == tone(frame + i, 0)) << "frame " << frame + i;
        }
        QCoreApplication::processEvents();
        ASSERT_FALSE(said && player.soundAnswers()) << "a move that landed short passed for an answer";
        said = said || !player.soundAnswers();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GT(soundHeard, 0) << "no sound read ahead played";
    EXPECT_FALSE(player.soundAnswers());
}

struct DeviceCase {
    const char* name;
    bool hasDevice;
    bool failOpen;
    bool refuseFormat;
    bool failStart;
    bool sound;
    Player::State afterSource; // once the output has been looked at
    bool deviceMissing;
    bool outputAnswers;
};

void PrintTo(const DeviceCase& c, std::ostream* os)
{
    *os << c.name;
}

class AudioPlayerDeviceTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(AudioPlayerDeviceTest, WithoutADeviceThePlayerStopsWithAnOutputThatFailsThePicturesGoOn)
{
    const DeviceCase& c = GetParam();
    FakeSoundCard card;
    card.hasDevice = c.hasDevice;
    card.failOpen = c.failOpen;
    card.refuseFormat = c.refuseFormat;
    card.failStart = c.failStart;
    AudioPlayer player;
    SignalLog log(player);
    show_spec spec;
    spec.sound = c.sound;
    player.setSource(make_synthetic_show(spec));
    // The output is looked at on the stream thread: tried once, and again
    // a second later.
    EXPECT_TRUE(FakeSoundCard::waitFor([&] {
        return player.state() == c.afterSource && player.soundOutputAnswers() == c.outputAnswers;
    }));
    EXPECT_EQ(c.deviceMissing, player.soundDeviceMissing());
    EXPECT_EQ(c.afterSource, player.state());
    EXPECT_EQ(c.outputAnswers, player.soundOutputAnswers());
    EXPECT_EQ(c.refuseFormat ? QStringLiteral("the fake takes no such format") : QString(),
              player.soundOutputRefusal()) << "a refused format says why";

    player.play();
    if (c.afterSource == Player::StopState) {
        EXPECT_EQ(Player::StopState, player.state());
        EXPECT_EQ(0, player.time());
        EXPECT_EQ(0, player.maxTime());
        const Names expected = c.deviceMissing
                                   ? Names{"state 2", "max 2000", "seek 0", "state 0", "max 0", "seek 0"}
                                   : Names{"max 0", "seek 0"};
        EXPECT_EQ(expected, log.take());
    } else {
        // An output that fails leaves the pictures to the monotonic clock.
        EXPECT_EQ(Player::PlayState, player.state());
        EXPECT_TRUE(FakeSoundCard::waitFor([&] { return player.time() >= 200; })) << "the clock stands";
        player.setSource(kestrel::av_source_ptr());
    }
    EXPECT_TRUE(FakeSoundCard::waitFor([&] { return !card.streamOpen() && card.opened == card.closed; }))
        << "a stream left open";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AudioPlayerDeviceTest,
    ::testing::Values(DeviceCase{"NoDevice", false, false, false, false, true, Player::StopState, true, true},
                      DeviceCase{"OpenFails", true, true, false, false, true, Player::PauseState, false, false},
                      DeviceCase{"FormatRefused", true, false, true, false, true, Player::PauseState, false, false},
                      DeviceCase{"StartFails", true, false, false, true, true, Player::PauseState, false, false},
                      DeviceCase{"NoSound", true, false, false, false, false, Player::StopState, false, true}),
    [](const ::testing::TestParamInfo<DeviceCase>& info) { return std::string(info.param.name); });

// A preview opened while there is no device looks for one every second,
// and plays once one comes, as Play asked meanwhile; without one it says so
// and stays stopped.
TEST(AudioPlayerDeviceComes, APreviewOpenedWithoutADevicePlaysOnceOneIsFound)
{
    FakeSoundCard card;
    card.hasDevice = false;
    AudioPlayer player;
    player.setSource(make_synthetic_show(show_spec()));
    ASSERT_TRUE(FakeSoundCard::waitFor([&] { return player.soundDeviceMissing(); }));
    player.play();
    EXPECT_EQ(Player::StopState, player.state());
    EXPECT_EQ(0, player.maxTime());

    card.hasDevice = true;
    ASSERT_TRUE(FakeSoundCard::waitFor([&] { return player.state() == Player::PlayState; }))
        << "the device that came was not found";
    EXPECT_FALSE(player.soundDeviceMissing());
    EXPECT_EQ(2000, player.maxTime());
    EXPECT_EQ(paContinue, card.pump(bufferFrames, 0.0)) << "no stream plays the sound";
    EXPECT_TRUE(player.soundOutputAnswers());
}
