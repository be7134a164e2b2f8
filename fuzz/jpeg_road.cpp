// The photo road on hostile bytes, as the slideshow takes a photo: the file
// described with its EXIF orientation applied, rendered as a softened
// thumbnail, then turned by the user and rendered at a frame's height (or
// its longer side). Failures must be the library's exceptions, and a
// render that succeeds has exactly the side it was asked for.

#include "image/DTPhotoScale.h"

#include "support/FuzzInput.h"

#include <boost/gil/image.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

using namespace kestrel;
using namespace kestrel::image;

namespace {

const unsigned int thumbnail_side = 180;
const unsigned int frame_side = 360;

void render(gil::photo_file& file, unsigned int side, double filter, bool fit_height) {
    boost::gil::rgb8_image_t image;
    gil::scale_photo(file, image, side, filter, fit_height);
    const std::ptrdiff_t width = image.width();
    const std::ptrdiff_t height = image.height();
    const std::ptrdiff_t measured = fit_height ? height : std::max(width, height);
    if (measured != static_cast<std::ptrdiff_t>(side)) {
        std::fprintf(stderr, "jpeg_road: asked for side %u (fit_height %d), got %td x %td\n", side,
                     fit_height ? 1 : 0, width, height);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    photo_desc desc;
    desc.url = fuzz::as_file(data, size);
    desc.transform.correct_orientantion = true;
    // The turn and the fit come from the length, so seeds stay plain JPEG files.
    const int turns = static_cast<int>(size % 4);
    const bool fit_height = size % 8 >= 4;
    try {
        gil::photo_file file;
        gil::set_photo_desc(file, desc);
        render(file, thumbnail_side, 1.0, false);
        desc.transform.rotate = quarter_turns_to_rotation(turns);
        gil::set_photo_desc(file, desc);
        render(file, frame_side, 0.0, fit_height);
    } catch (const std::exception&) {
        // A refused or damaged file: the error is the expected answer.
    }
    return 0;
}
