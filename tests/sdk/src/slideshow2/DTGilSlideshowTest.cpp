// The renderer-backed slideshow through its public facade.

#include "slideshow2/DTGilSlideshow.h"

#include "base/DTErrors.h"
#include "slideshow2/DTCommonSlide.h"
#include "support/AudioSignals.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace slideshow2 {
namespace {

// The application's slideshow: empty, and its slides are the engine's own.
TEST(gil_slideshow, answers_through_its_facade) {
    initialize();
    const slideshow_ptr show = create_gil_slideshow();
    EXPECT_EQ(show->count(), 0u);
    const slide_ptr added = show->add_slide();
    EXPECT_EQ(show->count(), 1u);
    EXPECT_EQ(show->index_of(added), 0u);
    EXPECT_TRUE(boost::dynamic_pointer_cast<common_slide>(added));
    EXPECT_FALSE(added->thumbnail()); // no photo opened yet
    EXPECT_THROW(show->get_slide(show->count()), errors::failure);

    // One source for the slideshow's life; buffering off when never on.
    const av_source_ptr source = show->av_source();
    EXPECT_EQ(show->av_source(), source);
    show->set_buffered(false);
    EXPECT_EQ(show->av_source()->video(), source->video());

    // No music: the sound is silence for the show's length (one slide of 6 s).
    show->apply_settings(media_settings::create("slide-duration", "6"));
    show->set_audio_track(audio_track_ptr());
    EXPECT_DOUBLE_EQ(source->audio()->duration(), 6000);
    const audio_data_timed_ptr block = source->audio()->read(20);
    ASSERT_TRUE(block);
    for (double sample : test::channel_samples(*block->data, 0))
        ASSERT_EQ(sample, 0.0);
}

} // namespace
} // namespace slideshow2
} // namespace kestrel
