#pragma once
// Photos, a gate and slide helpers for the tests of the photo manager and
// the slide. The photos have red, green, blue and white quadrants (top
// left, top right, bottom left, bottom right): a turned picture shows
// where its red corner went.

#include "image/DTPhotoDescText.h"
#include "slideshow2/DTPhotoManager.h"
#include "slideshow2/DTSlide.h"
#include "slideshow2/DTSlideProperties.h"
#include "support/CallbackRecorder.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <future>

namespace kestrel {
namespace test {

typedef CallbackRecorder<slideshow2::photo_manager::OpenResult, slideshow2::photo_ptr> load_recorder;

struct photo_files {
    TempDir dir;
    std::string tagged = write(400, 300, 6, "tagged.jpg"); // EXIF 6: shown turned clockwise
    std::string landscape = write(400, 300, 0, "landscape.jpg");
    std::string portrait = write(300, 400, 0, "portrait.jpg");

    std::string write(int width, int height, int orientation, const std::string& name) const {
        jpeg_options options;
        options.width = width;
        options.height = height;
        if (orientation)
            options.app_segments = {{1, exif_payload(orientation)}};
        write_file(dir.file(name), make_jpeg(options));
        return dir.file(name);
    }
};

enum corner { top_left, top_right, bottom_left, bottom_right };

// Whether the middle of that quadrant of the picture is red.
inline bool red_at(const video_data_ptr& picture, corner where) {
    const int x = picture->width() * (where & 1 ? 3 : 1) / 4;
    const int y = picture->height() * (where & 2 ? 3 : 1) / 4;
    const uint8_t* pixel = picture->data() + y * picture->line_size(0) + x * 3;
    return pixel[0] > 200 && pixel[1] < 60 && pixel[2] < 60;
}

inline media_settings_ptr workers(int count) { return media_settings::create("hardware-concurrency", count); }

// Holds a worker in the callback of a request until release() or the
// gate's end. Declare it after the manager, which joins the worker.
class worker_gate {
public:
    ~worker_gate() { release(); }

    // Returns once a worker runs the blocking request's callback.
    ControllerPtr block(slideshow2::photo_manager& manager, const std::string& path) {
        auto entered = std::make_shared<std::promise<void>>();
        std::shared_future<void> released = released_;
        auto answer = answers->receiver();
        const ControllerPtr handle = manager.open(path, [=](slideshow2::photo_manager::OpenResult result,
                                                            slideshow2::photo_ptr photo) {
            answer(result, photo);
            entered->set_value();
            released.wait();
        });
        EXPECT_EQ(std::future_status::ready, entered->get_future().wait_for(std::chrono::seconds(20)));
        return handle;
    }

    void release() {
        if (!released_done_)
            release_.set_value();
        released_done_ = true;
    }

    const std::shared_ptr<load_recorder> answers = std::make_shared<load_recorder>();

private:
    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
    bool released_done_ = false;
};

// Opens the slide and waits for its answer.
inline slideshow2::slide::OpenResult open_slide(slideshow2::slide& slide, const slideshow2::photo_manager_ptr& manager,
                                                const std::string& path, const std::string& properties = "") {
    auto calls = std::make_shared<CallbackRecorder<slideshow2::slide::OpenResult>>();
    slide.open_photo(manager, path, media_settings_ptr(), calls->receiver(), properties);
    const auto answers = calls->wait_for(1);
    EXPECT_EQ(1u, answers.size());
    return answers.empty() ? slideshow2::slide::not_opened : std::get<0>(answers[0]);
}

// A slide-properties text taken apart, and made from its parts.
struct slide_text {
    slideshow2::ken_burns_desc names;
    image::photo_desc desc;
};

inline slide_text read_slide_text(const std::string& text) {
    slide_text read;
    slideshow2::slide_properties_t properties;
    EXPECT_TRUE(slideshow2::slide_properties_from_xml(text, properties) &&
                slideshow2::ken_burns_desc_from_xml(properties.ken_burns, read.names) &&
                image::photo_desc_from_xml(properties.photo_properties, read.desc))
        << text;
    return read;
}

inline std::string write_slide_text(const slideshow2::ken_burns_desc& names, const image::photo_desc& desc) {
    return slideshow2::slide_properties_to_xml({ken_burns_desc_to_xml(names), image::photo_desc_to_xml(desc)});
}

} // namespace test
} // namespace kestrel
