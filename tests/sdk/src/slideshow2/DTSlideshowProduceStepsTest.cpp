// The producer's parts that need no thread: when progress is reported, how
// the sound is fed (silence where the show has none), and which failure
// gives which result code.

#include "encoders/DTAudioEncoderQueue.h"
#include "encoders/DTMediaMuxer.h"
#include "encoders/DTVideoEncoderQueue.h"
#include "slideshow2/DTSlideshowPresets.h"
#include "slideshow2/DTSlideshowProduceAudio.h"
#include "slideshow2/DTSlideshowProduceFailure.h"
#include "slideshow2/DTSlideshowProduceProgress.h"
#include "support/AudioSignalTrack.h"
#include "support/AudioSignals.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using namespace kestrel;
using namespace kestrel::slideshow2;

TEST(ProgressPacer, ReportsEvery500MsOfShowOrHalfASecondOfClock) {
    double now = 10.0;
    progress_pacer pacer([&now] { return now; });
    // 40 ms pictures, the clock standing still: 520, 1040, 1560.
    std::vector<double> due;
    for (int picture = 1; picture <= 40; ++picture)
        if (pacer.due(picture * 40.0))
            due.push_back(picture * 40.0);
    EXPECT_EQ((std::vector<double>{520.0, 1040.0, 1560.0}), due);

    EXPECT_TRUE(pacer.due(0.0)); // a picture that ends at 0
    pacer.reported();
    now += 0.49;
    EXPECT_FALSE(pacer.due(40.0));
    now += 0.01; // half a second since the report
    EXPECT_TRUE(pacer.due(80.0));
    pacer.reported(); // the clock counts from the last report
    EXPECT_FALSE(pacer.due(120.0));
    EXPECT_FALSE(pacer.due(560.0));
    EXPECT_TRUE(pacer.due(580.0));

    EXPECT_DOUBLE_EQ(26.0, progress_pacer::percentage(520.0, 2000.0));
    EXPECT_DOUBLE_EQ(100.0, progress_pacer::percentage(2040.0, 2000.0));
    EXPECT_DOUBLE_EQ(100.0, progress_pacer::percentage(0.0, 0.0));
}

TEST(ProduceAudioFeed, GivesTheSourceUntilItEndsThenSilenceUpToTheVideo) {
    const audio_format_ptr format = audio_format::create(44100, sample_format_s16, 2, 3);
    test::signal_track music(*format, test::sine_tone(44100, 440.0), 100.0);
    audio_source_from_track source(&music);
    produce_audio_feed feed(&source, format);

    audio_data_timed_ptr block = feed.read_until(40.0);
    ASSERT_TRUE(block);
    EXPECT_EQ(1764u, block->data->samples());
    EXPECT_DOUBLE_EQ(0.0, block->start);
    EXPECT_NE(0.0, test::sample_at(*block->data, 100, 0));
    EXPECT_FALSE(feed.read_until(40.0)); // there already
    EXPECT_FALSE(feed.read_until(40.01)); // less than one sample to go

    // The music ends at 100 ms; the rest up to 1500 ms is silence, in
    // blocks of at most a second.
    std::vector<unsigned int> samples;
    std::vector<bool> silent;
    while ((block = feed.read_until(1500.0))) {
        samples.push_back(block->data->samples());
        silent.push_back(test::sample_at(*block->data, 1000, 0) == 0.0);
    }
    EXPECT_EQ((std::vector<unsigned int>{2646, 44100, 17640}), samples);
    EXPECT_EQ((std::vector<bool>{false, true, true}), silent);
    EXPECT_TRUE(feed.source_ended());
    EXPECT_DOUBLE_EQ(1500.0, feed.position());

    produce_audio_feed silence_only(nullptr, format);
    block = silence_only.read_until(33.0);
    ASSERT_TRUE(block);
    EXPECT_EQ(1455u, block->data->samples()); // whole samples only
}

TEST(ProduceFailure, EachKindOfFailureHasItsResultCode) {
    const auto failure = [](auto e) { return std::make_exception_ptr(e); };
    const std::vector<std::pair<std::exception_ptr, int>> cases = {
        {failure(audio_encoder_queue::error("x")), 3},
        {failure(video_encoder_queue::error("x")), 4},
        {failure(media_muxer::error_create_file()), 5},
        {failure(media_muxer::error_write_trailer()), 6},
        {failure(media_muxer::error_invalid_format()), 6},
        {failure(error_invalid_preset()), 2},
        {failure(error_cancel()), 1},
        {failure(errors::invalid_operation()), 7},
        {failure(std::bad_alloc()), 7},
        {failure(42), 7},
        {std::exception_ptr(), 7}};
    for (const auto& c : cases)
        EXPECT_EQ(c.second, result_of_failure(c.first)) << "case " << (&c - &cases[0]);

    testing::internal::CaptureStdout();
    log_failure(failure(std::runtime_error("disk on fire")));
    log_failure(failure(42));
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ("[kestrel][error]error: disk on fire\n[kestrel][error]unexpected error\n", log);
}
