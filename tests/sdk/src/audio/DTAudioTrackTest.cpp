#include "audio/DTAudioTrackEmpty.h"
#include "audio/DTAudioTrackFadeOut.h"
#include "audio/DTAudioTrackProxy.h"

#include "support/AudioSignalTrack.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

using namespace kestrel;
using kestrel::test::channel_samples;
using kestrel::test::sample_at;
using kestrel::test::signal_track;

namespace {

audio_format_ptr stereo_s16() { return audio_format::create(44100, sample_format_s16, 2, 3); }

// Left at +0.5, right at -0.5, for twenty seconds.
boost::shared_ptr<signal_track> steady_track() {
    return boost::make_shared<signal_track>(
        *stereo_s16(), [](unsigned int, int channel) { return channel == 0 ? 0.5 : -0.5; },
        20000.0);
}

class FadeOutTrack : public ::testing::Test {
protected:
    FadeOutTrack() : inner(steady_track()), fade(inner.get()) {
        fade.set_params(10000.0, 1800.0, 0.0);
    }

    audio_data_timed_ptr read_at(double position, double duration = 40.0) {
        fade.seek(position);
        return fade.read(duration);
    }

    boost::shared_ptr<signal_track> inner;
    audio_track_fade_out fade;
};

} // namespace

TEST_F(FadeOutTrack, PassesBlocksBeforeTheFadeUnchanged) {
    audio_data_timed_ptr block = read_at(9000.0);
    ASSERT_TRUE(block);
    EXPECT_EQ(1764u, block->data->samples());
    EXPECT_DOUBLE_EQ(9000.0, block->start);
    EXPECT_DOUBLE_EQ(40.0, block->duration);
    EXPECT_EQ(0.5, sample_at(*block->data, 1763, 0));
    EXPECT_DOUBLE_EQ(9040.0, fade.position());
}

TEST_F(FadeOutTrack, ABlockEndingAtTheFadeStartKeepsItsLevel) {
    audio_data_timed_ptr block = read_at(9960.0);
    ASSERT_TRUE(block);
    const std::vector<double> left = channel_samples(*block->data, 0);
    const std::vector<double> right = channel_samples(*block->data, 1);
    EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](double v) { return v == 0.5; }));
    EXPECT_TRUE(std::all_of(right.begin(), right.end(), [](double v) { return v == -0.5; }));
}

TEST_F(FadeOutTrack, HalfwayThroughTheFadeStartsAtHalfLevel) {
    audio_data_timed_ptr block = read_at(10900.0);
    ASSERT_TRUE(block);
    EXPECT_EQ(0.25, sample_at(*block->data, 0, 0));
    EXPECT_EQ(-0.25, sample_at(*block->data, 0, 1));
    const std::vector<double> left = channel_samples(*block->data, 0);
    EXPECT_TRUE(std::is_sorted(left.rbegin(), left.rend()));
    EXPECT_LT(left.back(), 0.25);
}

TEST_F(FadeOutTrack, TheLastBlockIsWholeAndSilentAfterTheEnd) {
    audio_data_timed_ptr block = read_at(11790.0);
    ASSERT_TRUE(block);
    EXPECT_EQ(1764u, block->data->samples());
    EXPECT_DOUBLE_EQ(11790.0, block->start);
    EXPECT_DOUBLE_EQ(40.0, block->duration);
    EXPECT_GT(sample_at(*block->data, 0, 0), 0.0);
    for (unsigned int frame = 441; frame < 1764; ++frame) // the last 30 ms
        ASSERT_EQ(0.0, sample_at(*block->data, frame, 0)) << frame;
    EXPECT_FALSE(fade.read(40.0));
}

TEST_F(FadeOutTrack, NothingFromTheFadesEndOn) {
    EXPECT_FALSE(read_at(11800.0));
    EXPECT_FALSE(read_at(15000.0));
    EXPECT_DOUBLE_EQ(15000.0, inner->position());
    // Moving back before the fade plays again.
    EXPECT_TRUE(read_at(0.0));
}

TEST_F(FadeOutTrack, UnsetParametersEndAtOnce) {
    audio_track_fade_out unset(inner.get());
    EXPECT_FALSE(unset.read(40.0));
    EXPECT_EQ(0u, inner->reads());
}

TEST_F(FadeOutTrack, TheThirdValueChangesNothing) {
    const std::vector<double> before = channel_samples(*read_at(10900.0)->data, 1);
    fade.set_params(10000.0, 1800.0, 123.0);
    EXPECT_EQ(before, channel_samples(*read_at(10900.0)->data, 1));
}

TEST_F(FadeOutTrack, ForwardsEverythingElse) {
    EXPECT_DOUBLE_EQ(20000.0, fade.duration());
    EXPECT_DOUBLE_EQ(100.0, fade.advance(100.0));
    EXPECT_EQ(*stereo_s16(), *fade.format());
    EXPECT_THROW(audio_track_fade_out(nullptr), errors::invalid_pointer);
}

TEST(AudioTrackProxy, DurationFromTheFunctionOrTheInnerTrack) {
    double length = 0.0;
    audio_track_proxy proxy(steady_track(), [&] { return length; });
    for (double ignored : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        length = ignored;
        EXPECT_DOUBLE_EQ(20000.0, proxy.duration());
    }
    length = 5000.0;
    EXPECT_DOUBLE_EQ(5000.0, proxy.duration());

    audio_track_proxy without_function(steady_track(), audio_track_proxy::duration_function());
    EXPECT_DOUBLE_EQ(20000.0, without_function.duration());
}

TEST(AudioTrackProxy, WithoutAnInnerTrack) {
    audio_track_proxy proxy([] { return 0.0; });
    EXPECT_DOUBLE_EQ(0.0, proxy.duration());
    EXPECT_DOUBLE_EQ(0.0, proxy.position());
    EXPECT_DOUBLE_EQ(0.0, proxy.advance(10.0));
    EXPECT_DOUBLE_EQ(0.0, proxy.seek(10.0));
    EXPECT_FALSE(proxy.read(10.0));
    EXPECT_FALSE(proxy.format());
    audio_track_proxy timed([] { return 3000.0; });
    EXPECT_DOUBLE_EQ(3000.0, timed.duration());
}

TEST(AudioTrackProxy, ResetReachesTheNewTrackAtItsOwnPosition) {
    boost::shared_ptr<signal_track> first = steady_track();
    audio_track_proxy proxy(first, audio_track_proxy::duration_function());
    proxy.seek(1000.0);
    const audio_track_ptr silence = audio_track_empty::create(nullptr, 700.0);
    silence->seek(200.0);
    proxy.reset(silence, [] { return 0.0; });
    EXPECT_DOUBLE_EQ(700.0, proxy.duration());
    EXPECT_DOUBLE_EQ(200.0, proxy.position());
    EXPECT_DOUBLE_EQ(250.0, proxy.advance(50.0));
    EXPECT_DOUBLE_EQ(450.0, proxy.read(1000.0)->duration);
    EXPECT_DOUBLE_EQ(1000.0, first->position());
    EXPECT_EQ(1, first.use_count()); // released by the proxy
}

// The chain the slideshow builds: fade-out over a proxy over music.
TEST(AudioTrackProxy, FadesThroughTheProxy) {
    audio_track_proxy proxy(steady_track(), [] { return 12000.0; });
    audio_track_fade_out fade(&proxy);
    fade.set_params(12000.0 - 2 * 1200.0, 1.8 * 1200.0, 0.0);
    unsigned long long frames = 0;
    while (audio_data_timed_ptr block = fade.read(40.0))
        frames += block->data->samples();
    EXPECT_EQ(11760ull * 441 / 10, frames); // stops 0.2 transitions before the end
}

TEST(AudioTrackEmpty, ReadsSilenceUpToItsLength) {
    audio_track_empty track(nullptr, 250.0);
    audio_data_timed_ptr block = track.read(1000.0);
    ASSERT_TRUE(block);
    EXPECT_DOUBLE_EQ(0.0, block->start);
    EXPECT_DOUBLE_EQ(250.0, block->duration);
    EXPECT_EQ(11025u, block->data->samples());
    EXPECT_FALSE(track.read(1000.0));
    EXPECT_DOUBLE_EQ(100.0, track.seek(100.0));
    EXPECT_TRUE(track.read(10.0));
    EXPECT_DOUBLE_EQ(5000.0, track.seek(5000.0));
    EXPECT_FALSE(track.read(10.0));
}

TEST(AudioTrackEmpty, DefaultFormatAndSilenceBytes) {
    audio_track_ptr track = audio_track_empty::create(nullptr, DBL_MAX);
    EXPECT_EQ(*stereo_s16(), *track->format());
    audio_data_ptr second = track->read(1000.0)->data;
    EXPECT_EQ(44100u, second->samples());
    EXPECT_TRUE(std::all_of(second->data(), second->data() + second->size(),
                            [](uint8_t b) { return b == 0; }));
    track->seek(1e12);
    EXPECT_TRUE(track->read(10.0));
    EXPECT_DOUBLE_EQ(DBL_MAX, create_audio_track_empty(nullptr)->duration());

    for (int sample_format : {sample_format_u8, sample_format_u8p}) {
        const audio_format_ptr u8 = audio_format::create(8000, sample_format, 2, 3);
        audio_data_ptr bytes = create_audio_track_empty(u8.get())->read(10.0)->data;
        EXPECT_EQ(160u, bytes->size());
        EXPECT_TRUE(std::all_of(bytes->data(), bytes->data() + bytes->size(),
                                [](uint8_t b) { return b == 0x80; }));
    }
}

TEST(AudioTrackEmpty, ReadsOfAnyLengthLoseNoFrames) {
    audio_track_empty track(nullptr);
    unsigned long long frames = 0;
    for (int i = 0; i < 300; ++i)
        frames += track.read(10.0 / 3.0)->data->samples();
    EXPECT_EQ(44100ull, frames);
    for (int i = 0; i < 25; ++i)
        frames += track.read(40.0)->data->samples();
    EXPECT_EQ(88200ull, frames);
}

// However long the read, the block holds as many frames as its label says
// and the position moves by the label.
TEST(EmptyTrack, HugeReadGivesABlockAsLongAsItsLabel) {
    for (double asked : {1e8, 1e12, DBL_MAX}) {
        audio_track_ptr track = create_audio_track_empty(nullptr);
        audio_data_timed_ptr block = track->read(asked);
        ASSERT_TRUE(block) << asked;
        EXPECT_GT(block->data->samples(), 44100u);
        EXPECT_LE(block->duration, asked);
        EXPECT_NEAR(block->duration * 44.1, block->data->samples(), 1.0) << asked;
        EXPECT_DOUBLE_EQ(block->duration, track->position());
    }
}
