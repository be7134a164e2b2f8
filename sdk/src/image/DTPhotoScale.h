#pragma once
// Renders a photo file into a packed rgb8 image of a wanted size: decoded
// at the largest DCT reduction that keeps the picture at least that big,
// oriented by its EXIF tag when asked, optionally softened, then scaled and
// turned by its rotation code in one cubic-convolution pass.
//
// `side` is the length of the longer side of the result, or of its height
// as shown (after the turn) when `fit_height`; 0 gives an empty image. `filter` > 0 softens the decoded
// picture first (strength 1.0 for thumbnails). Writes one diagnostic line
// "scale factor : <denominator>\ttarget scale : <s>" to standard output per
// render. Throws the reader's errors; errors::invalid_operation without a
// description, errors::invalid_argument when the result would be larger
// than twice a 4K frame (more than 2^24 pixels). Each render opens the file
// anew, keeps the header facts at the chosen DCT scale and the damage it
// met (a damaged file still renders) in the photo_file and closes the file
// before it returns. One thread per photo_file at a
// time.

#include "image/DTPhotoFile.h"

#include <boost/gil/typedefs.hpp>

namespace kestrel {
namespace image {
namespace gil {

// The most pixels a rendered picture may have: twice a 4K frame.
const unsigned long long max_scaled_pixels = 1ULL << 24;

// The DCT denominator (1, 2, 4 or 8) for a reference side `ref` shrunk to
// `side`: the largest power of two not above trunc(ref / side), at most 8.
unsigned int dct_denominator(unsigned int side, unsigned int ref);

void scale_photo(photo_file& file, boost::gil::rgb8_image_t& image, unsigned int side, double filter,
                 bool fit_height);
void scale_photo_unfiltered(photo_file& file, boost::gil::rgb8_image_t& image, unsigned int side,
                            bool fit_height);

} // namespace gil
} // namespace image
} // namespace kestrel
