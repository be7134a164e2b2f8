// The EXIF orientation on hostile bytes: every APP segment of the input
// (laid out as ExifSegments.h says) read by the parser on its own, then all
// of them put in front of a small valid picture and read by the JPEG
// reader. The reader must report the orientation of the last segment that
// held one, among the APP segments it reads: a later segment without a tag
// keeps the earlier orientation. A wrong answer aborts.

#include "image/DTImageExif.h"
#include "image/DTJpegReader.h"

#include "support/ExifSegments.h"
#include "support/FuzzInput.h"
#include "support/TestJpeg.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

using namespace kestrel;

namespace {

// APP1 carries EXIF; the reader also looks into APP3 to APP12 and APP15,
// where some cameras put it, and leaves APP0, APP2, APP13 and APP14 to libjpeg.
bool reader_reads(int app) { return app == 1 || (app >= 3 && app <= 12) || app == 15; }

[[noreturn]] void wrong(const char* what, int got, int expected) {
    std::fprintf(stderr, "exif_orientation: %s: got %d, expected %d\n", what, got, expected);
    std::abort();
}

std::string small_picture() {
    test::jpeg_options options;
    options.width = 8;
    options.height = 8;
    return test::make_jpeg(options);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string picture = small_picture();
    const std::vector<fuzz::exif_segment> segments = fuzz::split_segments(data, size);

    int expected = 0;
    for (const fuzz::exif_segment& segment : segments) {
        const std::vector<uint8_t> payload(segment.payload.begin(), segment.payload.end());
        int orientation = -1;
        const bool found = image::image_exif::parse_image_properties(payload, orientation);
        if (!found && orientation != 0)
            wrong("a payload without the tag gave an orientation", orientation, 0);
        if (found && reader_reads(segment.app))
            expected = orientation;
    }

    std::string jpeg = fuzz::insert_segments(segments, picture);
    const FILEPtr file = fuzz::as_memory_file(jpeg);
    int got = -1;
    try {
        got = image::gil::jpeg_reader(file).orientation();
    } catch (const std::exception&) {
        wrong("the reader refused well-formed segments", got, expected);
    }
    if (got != expected)
        wrong("the reader kept another orientation", got, expected);
    return 0;
}
