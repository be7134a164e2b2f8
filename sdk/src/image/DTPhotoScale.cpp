#include "DTPhotoScale.h"

#include "base/DTErrors.h"
#include "image/DTBicubicResample.h"
#include "image/DTGaussianFilter.h"

#include <boost/gil/image.hpp>

#include <cstdint>
#include <iostream>
#include <locale>
#include <memory>
#include <sstream>

namespace kestrel {
namespace image {
namespace gil {

namespace {

// Twice a 4K frame (8.3 million pixels), room for a wide panorama at the
// largest frame height. A sliver of a photo shown turned at a frame's
// height stretches its length by the same factor as its width; above this
// it costs hundreds of megabytes and seconds of resampling for a picture
// no frame can show.
const unsigned long long max_output_pixels = max_scaled_pixels;

// Which decoded side `side` applies to: the longer one, or with
// `fit_height` the one that is shown upright once the photo is turned.
bool width_is_reference(const boost::gil::point_t& size, bool fit_height, bool turned) {
    return fit_height ? turned : size.x > size.y;
}

unsigned int reference_side(const boost::gil::point_t& size, bool fit_height, bool turned) {
    return static_cast<unsigned int>(width_is_reference(size, fit_height, turned) ? size.x : size.y);
}

void print_scale(unsigned int denominator, double scale) {
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << "scale factor : " << denominator << "\ttarget scale : " << scale << '\n';
    std::cout << line.str() << std::flush;
}

} // namespace

unsigned int dct_denominator(unsigned int side, unsigned int ref) {
    if (side == 0 || ref == 0)
        return 1;
    const double ratio = 1.0 / (static_cast<double>(side) / ref);
    unsigned int denominator = 1;
    while (denominator < 8 && ratio >= denominator * 2)
        denominator *= 2;
    return denominator;
}

void scale_photo(photo_file& file, boost::gil::rgb8_image_t& image, unsigned int side, double filter,
                 bool fit_height) {
    if (!file.described_)
        KESTREL_THROW(errors::invalid_operation("[scale_photo] : photo file without description"));
    // Local: the file and the decoder are released when the render ends.
    const jpeg_reader_ptr opened = open_jpeg(file.desc_.url);
    jpeg_reader& reader = *opened;
    file.header_ = header_facts(reader);
    file.damage_.clear();
    const bool oriented = file.desc_.transform.correct_orientantion;
    const int turns = rotation_to_quarter_turns(file.desc_.transform.rotate);
    const bool turned = turns % 2 != 0;

    const boost::gil::point_t full = oriented ? oriented_dimensions(reader) : output_dimensions(reader);
    if (side == 0 || full.x <= 0 || full.y <= 0) {
        image.recreate(0, 0, 0); // nothing to draw at size zero
        return;
    }
    const unsigned int denominator = dct_denominator(side, reference_side(full, fit_height, turned));
    set_jpeg_scale(reader, 1, denominator);
    file.header_ = header_facts(reader);

    // The decoded size is known before decoding. Its reference side becomes
    // exactly `side`; the other one is truncated in integers, so that no
    // rounding of the scale loses a pixel.
    const boost::gil::point_t size = oriented ? oriented_dimensions(reader) : output_dimensions(reader);
    const bool by_width = width_is_reference(size, fit_height, turned);
    const unsigned int ref = reference_side(size, fit_height, turned);
    const unsigned long long other = static_cast<unsigned long long>(by_width ? size.y : size.x);
    const unsigned long long other_scaled = other * side / ref;
    if (side > max_output_pixels || other_scaled * side > max_output_pixels)
        KESTREL_THROW(errors::invalid_argument("[scale_photo] : requested size too large"));
    const int width = static_cast<int>(by_width ? side : other_scaled);
    const int height = static_cast<int>(by_width ? other_scaled : side);

    // Decoded into memory that is not cleared first: libjpeg writes all of it.
    const std::size_t row_bytes = static_cast<std::size_t>(size.x) * 3;
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[row_bytes * static_cast<std::size_t>(size.y)]);
    const boost::gil::rgb8_view_t decoded = boost::gil::interleaved_view(
        size.x, size.y, reinterpret_cast<boost::gil::rgb8_pixel_t*>(pixels.get()), row_bytes);
    read_jpeg_scaled(reader, decoded, oriented ? reader.orientation() : 0);
    file.damage_ = reader.damage();
    const double scale = static_cast<double>(side) / ref;
    print_scale(denominator, scale);

    if (filter > 0.0)
        convolve_kernel(decoded, scale, filter);
    resample_turned(decoded, scale, width, height, turns, image);
}

void scale_photo_unfiltered(photo_file& file, boost::gil::rgb8_image_t& image, unsigned int side,
                            bool fit_height) {
    scale_photo(file, image, side, 0.0, fit_height);
}

} // namespace gil
} // namespace image
} // namespace kestrel
