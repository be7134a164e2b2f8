// The renderer core without rendering: frame sizes, the show's lengths and
// the fade-out of its sound.

#include "slideshow2/DTGilSlideshow.h"

#include "support/AudioSignalTrack.h"
#include "support/AudioSignals.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

namespace kestrel {
namespace slideshow2 {
namespace {

struct frame_case {
    const char* name;
    const char* height;
    const char* aspect;
    int width_out;
    int height_out;
};

std::ostream& operator<<(std::ostream& out, const frame_case& c) { return out << c.name; }

class frame_size : public ::testing::TestWithParam<frame_case> {};

// Every case starts from a 640 x 480 frame and applies aspect, then height.
TEST_P(frame_size, follows_height_and_aspect) {
    const frame_case& c = GetParam();
    gil_slideshow_impl show;
    show.apply_settings(media_settings::create()->set("frame-aspect", "4/3")->set("frame-height", "480"));
    show.apply_settings(media_settings::create()->set("frame-aspect", c.aspect)->set("frame-height", c.height));
    const video_format_ptr format = show.av_source()->video()->format();
    EXPECT_EQ(format->width(), c.width_out);
    EXPECT_EQ(format->height(), c.height_out);
    EXPECT_EQ(format->pixel_format(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    sizes, frame_size,
    ::testing::Values(frame_case{"h480_16_9", "480", "16/9", 852, 480},
                      frame_case{"h720_4_3", "720", "4/3", 960, 720},
                      frame_case{"h640_71_40", "640", "71/40", 1136, 640},
                      frame_case{"odd_height_made_even", "481", "4/3", 640, 480},
                      frame_case{"unset_aspect_is_empty", "480", "0/1", 0, 480},
                      frame_case{"zero_denominator_keeps_size", "720", "16/0", 640, 480},
                      frame_case{"negative_height_is_empty", "-480", "4/3", 0, 0},
                      frame_case{"huge_height_keeps_size", "2000000000", "16/9", 852, 480}),
    [](const ::testing::TestParamInfo<frame_case>& info) { return std::string(info.param.name); });

audio_track_ptr steady_music(double length_ms) {
    const audio_format_ptr format = audio_format::create(8000, sample_format_flt, 1);
    return boost::make_shared<test::signal_track>(*format, [](unsigned, int) { return 0.5; },
                                                  length_ms);
}

gil_slideshow_impl* show_of(std::unique_ptr<gil_slideshow_impl>& show, unsigned slides,
                            const char* align) {
    show.reset(new gil_slideshow_impl);
    for (unsigned i = 0; i < slides; ++i)
        show->insert_slide(i);
    show->apply_settings(media_settings::create()
                             ->set("slide-duration", "6")
                             ->set("transition-duration", "1.2")
                             ->set("align-to-audio", align));
    return show.get();
}

TEST(show_durations, follow_the_music_only_when_aligned_to_it) {
    std::unique_ptr<gil_slideshow_impl> owner;
    gil_slideshow_core& core = show_of(owner, 4, "1")->core();
    owner->set_audio_track(steady_music(30000));
    EXPECT_DOUBLE_EQ(core.total_duration(), 30000);
    EXPECT_DOUBLE_EQ(core.slide_duration(), 7500);
    EXPECT_DOUBLE_EQ(core.audio_duration(), 0);

    owner->set_audio_track(audio_track_ptr()); // no music: the slides' own length
    EXPECT_DOUBLE_EQ(core.total_duration(), 24000);

    owner->set_audio_track(steady_music(30000));
    owner->apply_settings(media_settings::create("align-to-audio", "0"));
    EXPECT_DOUBLE_EQ(core.total_duration(), 24000);
    EXPECT_DOUBLE_EQ(core.audio_duration(), 24000);
    EXPECT_DOUBLE_EQ(core.show_audio().duration(), 24000);

    owner->clear();
    EXPECT_DOUBLE_EQ(core.total_duration(), 0);
    EXPECT_TRUE(std::isnan(core.slide_duration()));
}

// Mean level of 10 ms of the show's sound from t on.
double level_at(show_audio_track& sound, double t) {
    sound.seek(t);
    const audio_data_timed_ptr block = sound.read(10);
    if (!block)
        return -1.0;
    const std::vector<double> samples = test::channel_samples(*block->data, 0);
    double sum = 0;
    for (double s : samples)
        sum += s;
    return samples.empty() ? -1.0 : sum / samples.size();
}

// Total 30 000: the fade starts two transitions before the end and is
// silent 0.2 transitions before it (27 600 and 2160 for 1200).
TEST(show_sound, fades_out_two_transitions_before_the_end) {
    std::unique_ptr<gil_slideshow_impl> owner;
    show_of(owner, 5, "0");
    show_audio_track& sound = owner->core().show_audio();
    owner->set_audio_track(steady_music(60000)); // arms the fade
    const struct {
        const char* transition;
        double start, length;
    } fades[] = {{"1.2", 27600, 2160}, {"2.4", 25200, 4320}, {"1.2", 27600, 2160}};
    for (const auto& fade : fades) {
        SCOPED_TRACE(fade.transition);
        owner->apply_settings(media_settings::create("transition-duration", fade.transition));
        EXPECT_NEAR(level_at(sound, fade.start - 20), 0.5, 1e-6);
        EXPECT_NEAR(level_at(sound, fade.start + fade.length / 2), 0.25, 0.01);
        const double last = level_at(sound, fade.start + fade.length - 20);
        EXPECT_GT(last, 0.0);
        EXPECT_LT(last, 0.01);
        EXPECT_EQ(level_at(sound, fade.start + fade.length), -1.0); // nothing left
    }
}

} // namespace
} // namespace slideshow2
} // namespace kestrel
