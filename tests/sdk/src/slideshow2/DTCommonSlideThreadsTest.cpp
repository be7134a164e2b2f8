#include "slideshow2/DTCancelOpen.h"
#include "slideshow2/DTCommonSlide.h"
#include "slideshow2/DTPhoto.h"

#include "PhotoManagerFixtures.h"

#include <atomic>
#include <thread>

using namespace kestrel;
using namespace kestrel::slideshow2;

// Behind a busy worker: a slide that goes before its completion, a
// cancelled open, a file that is no photo, and two opens of one slide, of
// which only the latest sets the photo. Every open is answered once.
TEST(SlideThreads, LateCompletionsNeverReachAGoneOrReopenedSlide) {
    test::photo_files files;
    const photo_manager_ptr manager = photo_manager::create(test::workers(1));
    test::worker_gate gate;
    gate.block(*manager, files.landscape);
    auto calls = std::make_shared<test::CallbackRecorder<slide::OpenResult>>();
    auto open = [&](slide& target, const std::string& path) {
        return target.open_photo(manager, path, media_settings_ptr(), calls->receiver(), "");
    };
    slide_ptr gone = create_common_slide();
    open(*gone, files.landscape);
    gone.reset();
    common_slide cancelled, failed, reopened;
    cancel_open(open(cancelled, files.landscape));
    open(failed, files.dir.file("missing.jpg"));
    open(reopened, files.landscape);
    open(reopened, files.portrait);
    gate.release();

    const auto answers = calls->wait_for(5);
    const std::vector<std::tuple<slide::OpenResult>> expected{
        slide::not_opened, slide::not_opened, slide::not_opened, slide::not_opened, slide::opened};
    EXPECT_EQ(expected, answers);
    EXPECT_FALSE(cancelled.impl()->photo() || failed.impl()->photo() || failed.thumbnail());
    EXPECT_EQ("", failed.impl()->ken_burns_effect());
    EXPECT_EQ(files.portrait, reopened.impl()->photo()->desc().url);
}

// The rendering thread asks for the motion and the photo while the
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
