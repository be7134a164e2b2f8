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
// errors::error after logging libjpeg's text; a photo of more than 2^30
// pixels, a header that claims more pixels than the file can hold, a file
// that is not 8 bits per sample, a failed scanline and a file that cannot
// be read throw errors::failure with the reason logged; a read given up
// throws read_interrupted (files/DTAbandonableRead.h). libjpeg is always left
// through its own error exit and a jump back to the reader, never unwound
// through.
//
// A damaged file that libjpeg decodes all the same (one that ends early is
// padded with grey, corrupt data is skipped) gives a picture: damage() then
// says why it shows only in part. Every message of libjpeg goes to the log
// with the file's name, warnings of one kind once; nothing goes to the
// standard streams.
//
// One thread uses a reader from construction to the end of its decode; a
// reader decodes once and is not reused after a failure. It owns what it
// reads from.

#include "base/DTUtils.h"
#include "image/DTOrientedView.h"

#include <boost/gil/typedefs.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

struct jpeg_decompress_struct;
struct jpeg_common_struct;

namespace kestrel {

class abandonable_file;

namespace image {
namespace gil {

class jpeg_reader : private boost::noncopyable {
public:
    // Reads the opened file; `name`, its path, names it in the log.
    jpeg_reader(std::unique_ptr<abandonable_file> file, std::string name);
    // Reads an open stream (a memory stream too); a null one is refused.
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
    // Why the picture decoded so far shows only in part ("cut short: the
    // lower part is grey", "damaged: ..."); empty while it is whole.
    std::string damage() const;
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
    // Notes a warning that tells of damage, and logs the first of its kind.
    static void jpeg_emit_message(jpeg_common_struct* cinfo, int level);
    // libjpeg's progress hook: ends a file with an absurd number of scans
    // for its size (up to 1000 for small pictures, at least 32).
    static void scan_monitor(jpeg_common_struct* cinfo);

private:
    class input; // where the bytes come from
    class file_input;
    class stream_input;
    struct error_manager;
    struct source_manager;
    enum class callback_failure { none, unexpected, out_of_memory, too_many_scans, input_failed };
    typedef void (*libjpeg_step)(jpeg_decompress_struct* cinfo, void* argument);

    jpeg_reader(std::unique_ptr<input> bytes, std::string name);
    // libjpeg's source hooks over input_.
    static void init_source(jpeg_decompress_struct* cinfo);
    static int fill_input_buffer(jpeg_decompress_struct* cinfo);
    static void skip_input_data(jpeg_decompress_struct* cinfo, long count);
    static void term_source(jpeg_decompress_struct* cinfo);
    // Reads the next bytes into the source's buffer: their count, or
    // read_failed with input_failure_ set. Never throws.
    std::size_t read_input() noexcept;
    static const std::size_t read_failed = static_cast<std::size_t>(-1);
    // A refusal whose text is the reason the user sees; logged with the name.
    [[noreturn]] void refuse(const std::string& reason) const;

    // Runs one libjpeg call; false when libjpeg left through its error exit.
    bool guarded(libjpeg_step step, void* argument);
    // The same, throwing the reader's error when the call failed.
    void run(libjpeg_step step, void* argument = nullptr);
    void refuse_unusable_size();
    // Greyscale decodes as RGB; CMYK and YCCK as inks, made RGB per row.
    void choose_output_colours();
    void decode(const oriented_view& view);
    [[noreturn]] void fail_from_callback(callback_failure failure);

    std::unique_ptr<input> input_;
    const std::string name_;
    std::exception_ptr input_failure_; // why the input could not be read
    std::unique_ptr<error_manager> errors_;
    std::unique_ptr<source_manager> source_;
    // Last: destroyed first, while what libjpeg points to still stands.
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
