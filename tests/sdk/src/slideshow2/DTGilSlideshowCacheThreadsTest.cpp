// The renderer's three-slot photo cache: which slot each load claims, the
// look-ahead, loads that fail or come too late, and loads still running
// when the slideshow goes, and how the log names a load that failed.

#include "PhotoManagerFixtures.h"
#include "RenderedShows.h"
#include "support/HangingShare.h"
#include "support/LogLines.h"

#include "base/DTLog.h"
#include "files/DTLongWaits.h"
#include "files/DTReadThreads.h"

#include "slideshow2/DTGilSlideshowCache.h"
#include "slideshow2/DTVideoSourceFromImage.h"

#include <gtest/gtest.h>

#include <boost/gil/image_view.hpp>
#include <boost/weak_ptr.hpp>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace kestrel {
namespace test {
namespace {

typedef slideshow2::gil_slideshow_core::cache photo_cache;
const uint32_t none = photo_cache::no_index;

// Eight slides, slide i a flat grey of 10 + 30 i, in a 64 x 36 frame.
struct grey_show {
    TempDir dir;
    std::vector<std::string> paths;
    std::unique_ptr<slideshow2::gil_slideshow_impl> show;

    explicit grey_show(int slides = 8, int photo_width = 64, int photo_height = 48) {
        for (int i = 0; i < slides; ++i) {
            const int level = 10 + 30 * i;
            paths.push_back(write_photo(dir, "grey-" + std::to_string(i) + ".jpg", photo_width,
                                        photo_height, solid_painter(photo_width, {level, level, level})));
        }
        show = make_show(paths, "static", 36);
    }
    photo_cache& cache() { return show->core().photo_cache(); }
};

int grey_of(const photo_cache::picture_ptr& picture) {
    return picture ? boost::gil::const_view(*picture)(0, 0)[0] : -1;
}

void wait_for_loads(photo_cache& cache) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (cache.running_loads() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(cache.running_loads(), 0u);
}

// A sequence of requests with the slots (index, age) after each.
TEST(photo_cache, claims_the_oldest_slots_and_loads_one_slide_ahead) {
    grey_show slides;
    photo_cache& cache = slides.cache();
    const struct {
        const char* what;
        unsigned request;
        uint32_t index[3];
        int age[3];
    } steps[] = {
        {"first frame: 0 into slot 0, 1 ahead into slot 1", 0, {0, 1, none}, {1, 0, 2}},
        {"first request of 1: 2 ahead into the oldest, slot 2", 1, {0, 1, 2}, {2, 1, 0}},
        {"second request of 1: nothing loads", 1, {0, 1, 2}, {2, 1, 0}},
        {"first request of 2: 3 ahead evicts the previous slide", 2, {3, 1, 2}, {0, 2, 1}},
        {"seek to 5: oldest slot, 6 into the next oldest", 5, {3, 5, 6}, {2, 1, 0}},
        {"back to 3, its slot the oldest: 4 takes another", 3, {3, 4, 6}, {3, 0, 1}},
        {"5 again: a miss, 6 loaded ahead even though held", 5, {5, 4, 6}, {1, 2, 0}},
        {"first request of 6: 7 ahead", 6, {5, 7, 6}, {2, 0, 1}},
        {"last slide: no look-ahead", 7, {5, 7, 6}, {2, 0, 1}},
        {"far back to 0: the oldest, then the next oldest", 0, {0, 7, 1}, {1, 2, 0}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(grey_of(cache.get(step.request)), 10 + 30 * static_cast<int>(step.request));
        for (unsigned slot = 0; slot < photo_cache::slot_count; ++slot) {
            const photo_cache::slot_state state = cache.state(slot);
            EXPECT_EQ(state.index, step.index[slot]) << "slot " << slot;
            EXPECT_EQ(state.age, step.age[slot]) << "slot " << slot;
        }
    }
    wait_for_loads(cache);
    for (unsigned slot = 0; slot < photo_cache::slot_count; ++slot)
        EXPECT_TRUE(cache.state(slot).ready);
}

// Standing still in a 64 x 36 frame, a photo is decoded just large enough
// to cover it: 400 x 300 at the frame's width, and so is 300 x 400; a
// photo smaller than the frame keeps its own size.
TEST(photo_cache, decodes_as_large_as_the_frame_shows_the_photo) {
    const struct {
        int width, height, decoded_width, decoded_height;
    } photos[] = {{400, 300, 64, 48}, {300, 400, 64, 86}, {40, 30, 40, 30}};
    for (const auto& photo : photos) {
        grey_show slides(1, photo.width, photo.height);
        const photo_cache::picture_ptr picture = slides.cache().get(0);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width(), photo.decoded_width) << photo.width << " x " << photo.height;
        EXPECT_EQ(picture->height(), photo.decoded_height) << photo.width << " x " << photo.height;
    }
}

// A picture decoded for one frame size is never drawn on another: after a
// preview's frames, the production's frames show each photo as a show
// opened for the production alone shows it, whatever was rendered before.
TEST(photo_cache, decodes_anew_for_a_new_frame_size) {
    grey_show slides(2, 400, 300);
    ASSERT_EQ(slides.cache().get(0)->width(), 64u);
    ASSERT_EQ(slides.cache().get(1)->width(), 64u);
    // The height alone: no change of the timeline comes with it.
    slides.show->apply_settings(media_settings::create()->set("frame-height", "72"));
    for (unsigned slide = 0; slide < 2; ++slide) {
        const photo_cache::picture_ptr picture = slides.cache().get(slide);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width(), 128u) << "slide " << slide;
        EXPECT_EQ(picture->height(), 96u) << "slide " << slide;
    }
}

// Nothing to draw, but never a hang: the slot is ready all the same.
TEST(photo_cache, marks_a_slot_ready_when_its_load_fails) {
    const char* kinds[] = {"file deleted", "file emptied", "no photo", "slide gone"};
    for (const char* kind : kinds) {
        SCOPED_TRACE(kind);
        grey_show slides(2);
        unsigned index = 1;
        if (std::string(kind) == "file deleted")
            std::remove(slides.paths[1].c_str());
        else if (std::string(kind) == "file emptied")
            write_file(slides.paths[1], "");
        else if (std::string(kind) == "no photo")
            // Opened again on a file that is not there: the slide loses its photo.
            EXPECT_EQ(slideshow2::slide::not_opened,
                      open_slide(*slides.show->get_slide(1), slideshow2::photo_manager::create(workers(1)),
                                 slides.dir.file("missing.jpg")));
        else
            index = 5;
        EXPECT_FALSE(slides.cache().get(index));
        const int slot = slides.cache().find_slot(index);
        ASSERT_GE(slot, 0);
        EXPECT_TRUE(slides.cache().state(static_cast<unsigned>(slot)).ready);
        EXPECT_EQ(grey_of(slides.cache().get(0)), 10); // the others still load
    }
}

// The log names a photo that could not be loaded as every log line names
// a file: quoted, with its bytes outside UTF-8 and its backslash escaped.
TEST(photo_cache, names_a_failed_load_in_the_log_by_the_escaped_path) {
    TempDir dir;
    const std::string path = write_photo(dir, "caf\xe9 \\x.jpg", 64, 48, solid_painter(64, {10, 10, 10}));
    const std::unique_ptr<slideshow2::gil_slideshow_impl> show = make_show({path}, "static", 36);
    std::remove(path.c_str());
    testing::internal::CaptureStdout();
    EXPECT_FALSE(show->core().photo_cache().get(0));
    const std::vector<std::string> lines = log_lines_with(testing::internal::GetCapturedStdout(), "load of slide 0");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("(" + log_quoted(path) + ") failed"), std::string::npos) << lines[0];
}

// A load overtaken by a new claim or a reset never fills the slot.
TEST(photo_cache, drops_loads_that_were_overtaken) {
    grey_show slides(2, 400, 300);
    photo_cache& cache = slides.cache();
    for (int round = 0; round < 10; ++round) {
        cache.start_load(0, 0);
        cache.start_load(1, 0);
        cache.start_load(0, 1);
        cache.reset();
        cache.start_load(1, 2);
        EXPECT_EQ(grey_of(cache.get(1)), 40); // in slot 2
        wait_for_loads(cache);
        for (unsigned slot = 0; slot < 2; ++slot) {
            EXPECT_EQ(cache.state(slot).index, none);
            EXPECT_FALSE(cache.state(slot).ready);
        }
        EXPECT_EQ(cache.state(2).index, 1u);
        EXPECT_EQ(grey_of(cache.get(1)), 40);
        cache.reset();
    }
}

// Loads and the read-ahead still running when the slideshow is destroyed
// end before what they read and write goes: once the show is gone nothing
// holds its slides or photos any more (a load still running holds the
// slide and photo it decodes), and the sanitizers see any late write.
TEST(photo_cache, outlives_no_load_when_the_slideshow_goes) {
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i)
        paths.push_back(write_photo(dir, "big-" + std::to_string(i) + ".jpg", 1600, 1200,
                                    gradient_painter(1600, 1200)));
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round % 2 == 0 ? "loads queued" : "read-ahead running");
        auto show = make_show(paths, "ls_center_out", 360);
        std::vector<boost::weak_ptr<slideshow2::slide>> slides;
        std::vector<boost::weak_ptr<slideshow2::photo>> photos;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            slides.push_back(show->get_slide(i));
            photos.push_back(show->get_slide(i)->impl()->photo());
            ASSERT_FALSE(photos.back().expired());
        }
        if (round % 2 == 0) {
            for (unsigned slot = 0; slot < 3; ++slot)
                show->core().photo_cache().start_load(slot, slot);
        } else {
            show->set_buffered(true);
            show->av_source()->seek(5900);
            show->av_source()->video()->read();
        }
        show.reset();
        for (std::size_t i = 0; i < paths.size(); ++i) {
            EXPECT_TRUE(slides[i].expired()) << "slide " << i;
            EXPECT_TRUE(photos[i].expired()) << "photo " << i;
        }
    }
}

// A stop of the reads (a seek leaving its read-ahead behind) gives up the
// photo load under way. A reader given up whose render waited for it ends
// its render at once, the slide left out. A reader still read that waits
// for that load next has the photo loaded again, and draws what it would
// have drawn without the stop.
TEST(photo_cache, loads_again_what_a_stop_meant_for_another_reader_gave_up) {
    TempDir dir;
    const std::string source = dir.file("source"), mounted = dir.file("share");
    ASSERT_EQ(0, ::mkdir(source.c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
    hanging_share share(source, mounted);
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();
    const std::vector<std::string> paths = {
        write_photo(dir, "grey-0.jpg", 64, 48, solid_painter(64, {10, 10, 10})),
        write_photo(dir, "share/grey-1.jpg", 64, 48, solid_painter(64, {40, 40, 40}))};
    auto show = make_show(paths, "static", 36);
    photo_cache& cache = show->core().photo_cache();
    const double in_slide_1 = 9000;
    const auto stop_reads_once = [&] {
        cache.set_reads_interrupted(true, photo_cache::reads_stopper::preview);
        cache.set_reads_interrupted(false, photo_cache::reads_stopper::preview);
    };
    // The load's wait has begun (a stop before it would not concern it)
    // once the library lists it as a long one.
    const auto load_waits = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (; std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(5)))
            for (const long_wait& wait : long_waits())
                if (wait.file == paths[1])
                    return true;
        return false;
    };
    // Calls given up on the share stay left waiting there until it answers.
    const int left_at_start = read_threads::process().left_waiting();
    const auto left_waiting_becomes = [&](const std::function<bool(int)>& wanted) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!wanted(read_threads::process().left_waiting()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };

    share.hang("open");
    slideshow2::video_source_from_image left_behind(show->core());
    std::future<void> rendered = std::async(std::launch::async, [&] { left_behind.set_position(in_slide_1); });
    const bool waits = load_waits();
    left_behind.stop_rendering();
    stop_reads_once();
    const bool ended = rendered.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    share.answer();
    rendered.get();
    ASSERT_TRUE(waits);
    EXPECT_TRUE(ended) << "the render of the reader given up went on waiting";
    left_waiting_becomes([&](int left) { return left == left_at_start; });

    // A load another render started waits for the share when the stop
    // comes; the share answers once the load has been given up.
    cache.reset();
    share.hang("open");
    cache.start_load(1, 0);
    ASSERT_TRUE(load_waits());
    stop_reads_once();
    std::thread answering([&] {
        left_waiting_becomes([&](int left) { return left > left_at_start; });
        share.answer();
    });
    slideshow2::video_source_from_image still_read(show->core());
    still_read.set_position(in_slide_1);
    answering.join();
    const video_data_timed_ptr frame = still_read.read();
    ASSERT_TRUE(frame);
    EXPECT_NEAR(pixel_at(*frame->data, 32, 18)[0], 40, 4) << "a stop meant for another reader left the slide out";
}

} // namespace
} // namespace test
} // namespace kestrel
