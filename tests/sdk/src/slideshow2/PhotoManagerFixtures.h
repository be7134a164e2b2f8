#pragma once
// Photos, a gate and slide helpers for the tests of the photo manager and
// the slide.
// The photos are made with libjpeg in a scratch folder: red, green, blue
// and white quadrants (top left, top right, bottom left, bottom right), so
// a turned picture shows where its red corner went.

#include "DTVideoData.h"
#include "image/DTPhotoDescText.h"
#include "slideshow2/DTPhotoManager.h"
#include "slideshow2/DTSlide.h"
#include "slideshow2/DTSlideProperties.h"
#include "support/CallbackRecorder.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {
namespace test {

struct photo_files {
    TempDir dir;
    // 400 x 300, tagged with EXIF orientation 6 (shown turned clockwise).
    std::string tagged = write(400, 300, 6, "tagged.jpg");
    // 400 x 300 and 300 x 400, untagged.
    std::string landscape = write(400, 300, 0, "landscape.jpg");
    std::string portrait = write(300, 400, 0, "portrait.jpg");

    std::string write(int width, int height, int orientation, const std::string& name) const {
        jpeg_options options;
        options.width = width;
        options.height = height;
        if (orientation)
            options.app_segments = {{1, exif_payload(orientation)}};
        const std::string path = dir.file(name);
        write_file(path, make_jpeg(options));
        return path;
    }
};

enum class corner { top_left, top_right, bottom_left, bottom_right };

// The colour in the middle of a quadrant of the picture, as "r,g,b" with
// each channel rounded to 0 or 255, so JPEG noise does not matter.
inline std::string colour_at(const video_data_ptr& picture, corner where) {
    const int x = (where == corner::top_left || where == corner::bottom_left) ? picture->width() / 4
                                                                                 : picture->width() * 3 / 4;
    const int y = (where == corner::top_left || where == corner::top_right) ? picture->height() / 4
                                                                             : picture->height() * 3 / 4;
    const uint8_t* pixel = picture->data() + y * picture->line_size(0) + x * 3;
    std::string text;
    for (int c = 0; c < 3; ++c)
        text += std::string(c ? "," : "") + (pixel[c] > 127 ? "255" : "0");
    return text;
}

const char* const red = "255,0,0";

// Holds the manager's workers: each request it queues blocks in its
// callback until release() (or the gate's end). Declare it after the
// manager, so that it lets the workers go before the manager joins them.
class worker_gate {
public:
    typedef CallbackRecorder<slideshow2::photo_manager::OpenResult, slideshow2::photo_ptr> recorder;

    worker_gate() : released_(release_.get_future().share()), answers_(std::make_shared<recorder>()) {}
    ~worker_gate() { release(); }

    // Blocks one worker per call; returns the blocking request's handle.
    ControllerPtr block(slideshow2::photo_manager& manager) {
        auto entered = std::make_shared<std::promise<void>>();
        std::future<void> arrived = entered->get_future();
        std::shared_future<void> released = released_;
        auto answer = answers_->receiver();
        const ControllerPtr handle = manager.open(
            landscape_path(), [entered, released, answer](slideshow2::photo_manager::OpenResult result,
                                                          slideshow2::photo_ptr photo) {
                answer(result, photo);
                entered->set_value();
                released.wait();
            });
        EXPECT_EQ(std::future_status::ready, arrived.wait_for(std::chrono::seconds(20)));
        return handle;
    }

    void release() {
        if (!released_done_) {
            released_done_ = true;
            release_.set_value();
        }
    }

    // What the blocking requests were answered.
    std::vector<recorder::call> answers() const { return answers_->calls(); }

private:
    const std::string& landscape_path() {
        if (!files_)
            files_ = std::make_unique<photo_files>();
        return files_->landscape;
    }

    std::unique_ptr<photo_files> files_;
    std::promise<void> release_;
    std::shared_future<void> released_;
    std::shared_ptr<recorder> answers_;
    bool released_done_ = false;
};

inline media_settings_ptr workers(int count) { return media_settings::create("hardware-concurrency", count); }

// Opens the slide and waits for its answer.
inline slideshow2::slide::OpenResult open_slide(slideshow2::slide& slide,
                                                const slideshow2::photo_manager_ptr& manager,
                                                const std::string& path, const std::string& properties = "") {
    auto calls = std::make_shared<CallbackRecorder<slideshow2::slide::OpenResult>>();
    slide.open_photo(manager, path, media_settings_ptr(), calls->receiver(), properties);
    const auto answers = calls->wait_for(1);
    EXPECT_EQ(1u, answers.size());
    return answers.empty() ? slideshow2::slide::not_opened : std::get<0>(answers[0]);
}

// A slide-properties text taken apart; fails the test when it does not read.
struct slide_text {
    slideshow2::ken_burns_desc names;
    image::photo_desc desc;
};

inline slide_text read_slide_text(const std::string& text) {
    slide_text read;
    slideshow2::slide_properties_t properties;
    EXPECT_TRUE(slideshow2::slide_properties_from_xml(text, properties)) << text;
    EXPECT_TRUE(slideshow2::ken_burns_desc_from_xml(properties.ken_burns, read.names));
    EXPECT_TRUE(image::photo_desc_from_xml(properties.photo_properties, read.desc));
    return read;
}

inline std::string write_slide_text(const slideshow2::ken_burns_desc& names, const image::photo_desc& desc) {
    slideshow2::slide_properties_t properties;
    properties.ken_burns = slideshow2::ken_burns_desc_to_xml(names);
    properties.photo_properties = image::photo_desc_to_xml(desc);
    return slideshow2::slide_properties_to_xml(properties);
}

} // namespace test
} // namespace kestrel
