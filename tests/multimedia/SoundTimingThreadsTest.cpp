// The preview's sound through the sound process (multimedia/SoundProcess.h)
// on a JACK server at 48 kHz, a rate other than the music's, heard by a
// JACK client of the test and set against the clock the pictures follow,
// as the preview is paused, played and sought again and again, on a server
// of short cycles and one of long ones: the sound stays at the pictures'
// time, stops soon after Pause and comes soon after Play; Play goes on
// from where the sound stopped, nothing heard again and nothing left out;
// a seek's sound, once it has come, goes on without a hole.

#include "multimedia/HeardMusic.h"
#include "multimedia/JackListener.h"
#include "multimedia/MusicAndPictures.h"
#include "multimedia/PlayersJackServer.h"
#include "multimedia/RunEvents.h"
#include "multimedia/ThroughSoundProcess.h"

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"

#include "audio/DTAudioTrackFile.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

using Multimedia::Player;
using Multimedia::test::HeardMusic;
using Multimedia::test::JackListener;
using Heard = JackListener::Heard;
using Clock = std::chrono::steady_clock;

namespace {

const int serverRate = 48000;
const double showMs = 60000.0;
const int cycles = 8;
// Each run is sought this far on midway. The music's second read after a
// seek answers this late, as a disk's after its cache's: the sound sent
// ahead of it must wait for it, not play silence in its place.
const qint64 seekStep = 3000;
const std::chrono::milliseconds readLateAfterASeek(10);
// The music heard against the clock through each run, and how soon after
// Pause the last of it is heard and after Play the first (medians): within
// three of the server's cycles, which the server and PortAudio take
// between a callback and what is heard, and a moment.
const double gapBound = 40.0;
double stopOrComeBound(int periodFrames)
{
    return 20.0 + 3.0 * periodFrames * 1000.0 / serverRate;
}
// How much of the music a Play may hear again or leave out, in ms: what
// the listener's stride leaves unknown at each end, and a little.
const double resumeBound = 2.0;
// A run's first moments and a seek's are left out of the gap: the clock
// stands until the run is heard.
const auto settled = std::chrono::milliseconds(150);
// How soon the sound stops and comes, and whether it goes on where it was,
// is what users hear in the build they run; a sanitizer's build would
// measure the sanitizer.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const bool heardAsUsersHearIt = false;
#else
const bool heardAsUsersHearIt = true;
#endif

// The player's clock as the window saw it, turn by turn.
struct Seen {
    Clock::time_point at;
    qint64 clock;
};

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The clock at `at`, between the two looks around it.
double clockAt(const std::vector<Seen>& seen, Clock::time_point at)
{
    const auto after = std::lower_bound(seen.begin(), seen.end(), at,
                                        [](const Seen& look, Clock::time_point t) { return look.at < t; });
    if (after == seen.begin() || after == seen.end())
        return -1.0;
    const Seen& before = *(after - 1);
    const double share = msBetween(before.at, at) / std::max(1e-3, msBetween(before.at, after->at));
    return double(before.clock) + share * double(after->clock - before.clock);
}

// Frames a cycle of the server: short ones, and long ones whose callbacks
// take four times as much at a time.
class SoundTiming : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(SoundTiming, PausePlayAndSeeksKeepTheSoundAtThePicturesTimeOnAServerAt48kHz)
{
    skipUnderTheRaceChecker();
    kestrel::test::TempDir dir;
    kestrel::test::make_clock_file(dir.file("clock.wav"), showMs / 1000.0);
    Multimedia::test::PlayersJackServer server(serverRate, true, GetParam());
    const Multimedia::test::ThroughSoundProcess sound;
    JackListener ears;
    ASSERT_EQ(double(serverRate), ears.rate());
    auto* showImpl = new Multimedia::test::MusicAndPictures(
        kestrel::create_audio_track_file(dir.file("clock.wav"), nullptr, true), showMs);
    showImpl->answerLateAfterAMove(readLateAfterASeek);
    const kestrel::av_source_ptr show = boost::make_shared<kestrel::av_source>(showImpl);

    Multimedia::VideoSurface surface;
    Multimedia::VideoPlayer player;
    player.setSurface(&surface);
    std::vector<Seen> seen;
    const auto run = [&](const std::function<bool()>& done, int ms) {
        return Multimedia::test::runEventsUntil([&] {
            ears.connectNew();
            seen.push_back(Seen{Clock::now(), player.time()});
            return done();
        }, ms);
    };
    player.setSource(show);
    ASSERT_EQ(Player::PauseState, player.state());
    // The stream opens and is heard first.
    const Clock::time_point firstPlayed = Clock::now();
    player.play();
    ASSERT_TRUE(run([&] { return ears.heardSound() && player.time() > 300; }, 15000))
        << "no sound through " << server.name();
    player.pause();
    run([] { return false; }, 300);

    // Runs of the preview, each from Play to Pause, each sought midway.
    struct Run {
        Clock::time_point played, paused;
        Clock::time_point soughtAt;
        qint64 soughtTo = 0;
    };
    std::vector<Run> runs;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        Run r;
        r.played = Clock::now();
        player.play();
        const qint64 from = player.time();
        ASSERT_TRUE(run([&] { return player.time() > from + 250; }, 5000)) << "the clock stands in run " << cycle;
        r.soughtAt = Clock::now();
        player.setTime(player.time() + seekStep);
        r.soughtTo = player.time();
        ASSERT_TRUE(run([&] { return player.time() > r.soughtTo + 300; }, 5000)) << "the clock stands after the seek";
        r.paused = Clock::now();
        player.pause();
        run([] { return false; }, 300);
        runs.push_back(r);
    }
    // Half a second without a word from the output counts as no answer: a
    // sanitizer's build on busy cores may hold the sound process that long.
    if (heardAsUsersHearIt)
        EXPECT_TRUE(player.soundOutputAnswers());

    const HeardMusic music(ears);
    std::vector<double> stops, comes;
    int resumesMeasured = 0, seeksMeasured = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        const Run& r = runs[i];
        const Clock::time_point before = i > 0 ? runs[i - 1].played : firstPlayed;
        const Clock::time_point next = i + 1 < runs.size() ? runs[i + 1].played : Clock::time_point::max();
        std::vector<double> gaps;
        Clock::time_point first = Clock::time_point::max(), last = r.paused;
        for (const Heard& h : music.heard()) {
            if (HeardMusic::silent(h) || h.at < r.played || h.at >= next)
                continue;
            first = std::min(first, h.at);
            last = std::max(last, h.at);
            const bool aside = h.at < r.played + settled || (h.at >= r.soughtAt && h.at < r.soughtAt + settled);
            const double clock = clockAt(seen, h.at);
            if (!aside && h.at < r.paused && clock >= 0.0)
                gaps.push_back(h.musicMs - clock);
        }
        ASSERT_FALSE(gaps.empty()) << "no music heard";
        EXPECT_LT(std::abs(median(gaps)), gapBound) << "the music is not at the pictures' time: music - clock";
        comes.push_back(msBetween(r.played, first));
        stops.push_back(msBetween(r.paused, last));
        if (!heardAsUsersHearIt)
            continue;
        const std::optional<double> stopped = music.whereItStopped(before, r.played);
        const std::optional<double> started = music.whereItStarted(r.played, r.soughtAt);
        if (stopped && started) {
            ++resumesMeasured;
            EXPECT_NEAR(*stopped, *started, resumeBound)
                << "Play went on elsewhere than where the sound stopped (ms heard again: " << *stopped - *started
                << ")";
        }
        if (const std::optional<double> hole = music.silenceAfterItCame(r.soughtAt, r.paused, double(r.soughtTo))) {
            ++seeksMeasured;
            EXPECT_EQ(0.0, *hole) << "a hole of silence after the seek to " << r.soughtTo << " ms";
        }
    }
    if (!heardAsUsersHearIt)
        return;
    EXPECT_LT(median(stops), stopOrComeBound(GetParam())) << "the sound goes on after Pause";
    EXPECT_LT(median(comes), stopOrComeBound(GetParam())) << "the sound comes late after Play";
    if (resumesMeasured == 0 || seeksMeasured == 0)
        GTEST_SKIP() << "the server missed cycles around every Play or every seek: a machine this busy tells "
                        "nothing of where the sound goes on";
}

INSTANTIATE_TEST_SUITE_P(PeriodsOfAServer, SoundTiming, ::testing::Values(256, 1024),
                         [](const ::testing::TestParamInfo<int>& period) {
                             return std::to_string(period.param) + "Frames";
                         });
