#pragma once
// One libjpeg decompressor over one open JPEG file. The constructor reads
// the header (size and EXIF orientation); set_jpeg_scale then picks a DCT
// scale of 1/1, 1/2, 1/4 or 1/8, so that libjpeg shrinks large photos while
// it decodes; read_jpeg_scaled decodes once into a packed rgb8 image with an
// orientation applied as the pixels land. Colour, greyscale, CMYK and YCCK
// files all come out RGB.
//
// Errors: the text of every refusal a file can cause is its reason in plain
// words ("empty file", "not a JPEG file (it is a PNG)", "cut short",
// "too large: 65000×65000", "damaged: <libjpeg's words>"). libjpeg's fatal
// errors (not a JPEG, corrupt or unsupported data, an empty file) throw
// errors::error after logging libjpeg's text; a file that could not be
// opened or is a folder, a photo of more than 2^30 pixels, a header that
// claims more pixels than the file can hold, a file that is not 8 bits per
// sample and a failed scanline throw errors::failure with the reason
// logged. libjpeg is always left through its own error exit and a jump back
// to the reader, never unwound through. Warnings (a file cut short in its
// picture data is decoded with grey padding) are logged.
//
// One thread uses a reader from construction to the end of its decode; a
// reader decodes once and is not reused after a failure. The file handle is
// shared: it stays open as long as the reader or its opener holds it.

#include "DTUtils.h"
#include "image/DTOrientedView.h"

#include <boost/gil/typedefs.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <vector>

struct jpeg_decompress_struct;
struct jpeg_common_struct;

namespace kestrel {
namespace image {
namespace gil {

class jpeg_reader : private boost::noncopyable {
public:
    explicit jpeg_reader(const FILEPtr& file);
    ~jpeg_reader();

    // Decodes the whole picture into a view of exactly the output size:
    // an upright view, or one that stores the pixels turned or mirrored.
    void apply(const boost::gil::rgb8_view_t& view);
    void apply(const oriented_view& view);

    // Sets libjpeg's DCT scale and computes the output size for it.
    void set_scale(unsigned int numerator, unsigned int denominator);

    // EXIF orientation from the header: 1 to 8, 0 when the file has none.
    int orientation() const { return orientation_; }
    jpeg_decompress_struct* decompressor() const { return decompressor_.get(); }

    // Takes one APP segment while libjpeg reads the header: an EXIF
    // orientation in it replaces the one kept so far. Leaves libjpeg only
    // through its error exit.
    void jpeg_read_app(jpeg_decompress_struct* cinfo);
    // The processor registered with libjpeg; finds the reader in client_data.
    static int read_app_marker(jpeg_decompress_struct* cinfo);
    // libjpeg's error hooks: the fatal one logs and jumps back to the reader.
    static void jpeg_error_exit(jpeg_common_struct* cinfo);
    static void jpeg_output_message(jpeg_common_struct* cinfo);
    // Notes a file that ended early, then lets libjpeg's own hook go on.
    static void jpeg_emit_message(jpeg_common_struct* cinfo, int level);
    // libjpeg's progress hook: ends a file with an absurd number of scans
    // for its size (up to 1000 for small pictures, at least 32).
    static void scan_monitor(jpeg_common_struct* cinfo);

private:
    struct error_manager;
    enum class callback_failure { none, unexpected, out_of_memory, too_many_scans };
    typedef void (*libjpeg_step)(jpeg_decompress_struct* cinfo, void* argument);

    // Runs one libjpeg call; false when libjpeg left through its error exit.
    bool guarded(libjpeg_step step, void* argument);
    // The same, throwing the reader's error when the call failed.
    void run(libjpeg_step step, void* argument = nullptr);
    void refuse_unusable_size();
    // Greyscale decodes as RGB; CMYK and YCCK as inks, made RGB per row.
    void choose_output_colours();
    void decode(const oriented_view& view);
    [[noreturn]] void fail_from_callback(callback_failure failure);

    FILEPtr file_;
    std::unique_ptr<error_manager> errors_;
    boost::shared_ptr<jpeg_decompress_struct> decompressor_;
    int orientation_ = 0;
    int scan_limit_ = 0; // the most scans decoded, for the header's picture size
    callback_failure callback_failure_ = callback_failure::none;
    bool inverted_inks_ = false; // CMYK stored as Adobe's tools store it
    std::vector<uint8_t> segment_; // the APP segment being read
};

typedef boost::shared_ptr<jpeg_reader> jpeg_reader_ptr;

// Sets the DCT scale numerator / denominator (1 / 1, 2, 4 or 8) and
// computes the output size for it. Once, before the decode.
void set_jpeg_scale(jpeg_reader& reader, unsigned int numerator, unsigned int denominator);
// The decoded size at the current scale (x = width, y = height).
boost::gil::point_t output_dimensions(const jpeg_reader& reader);
// The same with width and height exchanged for orientations 5 to 8;
// -1 means the reader's own orientation.
boost::gil::point_t oriented_dimensions(const jpeg_reader& reader, int orientation = -1);
// Decodes into `image` (re-allocated packed when its size differs) with
// the orientation applied; -1 means the reader's own, 0 or 1 none.
void read_jpeg_scaled(jpeg_reader& reader, boost::gil::rgb8_image_t& image, int orientation = -1);
// The same into a view that already has the oriented size.
void read_jpeg_scaled(jpeg_reader& reader, const boost::gil::rgb8_view_t& target, int orientation = -1);

} // namespace gil
} // namespace image
} // namespace kestrel
