// The whole engine as the application drives it: generated photos opened on
// the slideshow's slides through the photo manager, a generated music file
// opened as its sound, then a producer made from the slideshow, and the
// file reopened with FFmpeg. The renderer renders ahead on the read-ahead
// thread while the producer encodes on its own.

#include "audio/DTAudioTrackLoader.h"
#include "slideshow2/DTGilSlideshow.h"
#include "slideshow2/DTSlideshowProduce.h"
#include "support/MadeFileChecks.h"
#include "support/MusicFiles.h"
#include "support/OpenedSlides.h"
#include "support/ShowStandIn.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <ostream>

using namespace kestrel;
using namespace kestrel::slideshow2;

namespace {

using test::made_file;

const test::rgb slide_colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
const int slides = 3;
const int show_ms = 3000; // slides of 1 s
const int frames = 75;

// Slides of 1 s with fades of 0.4 s in 16:9 frames, whatever the music.
media_settings_ptr short_slides() {
    return media_settings::create()
        ->set("slide-duration", "1")
        ->set("transition-duration", "0.4")
        ->set("align-to-audio", "0")
        ->set("frame-aspect", "16/9");
}

std::string write_photo(const test::TempDir& folder, int slide) {
    test::jpeg_options options;
    options.width = 640;
    options.height = 360;
    options.quality = 95;
    const test::rgb colour = slide_colours[slide];
    const std::string path = folder.file("photo-" + std::to_string(slide) + ".jpg");
    test::write_file(path, test::make_jpeg(options, [&](int, uint8_t* row) {
                         for (int x = 0; x < options.width; ++x) {
                             row[3 * x] = colour.r;
                             row[3 * x + 1] = colour.g;
                             row[3 * x + 2] = colour.b;
                         }
                     }));
    return path;
}

// Opened on the music loader's thread, as the music view model opens it.
audio_track_ptr open_music(const std::string& path) {
    auto opened = std::make_shared<std::promise<audio_track_ptr>>();
    open_audio_track_async(path.c_str(), nullptr, false,
                           [opened](audio_track_ptr track) { opened->set_value(track); });
    std::future<audio_track_ptr> track = opened->get_future();
    return track.wait_for(std::chrono::seconds(30)) == std::future_status::ready ? track.get()
                                                                                : audio_track_ptr();
}

class MakeShow : public testing::TestWithParam<made_file> {};

} // namespace

TEST_P(MakeShow, PhotosAndMusicBecomeAFileOfTheShowsLengthColoursAndFadedSound) {
    const made_file& c = GetParam();
    test::TempDir folder;
    const slideshow_ptr show = create_gil_slideshow();
    show->apply_settings(short_slides()->set("ken-burns", "1"));
    std::vector<std::string> photos;
    for (int i = 0; i < slides; ++i)
        photos.push_back(write_photo(folder, i));
    ASSERT_EQ(static_cast<size_t>(slides), test::open_slides(*show->impl(), photos));

    test::tone_file tone; // five seconds: cut to the show and faded out
    tone.extension = "mp3";
    tone.seconds = 5.0;
    test::make_tone_file(folder.file("music.mp3"), tone);
    const audio_track_ptr music = open_music(folder.file("music.mp3"));
    ASSERT_TRUE(music);
    show->set_audio_track(music);

    const std::string path = folder.file("show");
    test::production_watch watch;
    testing::internal::CaptureStdout(); // the renderer's line per frame
    slideshow_produce_ptr producer =
        slideshow_produce_creator::create(show, path, media_settings::create("produce-preset", c.preset));
    producer->produce(watch.progress(), watch.finished());
    const int result = watch.wait_result();
    producer.reset();
    const std::string log = testing::internal::GetCapturedStdout();
    ASSERT_EQ(slideshow_produce::done, result) << log;
    EXPECT_EQ(100.0, watch.percents().back());
    EXPECT_DOUBLE_EQ(show_ms, show->av_source()->video()->duration());
    const std::vector<video_data_ptr> previews = watch.previews();
    ASSERT_TRUE(previews.front());
    EXPECT_EQ(c.width, previews.front()->width());

    const test::media_probe probe = test::probe_media_file(path);
    const test::stream_probe* video = nullptr;
    const test::stream_probe* audio = nullptr;
    test::expect_made_file(probe, c, video, audio);
    if (HasFatalFailure())
        return;

    // Every picture of the show, each slide in its colour in its middle.
    ASSERT_EQ(static_cast<size_t>(frames), video->mean_luma.size());
    for (int i = 0; i < slides; ++i)
        EXPECT_NEAR(test::show_stand_in::luma_of(slide_colours[i]), video->mean_luma[12 + 25 * i], 6.0)
            << "slide " << i;

    // The sound lasts as long as the pictures, to within its last codec
    // frame: loud while the music plays, silent once faded out.
    test::expect_sound_of_the_shows_length(*audio, c, show_ms);
    ASSERT_GT(audio->block_peaks.size(), 10u);
    EXPECT_GT(*std::max_element(audio->block_peaks.begin(), audio->block_peaks.begin() + 10), 0.1);
    EXPECT_LT(audio->block_peaks.back(), 0.01);
}

INSTANTIATE_TEST_SUITE_P(Presets, MakeShow,
                         testing::Values(made_file{"mac-medium", test::mp4_demuxer, "h264", "aac",
                                                   1280, 720, 1024, 0},
                                         made_file{"windows-simple", "avi", "mpeg4", "mp3", 320, 180,
                                                   1152, 1105}),
                         [](const testing::TestParamInfo<made_file>& info) {
                             return std::string(info.param.preset[0] == 'm' ? "mac_medium" : "windows_simple");
                         });

namespace {

// How a photo that opened can no longer be read (or only in part) when its
// slide is drawn.
struct vanished_photo {
    const char* name;
    std::function<void(const std::string& path, const std::string& jpeg)> change;
    const char* reason; // as the engine words a refused photo
    bool partly_shown = false;
};

// Half of the picture data gone, the header whole: the photo still decodes.
std::string cut_in_its_picture(const std::string& jpeg) {
    const std::size_t scan = jpeg.find("\xFF\xDA");
    return jpeg.substr(0, scan + (jpeg.size() - scan) / 2);
}

} // namespace

// Photos that went, were emptied, replaced or cut short after their slides
// opened: the video is made with those slides black, and the producer names
// each photo once with why, in the order of the show, however many frames
// and slides needed it. One cut in its picture data is drawn as far as it
// goes, grey below, and named as damaged.
TEST(MakeShowWithVanishedPhotos, NamesEachUnreadablePhotoOnceWithItsReason) {
    const vanished_photo vanished[] = {
        {"gone.jpg", [](const std::string& path, const std::string&) { std::remove(path.c_str()); }, "not found"},
        {"emptied.jpg", [](const std::string& path, const std::string&) { test::write_file(path, ""); },
         "empty file"},
        {"png.jpg",
         [](const std::string& path, const std::string&) {
             test::write_file(path, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
         },
         "not a JPEG file (it is a PNG)"},
        {"cut.jpg",
         [](const std::string& path, const std::string& jpeg) { test::write_file(path, jpeg.substr(0, 20)); },
         "cut short"},
        {"half.jpg",
         [](const std::string& path, const std::string& jpeg) { test::write_file(path, cut_in_its_picture(jpeg)); },
         "cut short: the lower part is grey", true},
    };
    test::TempDir folder;
    const slideshow_ptr show = create_gil_slideshow();
    show->apply_settings(short_slides());
    const std::string good = write_photo(folder, 0);
    const std::string jpeg = test::read_file(good);
    std::vector<std::string> photos{good};
    for (const vanished_photo& each : vanished) {
        photos.push_back(folder.file(each.name));
        test::write_file(photos.back(), jpeg);
    }
    photos.push_back(photos[1]); // the gone photo on a second slide
    ASSERT_EQ(photos.size(), test::open_slides(*show->impl(), photos));
    std::vector<unreadable_photo> expected;
    for (std::size_t i = 0; i < std::size(vanished); ++i) {
        vanished[i].change(photos[i + 1], jpeg);
        expected.push_back({photos[i + 1], vanished[i].reason, vanished[i].partly_shown});
    }

    const std::string path = folder.file("show.avi");
    test::production_watch watch;
    testing::internal::CaptureStdout(); // the renderer's line per frame
    slideshow_produce_ptr producer =
        slideshow_produce_creator::create(show, path, media_settings::create("produce-preset", "windows-simple"));
    EXPECT_TRUE(producer->unreadable_photos().empty());
    producer->produce(watch.progress(), watch.finished());
    const int result = watch.wait_result();
    const std::vector<unreadable_photo> reported = producer->unreadable_photos();
    producer.reset();
    const std::string log = testing::internal::GetCapturedStdout();
    ASSERT_EQ(slideshow_produce::done, result) << log;
    EXPECT_EQ(expected, reported);
    EXPECT_TRUE(show->take_unreadable_photos().empty()) << "taken by the producer";

    // The good slide is seen, the damaged one red above and grey below, the
    // others are black.
    const test::media_probe probe = test::probe_media_file(path);
    ASSERT_NE(probe.first(0), nullptr);
    const std::vector<double>& luma = probe.first(0)->mean_luma;
    ASSERT_EQ(175u, luma.size());
    EXPECT_NEAR(test::show_stand_in::luma_of(slide_colours[0]), luma[12], 6.0);
    for (std::size_t slide = 1; slide < photos.size(); ++slide) {
        const bool shown = slide <= std::size(vanished) && vanished[slide - 1].partly_shown;
        if (shown)
            EXPECT_GT(luma[12 + 25 * slide], test::show_stand_in::luma_of(slide_colours[0]) + 10.0) << "slide " << slide;
        else
            EXPECT_LT(luma[12 + 25 * slide], 20.0) << "slide " << slide;
    }
}
