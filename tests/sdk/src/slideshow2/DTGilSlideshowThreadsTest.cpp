// Whole shows rendered from generated photos and read back through the
// slideshow's audio/video source: pixels, frame stamps, motion, sound.

#include "RenderedShows.h"

#include "slideshow2/DTGilSlideshowCache.h"
#include "slideshow2/DTVideoSourceFromImage.h"
#include "slideshow2/DTKenBurnsRegistry.h"
#include "support/AudioSignalTrack.h"
#include "support/AudioSignals.h"

#include <gtest/gtest.h>

#include <boost/gil/image_view.hpp>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <optional>
#include <thread>

namespace kestrel {
namespace test {
namespace {

const rgb red{254, 0, 0}, green{0, 255, 1}, blue{0, 0, 254}, black{0, 0, 0};

void expect_near(const rgb& seen, const rgb& expected, int tolerance) {
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(seen[c], expected[c], tolerance) << "channel " << c;
}

struct show_photos {
    TempDir dir;
    std::vector<std::string> paths;
    show_photos() {
        const rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
        for (int i = 0; i < 3; ++i)
            paths.push_back(write_photo(dir, "slide-" + std::to_string(i) + ".jpg", 320, 240,
                                        solid_painter(320, colours[i])));
    }
};

// d = 6000, tr = 1200, total 18 000; the centre pixel of a 160 x 90 frame.
// At a boundary both neighbours weigh 1/11 (255 / 11 = 23); a slide whose
// file is gone adds nothing.
TEST(rendered_show, draws_each_slide_fades_through_near_black_and_ends_black) {
    const struct {
        double t;
        rgb all_files, without_slide_1;
    } moments[] = {
        {3000, red, red},
        {6000, {23, 23, 0}, {23, 0, 0}},
        {9000, green, black},
        {12000, {0, 23, 23}, {0, 0, 23}},
        {15000, blue, blue},
        {17700, {0, 0, 127}, {0, 0, 127}},
    };
    for (const bool deleted : {false, true}) {
        SCOPED_TRACE(deleted ? "slide 1's file deleted" : "all files");
        show_photos photos;
        auto show = make_show(photos.paths, "ls_lr_out", 90);
        if (deleted)
            std::remove(photos.paths[1].c_str());
        for (const auto& moment : moments) {
            SCOPED_TRACE(moment.t);
            const video_data_ptr frame = frame_at(*show, moment.t);
            ASSERT_TRUE(frame);
            ASSERT_EQ(frame->width(), 160);
            ASSERT_EQ(frame->height(), 90);
            const rgb expected = deleted ? moment.without_slide_1 : moment.all_files;
            expect_near(pixel_at(*frame, 80, 45), expected, 3);
            if (expected == black) {
                EXPECT_EQ(brightest(*frame), 0);
            }
        }
        // The last frame shown is almost black; at the end itself, black.
        show->av_source()->seek(17880);
        video_data_timed_ptr last, next;
        while ((next = show->av_source()->video()->read()))
            last = next;
        ASSERT_TRUE(last);
        EXPECT_DOUBLE_EQ(last->start, 17960);
        EXPECT_LE(brightest(*last->data), 18);
        EXPECT_EQ(boost::gil::const_view(show->core().target_frame())(80, 45), boost::gil::rgb8_pixel_t(0, 0, 0));
    }
}

struct stamp_case {
    bool buffered;
    const char* frame_rate;
    const char* slide_seconds;
    std::size_t frames;
};

std::string stamp_case_name(const stamp_case& c) {
    return std::string(c.buffered ? "buffered" : "direct") + "_" + c.frame_rate + "fps_" + c.slide_seconds +
           "s_slides";
}

void PrintTo(const stamp_case& c, std::ostream* out) { *out << stamp_case_name(c); }

class frame_stamps : public ::testing::TestWithParam<stamp_case> {};

// Starts are running sums of the lengths; the last frame ends at the total.
TEST_P(frame_stamps, cover_the_show_exactly_once) {
    const stamp_case c = GetParam();
    show_photos photos;
    auto show = make_show(photos.paths, "static", 36, c.slide_seconds);
    show->apply_settings(media_settings::create("video-frame-rate", c.frame_rate));
    show->set_buffered(c.buffered);
    const double total = show->av_source()->video()->duration();
    const double period = 1000.0 / show->av_source()->video()->frame_rate();
    show->av_source()->seek(0);
    std::vector<video_data_timed_ptr> frames;
    while (video_data_timed_ptr frame = show->av_source()->video()->read())
        frames.push_back(frame);
    EXPECT_FALSE(show->av_source()->video()->read());
    show->set_buffered(false);

    ASSERT_EQ(frames.size(), c.frames);
    double start = 0;
    for (const auto& frame : frames) {
        ASSERT_EQ(frame->start, start);
        ASSERT_GT(frame->duration, 0.0);
        ASSERT_LE(frame->duration, period);
        start += frame->duration;
    }
    EXPECT_EQ(frames.back()->start + frames.back()->duration, total);
    expect_near(pixel_at(*frames.front()->data, 32, 18), red, 4);
}

INSTANTIATE_TEST_SUITE_P(stamps, frame_stamps,
                         ::testing::Values(stamp_case{false, "25", "6", 450},
                                           stamp_case{true, "25", "6", 450},
                                           stamp_case{false, "30", "1", 90},
                                           stamp_case{true, "30", "1", 90}),
                         [](const ::testing::TestParamInfo<stamp_case>& info) {
                             return stamp_case_name(info.param);
                         });

TEST(rendered_show, read_after_a_seek_starts_there) {
    show_photos photos;
    auto show = make_show(photos.paths, "static", 36);
    for (const bool buffered : {false, true}) {
        show->set_buffered(buffered);
        show->av_source()->seek(9000);
        const video_data_timed_ptr frame = show->av_source()->video()->read();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->start, 9000);
        expect_near(pixel_at(*frame->data, 32, 18), green, 4);
    }
    show->set_buffered(false);
}

// Readers over one renderer (a production and a read-ahead given up, say):
// what one takes is its own frame for its own time, whatever the other or
// a change of size drew in between.
TEST(rendered_show, a_reader_takes_its_own_frame_whatever_was_drawn_since) {
    show_photos photos;
    auto show = make_show(photos.paths, "static", 36);
    slideshow2::video_source_from_image reader(show->core()), other(show->core());
    reader.set_position(3000);
    other.set_position(9000);
    video_data_timed_ptr frame = reader.read();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->start, 3000);
    expect_near(pixel_at(*frame->data, 32, 18), red, 4);

    show->apply_settings(media_settings::create("frame-height", "72"));
    frame = reader.read();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->data->height(), 72);
    expect_near(pixel_at(*frame->data, 64, 36), red, 4);

    // A reader made where a gone one was, at the same address, is another
    // reader: it never takes the frame the gone one left drawn (here while
    // a production's stop gave the photo up).
    show->apply_settings(media_settings::create("frame-height", "36"));
    std::optional<slideshow2::video_source_from_image> place;
    place.emplace(show->core());
    show->interrupt_reads(true);
    place->set_position(3000);
    show->interrupt_reads(false);
    place.emplace(show->core());
    place->move_to(3000);
    frame = place->read();
    ASSERT_TRUE(frame);
    expect_near(pixel_at(*frame->data, 32, 18), red, 4);
}

// A production's stop gives up the photo reads until it ends; the
// preview's read-ahead, stopped and started by a seek meanwhile, leaves
// them given up.
TEST(rendered_show, a_preview_seek_leaves_a_production_stop_giving_up_reads) {
    show_photos photos;
    auto show = make_show(photos.paths, "static", 36);
    show->interrupt_reads(true);
    show->set_buffered(true);
    show->av_source()->seek(9000);
    show->set_buffered(false);
    show->take_photo_drawn();
    show->av_source()->seek(0);
    EXPECT_FALSE(show->take_photo_drawn()) << "a photo was read while the production stops";
    show->interrupt_reads(false);
    show->av_source()->seek(0);
    EXPECT_TRUE(show->take_photo_drawn());
}

// No slides, an unset aspect (0 wide) and a 0 high frame: reads and seeks
// end or draw black, and nothing reads outside a picture.
TEST(rendered_show, draws_nothing_wrong_for_empty_shows_and_frames) {
    show_photos photos;
    const struct {
        const char* what;
        std::size_t slides;
        const char* aspect;
        const char* height;
        int width_out, height_out;
    } cases[] = {{"no slides", 0, "16/9", "36", 64, 36},
                 {"unset aspect", 3, "0/1", "36", 0, 36},
                 {"no height", 3, "16/9", "0", 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto show = make_show(std::vector<std::string>(photos.paths.begin(), photos.paths.begin() + c.slides),
                              "ls_center_out", 36);
        show->apply_settings(
            media_settings::create()->set("frame-aspect", c.aspect)->set("frame-height", c.height));
        show->av_source()->seek(3000);
        const video_data_timed_ptr frame = show->av_source()->video()->read();
        EXPECT_EQ(!frame, c.slides == 0); // a show of no slides lasts 0 ms
        const video_format_ptr format = show->av_source()->video()->format();
        EXPECT_EQ(format->width(), c.width_out);
        EXPECT_EQ(format->height(), c.height_out);
        const auto& target = show->core().target_frame();
        if (c.width_out > 0 && c.height_out > 0)
            EXPECT_EQ(boost::gil::const_view(target)(32, 18), boost::gil::rgb8_pixel_t(0, 0, 0));
        else
            EXPECT_EQ(target.width() * target.height(), 0);
        if (frame) {
            EXPECT_EQ(frame->data->width() * frame->data->height(), c.width_out * c.height_out);
        }
    }
}

// One bright dot on a photo that moves a tenth of a pixel per frame: the
// dot's centre glides along the motion's path instead of stepping from
// pixel to pixel.
TEST(rendered_show, moves_a_photo_smoothly_below_a_pixel_per_frame) {
    TempDir dir;
    const std::string path = write_photo(dir, "dot.jpg", 320, 180, dot_painter(320, 200, 70, 3));
    auto show = make_show({path}, "ls_lr_out", 90, "4", "0");
    const video_data_ptr first = frame_at(*show, 0);
    ASSERT_TRUE(first);
    const auto picture = show->core().photo_cache().get(0);
    ASSERT_TRUE(picture);

    // The dot's centre in the decoded picture, then along the motion.
    const auto centroid = [](const auto& view, double around_x, double around_y) {
        double sum = 0, x_sum = 0, y_sum = 0;
        for (int y = static_cast<int>(around_y) - 7; y <= static_cast<int>(around_y) + 7; ++y)
            for (int x = static_cast<int>(around_x) - 7; x <= static_cast<int>(around_x) + 7; ++x) {
                if (x < 0 || y < 0 || x >= view.width() || y >= view.height())
                    continue;
                const double level = view(x, y)[0] + view(x, y)[1] + view(x, y)[2];
                sum += level;
                x_sum += level * x;
                y_sum += level * y;
            }
        return std::make_pair(x_sum / sum, y_sum / sum);
    };
    const double decoded = picture->width() / 320.0;
    const auto in_picture = centroid(boost::gil::const_view(*picture), 201 * decoded, 71 * decoded);
    const auto motion = slideshow2::create_ken_burns(160, 90, static_cast<int>(picture->width()),
                                                     static_cast<int>(picture->height()), "ls_lr_out");
    const slideshow2::affine_transform S = motion->start(), E = motion->end();

    show->av_source()->seek(0);
    std::vector<double> xs, ys;
    for (int i = 0; i < 100; ++i) {
        const video_data_timed_ptr frame = show->av_source()->video()->read();
        ASSERT_TRUE(frame);
        const double p = frame->start / 4000;
        const double k = S.a + (E.a - S.a) * p;
        const double ex = k * in_picture.first + S.e + (E.e - S.e) * p;
        const double ey = k * in_picture.second + S.f + (E.f - S.f) * p;
        const boost::gil::rgb8c_view_t view = boost::gil::interleaved_view(
            frame->data->width(), frame->data->height(),
            reinterpret_cast<const boost::gil::rgb8_pixel_t*>(frame->data->plane_data(0)),
            frame->data->line_size(0));
        const auto seen = centroid(view, ex, ey);
        EXPECT_NEAR(seen.first, ex, 0.5) << "frame " << i;
        EXPECT_NEAR(seen.second, ey, 0.5) << "frame " << i;
        xs.push_back(seen.first);
        ys.push_back(seen.second);
    }
    double second_differences = 0, largest_step = 0;
    for (std::size_t i = 1; i < xs.size(); ++i) {
        largest_step = std::max(largest_step, std::hypot(xs[i] - xs[i - 1], ys[i] - ys[i - 1]));
        if (i + 1 < xs.size())
            second_differences += std::hypot(xs[i + 1] - 2 * xs[i] + xs[i - 1], ys[i + 1] - 2 * ys[i] + ys[i - 1]);
    }
    const double travelled = std::hypot(xs.back() - xs.front(), ys.back() - ys.front());
    EXPECT_GT(travelled, 5.0); // the dot does move: about a tenth of a pixel a frame
    EXPECT_LT(largest_step, 0.3);
    EXPECT_LT(second_differences / (xs.size() - 2), 0.05);
}

// A panorama (12000 x 800) and a tall photo (800 x 12000) drawn with
// stripes of 4 photo lines across their narrow side; the frame (710 x 400)
// shows that side at about half or more of the photo's lines, so every
// stripe must stay a stripe of its own, with and without motion, at the
// motion's start (zoomed in) and near its end. Counted along the frame's
// middle line: each dark run is a stripe the frame kept apart.
TEST(rendered_show, keeps_the_lines_of_panoramas_and_tall_photos_the_frame_can_show) {
    const int length = 12000, narrow = 800, stripe = 4;
    const int stripes = narrow / (2 * stripe); // dark ones: 100
    const auto dark = [](int i) { return i / stripe % 2 == 1; };
    TempDir dir;
    const std::string panorama = write_photo(dir, "panorama.jpg", length, narrow, [&](int y, uint8_t* row) {
        std::fill(row, row + 3 * length, dark(y) ? 0 : 255);
    });
    const std::string tall = write_photo(dir, "tall.jpg", narrow, length, [&](int, uint8_t* row) {
        for (int x = 0; x < narrow; ++x)
            std::fill(row + 3 * x, row + 3 * x + 3, dark(x) ? 0 : 255);
    });
    const auto dark_runs = [](const video_data& frame, bool along_column) {
        const int n = along_column ? frame.height() : frame.width();
        int runs = 0;
        bool in_dark = false;
        for (int i = 0; i < n; ++i) {
            const rgb seen = along_column ? pixel_at(frame, frame.width() / 2, i) : pixel_at(frame, i, frame.height() / 2);
            const bool now = seen[1] < 128;
            runs += now && !in_dark;
            in_dark = now;
        }
        return runs;
    };
    const struct {
        const char* what;
        const std::string& path;
        const char* motion;
        double t;
        int at_least; // a motion zoomed in by a tenth shows a tenth fewer
    } cases[] = {
        {"panorama, standing still", panorama, "static", 3000, stripes - 2},
        {"panorama, zoomed in at the start", panorama, "ls_center_out", 0, stripes * 10 / 11 - 3},
        {"panorama, before its fade at the end", panorama, "ls_center_out", 5300, stripes - 4},
        {"tall photo, standing still", tall, "static", 3000, stripes - 2},
        {"tall photo, zoomed in at the start", tall, "pt_tb_out_1", 0, stripes * 10 / 11 - 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto show = make_show({c.path}, c.motion, 400);
        const video_data_ptr frame = frame_at(*show, c.t);
        ASSERT_TRUE(frame);
        ASSERT_EQ(710, frame->width());
        const int runs = dark_runs(*frame, &c.path == &panorama);
        EXPECT_GE(runs, c.at_least);
        EXPECT_LE(runs, stripes);
    }
}

// The music is swapped on one thread while another reads the show's sound.
TEST(rendered_show, music_can_be_replaced_while_the_sound_is_read) {
    show_photos photos;
    auto show = make_show(photos.paths, "static", 36);
    const audio_format_ptr format = audio_format::create(8000, sample_format_flt, 1);
    std::atomic<bool> done{false};
    std::atomic<int> blocks{0};
    audio_source* sound = show->av_source()->audio();
    std::thread reader([&] {
        while (!done) {
            if (sound->read(20))
                ++blocks;
            if (sound->position() > 15000)
                sound->advance(-sound->position());
        }
    });
    for (int i = 0; i < 200; ++i) {
        if (i % 3 == 2)
            show->set_audio_track(audio_track_ptr());
        else
            show->set_audio_track(boost::make_shared<signal_track>(
                *format, [i](unsigned, int) { return i / 400.0; }, 20000));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (blocks < 50 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    done = true;
    reader.join();
    EXPECT_GE(blocks.load(), 50);
}

} // namespace
} // namespace test
} // namespace kestrel
