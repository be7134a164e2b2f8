#include "SlideshowDoubles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace kestrel;

// The renderer reads the fields while the GUI thread applies settings: each
// read sees one whole value that was written, never a mix of two.
TEST(SlideshowSettingsThreads, FieldsReadWhileTheyAreSetAreWholeValues) {
    test::recording_slideshow show;
    const media_settings_ptr a = media_settings::create();
    a->set("frame-aspect", "16/9")->set("frame-height", "720")->set("slide-duration", "6")
        ->set("ken-burns", "1");
    const media_settings_ptr b = media_settings::create();
    b->set("frame-aspect", "4/3")->set("frame-height", "480")->set("slide-duration", "4")
        ->set("ken-burns", "0");
    testing::internal::CaptureStdout(); // the writer's info lines
    show.apply_settings(a);

    std::atomic<bool> done(false);
    std::thread writer([&] {
        for (int i = 0; i < 300; ++i)
            show.apply_settings(i % 2 ? a : b);
        done = true;
    });
    int mixed = 0, reads = 0;
    while (!done) {
        const dt_rational_t aspect = show.frame_aspect;
        const double height = show.frame_height;
        const double slide_ms = show.slide_duration_ms;
        mixed += !((aspect.num == 16 && aspect.den == 9) || (aspect.num == 4 && aspect.den == 3));
        mixed += height != 720.0 && height != 480.0;
        mixed += slide_ms != 6000.0 && slide_ms != 4000.0;
        ++reads;
    }
    writer.join();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(0, mixed) << "of " << reads << " reads";
}
