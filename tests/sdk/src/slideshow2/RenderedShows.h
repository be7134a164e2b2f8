#pragma once
// Shows made for the renderer's tests: JPEG photos generated with known
// colours or a single bright dot, opened on real slides through the photo
// manager, with the frames read back pixel by pixel.

#include "slideshow2/DTGilSlideshow.h"

#include "support/OpenedSlides.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrel {
namespace test {

typedef std::array<int, 3> rgb;

inline row_painter solid_painter(int width, rgb colour) {
    return [=](int, uint8_t* row) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = static_cast<uint8_t>(colour[c]);
    };
}

// Black with a white square of `side` pixels whose top-left pixel is (x, y).
inline row_painter dot_painter(int width, int x, int y, int side) {
    return [=](int row_y, uint8_t* row) {
        for (int column = 0; column < width; ++column) {
            const bool lit = column >= x && column < x + side && row_y >= y && row_y < y + side;
            for (int c = 0; c < 3; ++c)
                row[3 * column + c] = lit ? 255 : 0;
        }
    };
}

inline std::string write_photo(const TempDir& dir, const std::string& name, int width, int height,
                               const row_painter& paint) {
    jpeg_options options;
    options.width = width;
    options.height = height;
    options.quality = 95;
    const std::string path = dir.file(name);
    write_file(path, make_jpeg(options, paint));
    return path;
}

// A renderer-backed slideshow with a slide per path, each photo opened and
// playing `motion`, sized `frame_height` high at 16:9.
inline std::unique_ptr<slideshow2::gil_slideshow_impl>
make_show(const std::vector<std::string>& paths, const std::string& motion, int frame_height,
          const char* slide_seconds = "6", const char* transition_seconds = "1.2") {
    std::unique_ptr<slideshow2::gil_slideshow_impl> show(new slideshow2::gil_slideshow_impl);
    if (open_slides(*show, paths, motion) != paths.size())
        throw std::runtime_error("a photo of the show did not open");
    show->apply_settings(media_settings::create()
                             ->set("video-frame-rate", "25")
                             ->set("frame-aspect", "16/9")
                             ->set("frame-height", std::to_string(frame_height))
                             ->set("slide-duration", slide_seconds)
                             ->set("transition-duration", transition_seconds)
                             ->set("ken-burns", motion == "static" ? "0" : "1"));
    return show;
}

inline rgb pixel_at(const video_data& picture, int x, int y) {
    const uint8_t* p = picture.plane_data(0) + y * picture.line_size(0) + 3 * x;
    return rgb{p[0], p[1], p[2]};
}

// The largest channel value of the whole picture.
inline int brightest(const video_data& picture) {
    int most = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width() * 3; ++x)
            most = std::max<int>(most, picture.plane_data(0)[y * picture.line_size(0) + x]);
    return most;
}

// The frame the show's video gives for time t.
inline video_data_ptr frame_at(slideshow2::gil_slideshow_impl& show, double t) {
    show.av_source()->seek(t);
    const video_data_timed_ptr timed = show.av_source()->video()->read();
    return timed ? timed->data : video_data_ptr();
}

} // namespace test
} // namespace kestrel
