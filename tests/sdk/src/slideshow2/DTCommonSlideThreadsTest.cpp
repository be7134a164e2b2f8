#include "slideshow2/DTCancelOpen.h"
#include "slideshow2/DTCommonSlide.h"
#include "slideshow2/DTPhoto.h"

#include "PhotoManagerFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace kestrel;
using namespace kestrel::slideshow2;

namespace {

typedef test::CallbackRecorder<slide::OpenResult> recorder;

// One worker, held by the gate until the test lets it go.
class SlideOpenQueued : public testing::Test {
protected:
    test::photo_files files;
    photo_manager_ptr manager = photo_manager::create(test::workers(1));
    test::worker_gate gate;
    std::shared_ptr<recorder> calls = std::make_shared<recorder>();

    void SetUp() override { gate.block(*manager); }

    ControllerPtr open(slide& target, const std::string& path) {
        return target.open_photo(manager, path, media_settings_ptr(), calls->receiver(), "");
    }
};

} // namespace

TEST_F(SlideOpenQueued, ASlideGoneBeforeItsCompletionIsNotTouched) {
    slide_ptr doomed = create_common_slide();
    open(*doomed, files.landscape);
    doomed.reset();
    gate.release();
    const auto answers = calls->wait_for(1);
    ASSERT_EQ(1u, answers.size());
    EXPECT_EQ(slide::not_opened, std::get<0>(answers[0]));
}

TEST_F(SlideOpenQueued, ACancelledOpenLeavesTheSlideWithoutPhoto) {
    common_slide slide;
    cancel_open(open(slide, files.landscape));
    gate.release();
    const auto answers = calls->wait_for(1);
    ASSERT_EQ(1u, answers.size());
    EXPECT_EQ(slide::not_opened, std::get<0>(answers[0]));
    EXPECT_FALSE(slide.impl()->photo());
    EXPECT_EQ("", slide.get_properties());
}

// Two opens of one slide: only the latest sets the photo, even when the
// older one completes after it was superseded.
TEST_F(SlideOpenQueued, OnlyTheLatestOpenSetsThePhoto) {
    common_slide slide;
    open(slide, files.landscape);
    open(slide, files.portrait);
    gate.release();
    const auto answers = calls->wait_for(2);
    ASSERT_EQ(2u, answers.size());
    EXPECT_EQ(slide::not_opened, std::get<0>(answers[0]));
    EXPECT_EQ(slide::opened, std::get<0>(answers[1]));
    ASSERT_TRUE(slide.impl()->photo());
    EXPECT_EQ(files.portrait, slide.impl()->photo()->desc().url);
}

// The renderer's thread asks for the motion and the photo while the
// application's thread reopens and turns the slide and workers complete.
TEST(SlideThreads, MotionAndPhotoReadWhileOpensCompleteAndTurn) {
    test::photo_files files;
    const photo_manager_ptr manager = photo_manager::create(test::workers(2));
    const slide_ptr slide = create_common_slide();
    std::atomic<bool> done(false);
    std::atomic<int> drawn(0);
    std::thread renderer([&] {
        while (!done) {
            const std::string effect = slide->impl()->ken_burns_effect();
            const photo_ptr photo = slide->impl()->photo();
            if (photo && !effect.empty()) {
                const video_data_ptr picture = photo->impl()->picture();
                EXPECT_TRUE(picture && picture->width() > 0);
                ++drawn;
            }
        }
    });
    for (int round = 0; round < 6; ++round) {
        EXPECT_EQ(slide::opened, test::open_slide(*slide, manager, round % 2 ? files.portrait : files.tagged,
                                                  round > 2 ? slide->get_properties() : ""));
        slide->rotate(1);
        slide->open_photo(manager, files.landscape, media_settings_ptr(), slide::open_callback(), "");
    }
    while (manager->pending_count() > 0)
        std::this_thread::yield();
    done = true;
    renderer.join();
    EXPECT_GT(drawn, 0);
}
