#include "DTJpegReader.h"

#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "files/DTAbandonableRead.h"
#include "files/DTFailureReason.h"
#include "image/DTCmykPixels.h"
#include "image/DTImageExif.h"
#include "image/DTPhotoRefusal.h"

#include <boost/gil/image.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <bitset>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <locale>
#include <new>
#include <sstream>
#include <string>
#include <type_traits>

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

namespace kestrel {
namespace image {
namespace gil {

static_assert(std::is_same<boolean, int>::value, "the APP processor returns libjpeg's boolean");

namespace {

// A photo decoded at 1/8 of its size must still fit the largest picture the
// renderer makes (2^24 pixels): beyond that the smallest decode the reader
// offers is already too big to use.
const unsigned long long max_photo_pixels = 1ULL << 30;
// Every 8x8 block of a JPEG's first component costs at least one bit, so a
// whole file holds at most 512 pixels per byte. A header that claims more
// describes data the file does not have: beyond this many pixels such a
// file is refused rather than decoded as acres of grey padding.
const unsigned long long max_pixels_per_byte = 512;
const unsigned long long min_pixels_checked = 1ULL << 24;
// What libjpeg may take for whole-image buffers (progressive files).
const long max_libjpeg_memory = 1L << 30;
// A progressive file needs about ten scans, and each scan passes over the
// whole picture: thousands only burn time, and on a large picture a few
// hundred take minutes. The limit shrinks with the picture so that no file
// costs more than this many pixels times scans, but never below what an
// encoder writes.
const int max_scans = 1000;
const int min_scan_limit = 32;
const unsigned long long max_scan_pixels = 1ULL << 31;
// Scanlines decoded per step, then stored together in the destination.
const int rows_per_batch = 16;

int scan_limit(unsigned long long pixels) {
    const unsigned long long limit = max_scan_pixels / std::max(pixels, 1ULL);
    return static_cast<int>(std::min<unsigned long long>(std::max<unsigned long long>(limit, min_scan_limit),
                                                         max_scans));
}

// Bytes asked of the input at a time.
const std::size_t input_buffer_size = 65536;
// Bytes kept from the start of the file: enough to tell what else it is.
const std::size_t head_size = 16;

// " : <name>" for a log line, nothing for a reader without a name.
std::string named(const std::string& name) { return name.empty() ? std::string() : " : " + log_quoted(name); }

// A failure that file data cannot cause: the caller's mistake.
[[noreturn]] void usage_error(const char* text) {
    log_line(logger::warning()) << text << std::endl;
    KESTREL_THROW(errors::failure(text));
}

// Whether a progressive file's scans brought every coefficient of every
// component down to its last bit (libjpeg's coef_bits: -1 none yet, else
// the lowest bit still to come).
bool every_coefficient_received(const jpeg_decompress_struct& cinfo) {
    if (!cinfo.coef_bits)
        return true;
    for (int component = 0; component < cinfo.num_components; ++component)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (cinfo.coef_bits[component][k] != 0)
                return false;
    return true;
}

struct scanline_request {
    JSAMPARRAY rows;
    JDIMENSION wanted;
    JDIMENSION delivered;
};

} // namespace

struct jpeg_reader::error_manager {
    jpeg_error_mgr manager;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    bool armed = false;
    bool fatal = false;
    bool ended_early = false; // the file ended before libjpeg had what it wanted
    bool damaged = false;     // picture data was lost or wrong
    std::bitset<JMSG_LASTMSGCODE> logged; // warnings logged once each
};

struct jpeg_reader::source_manager {
    jpeg_source_mgr manager;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(input_buffer_size);
    bool start_of_file = true;
    std::string head; // the file's first bytes
};

class jpeg_reader::input {
public:
    virtual ~input() = default;
    // Up to `size` bytes; 0 at the end. Throws the reason it cannot.
    virtual std::size_t read(JOCTET* buffer, std::size_t size) = 0;
    // The length in bytes; -1 when unknown.
    virtual long long size() const = 0;
};

class jpeg_reader::file_input : public jpeg_reader::input {
public:
    explicit file_input(std::unique_ptr<abandonable_file> file) : file_(std::move(file)) {}
    std::size_t read(JOCTET* buffer, std::size_t size) override { return file_->read(buffer, size); }
    long long size() const override { return file_->size(); }

private:
    std::unique_ptr<abandonable_file> file_;
};

class jpeg_reader::stream_input : public jpeg_reader::input {
public:
    explicit stream_input(FILEPtr file) : file_(std::move(file)) {}
    std::size_t read(JOCTET* buffer, std::size_t size) override {
        const std::size_t got = std::fread(buffer, 1, size, file_.get());
        if (got == 0 && std::ferror(file_.get()))
            KESTREL_THROW(errors::failure("cannot be read"));
        return got;
    }
    long long size() const override {
        struct stat status;
        const int fd = fileno(file_.get());
        if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
            return -1;
        return static_cast<long long>(status.st_size);
    }

private:
    FILEPtr file_;
};

namespace {

// Whether `failure` is a read given up because its interruption was
// switched on.
bool stopped_reading(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const read_interrupted&) {
        return true;
    } catch (...) {
        return false;
    }
}

jpeg_reader* reader_of(j_common_ptr cinfo) {
    return cinfo ? static_cast<jpeg_reader*>(cinfo->client_data) : nullptr;
}

} // namespace

jpeg_reader::jpeg_reader(std::unique_ptr<abandonable_file> file, std::string name)
    : jpeg_reader(std::unique_ptr<input>(file ? new file_input(std::move(file)) : nullptr), std::move(name)) {}

jpeg_reader::jpeg_reader(const FILEPtr& file)
    : jpeg_reader(std::unique_ptr<input>(file ? new stream_input(file) : nullptr), std::string()) {}

jpeg_reader::jpeg_reader(std::unique_ptr<input> bytes, std::string name)
    : input_(std::move(bytes)), name_(std::move(name)), errors_(new error_manager()),
      source_(new source_manager()),
      decompressor_(new jpeg_decompress_struct(), [](jpeg_decompress_struct* cinfo) {
          // Safe before creation too: libjpeg skips a structure without memory.
          jpeg_destroy_decompress(cinfo);
          delete cinfo;
      }) {
    log_line(logger::info()) << "[jpeg_reader::jpeg_reader]" << named(name_) << std::endl;
    if (!input_)
        refuse("cannot be opened");

    jpeg_decompress_struct* cinfo = decompressor_.get();
    cinfo->client_data = this;
    scan_limit_ = max_scans; // until the header gives the picture's size
    cinfo->err = jpeg_std_error(&errors_->manager);
    errors_->manager.error_exit = &jpeg_reader::jpeg_error_exit;
    errors_->manager.output_message = &jpeg_reader::jpeg_output_message;
    errors_->manager.emit_message = &jpeg_reader::jpeg_emit_message;
    errors_->progress.progress_monitor = &jpeg_reader::scan_monitor;
    jpeg_source_mgr& source = source_->manager;
    source.init_source = &jpeg_reader::init_source;
    source.fill_input_buffer = &jpeg_reader::fill_input_buffer;
    source.skip_input_data = &jpeg_reader::skip_input_data;
    source.resync_to_restart = &jpeg_resync_to_restart;
    source.term_source = &jpeg_reader::term_source;
    source.next_input_byte = nullptr;
    source.bytes_in_buffer = 0;

    run([](j_decompress_ptr c, void* source_hooks) {
        jpeg_create_decompress(c);
        c->mem->max_memory_to_use = max_libjpeg_memory;
        c->src = static_cast<jpeg_source_mgr*>(source_hooks);
    }, &source);
    cinfo->progress = &errors_->progress;
    run([](j_decompress_ptr c, void*) {
        jpeg_set_marker_processor(c, JPEG_APP0 + 1, &jpeg_reader::read_app_marker);
        for (int marker = JPEG_APP0 + 3; marker <= JPEG_APP0 + 12; ++marker)
            jpeg_set_marker_processor(c, marker, &jpeg_reader::read_app_marker);
        jpeg_set_marker_processor(c, JPEG_APP0 + 15, &jpeg_reader::read_app_marker);
    });

    int header = JPEG_HEADER_OK;
    run([](j_decompress_ptr c, void* result) { *static_cast<int*>(result) = jpeg_read_header(c, TRUE); },
        &header);
    if (header != JPEG_HEADER_OK) {
        log_line(logger::warning()) << "[jpeg_reader] : invalid jpeg image (header not found)" << named(name_)
                                    << std::endl;
        KESTREL_THROW(errors::error("damaged: no picture in it") << errinfo_api_function("jpeg_read_header"));
    }
    log_line(logger::info()) << "[jpeg_reader] : jpeg header found" << std::endl;
    refuse_unusable_size();
    scan_limit_ = scan_limit(static_cast<unsigned long long>(cinfo->image_width) * cinfo->image_height);
    choose_output_colours();
    run([](j_decompress_ptr c, void*) { jpeg_calc_output_dimensions(c); });
}

void jpeg_reader::refuse(const std::string& reason) const {
    log_line(logger::warning()) << "[jpeg_reader] : " << reason << named(name_) << std::endl;
    KESTREL_THROW(errors::failure(reason));
}

std::string jpeg_reader::damage() const {
    if (!errors_->damaged)
        return std::string();
    return damage_reason(errors_->ended_early, decompressor_->progressive_mode != 0);
}

void jpeg_reader::init_source(jpeg_decompress_struct* cinfo) {
    jpeg_reader* reader = reader_of(reinterpret_cast<j_common_ptr>(cinfo));
    if (!reader)
        std::abort(); // unreachable: every decompressor has its reader
    reader->source_->start_of_file = true;
}

std::size_t jpeg_reader::read_input() noexcept {
    try {
        source_manager& source = *source_;
        const std::size_t got = input_->read(source.buffer.data(), source.buffer.size());
        if (source.head.size() < head_size)
            source.head.append(reinterpret_cast<const char*>(source.buffer.data()),
                               std::min(got, head_size - source.head.size()));
        return got;
    } catch (...) {
        input_failure_ = std::current_exception();
        return read_failed;
    }
}

int jpeg_reader::fill_input_buffer(jpeg_decompress_struct* cinfo) {
    // Only plain values live here: libjpeg's error exit jumps out of it.
    jpeg_reader* reader = reader_of(reinterpret_cast<j_common_ptr>(cinfo));
    if (!reader)
        std::abort(); // unreachable: every decompressor has its reader
    std::size_t got = reader->read_input();
    if (got == read_failed)
        reader->fail_from_callback(callback_failure::input_failed);
    source_manager& source = *reader->source_;
    if (got == 0) {
        if (source.start_of_file)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // The file ended early: libjpeg gets an end marker and pads the
        // rest of the picture with grey.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source.buffer[0] = 0xFF;
        source.buffer[1] = JPEG_EOI;
        got = 2;
    }
    source.start_of_file = false;
    source.manager.next_input_byte = source.buffer.data();
    source.manager.bytes_in_buffer = got;
    return TRUE;
}

void jpeg_reader::skip_input_data(jpeg_decompress_struct* cinfo, long count) {
    jpeg_source_mgr* source = cinfo->src;
    if (count <= 0)
        return;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        source->fill_input_buffer(cinfo); // at the end it supplies an end marker
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void jpeg_reader::term_source(jpeg_decompress_struct*) {}

void jpeg_reader::choose_output_colours() {
    jpeg_decompress_struct* cinfo = decompressor_.get();
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo->out_color_space = JCS_RGB; // libjpeg spreads the grey over red, green and blue
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        // libjpeg gives the inks (YCCK turned back into them); the reader
        // makes them RGB row by row.
        cinfo->out_color_space = JCS_CMYK;
        inverted_inks_ = cinfo->saw_Adobe_marker != 0;
        break;
    default:
        break;
    }
}

jpeg_reader::~jpeg_reader() = default;

void jpeg_reader::refuse_unusable_size() {
    const jpeg_decompress_struct* cinfo = decompressor_.get();
    const unsigned long long pixels =
        static_cast<unsigned long long>(cinfo->image_width) * cinfo->image_height;
    if (pixels > max_photo_pixels)
        refuse(too_large_reason(cinfo->image_width, cinfo->image_height));
    const long long length = input_->size();
    if (length < 0)
        return;
    const unsigned long long bytes = static_cast<unsigned long long>(length);
    if (pixels > min_pixels_checked && pixels > bytes * max_pixels_per_byte)
        refuse(impossible_size_reason(cinfo->image_width, cinfo->image_height));
}

bool jpeg_reader::guarded(libjpeg_step step, void* argument) {
    // No object with a destructor lives in this frame: libjpeg's error exit
    // jumps back here from inside the library.
    error_manager* errors = errors_.get();
    jpeg_decompress_struct* cinfo = decompressor_.get();
    if (setjmp(errors->jump) != 0) {
        errors->armed = false;
        return false;
    }
    errors->armed = true;
    step(cinfo, argument);
    errors->armed = false;
    return true;
}

void jpeg_reader::run(libjpeg_step step, void* argument) {
    if (guarded(step, argument))
        return;
    const callback_failure failure = callback_failure_;
    callback_failure_ = callback_failure::none;
    switch (failure) {
    case callback_failure::unexpected:
        KESTREL_THROW(errors::unexpected());
    case callback_failure::out_of_memory:
        KESTREL_THROW(errors::bad_alloc() << errinfo_reason("too large to decode in the memory there is"));
    case callback_failure::too_many_scans:
        refuse("damaged: too many scans");
    case callback_failure::input_failed:
        // A read given up because its reader stopped (a cache that closes,
        // a stop) is no fault of the file: whoever stopped it says so.
        log_line(stopped_reading(input_failure_) ? logger::info() : logger::warning())
            << "[jpeg_reader] : " << errors::log_text_of(input_failure_) << named(name_) << std::endl;
        std::rethrow_exception(input_failure_);
    case callback_failure::none:
        break;
    }
    const jpeg_decompress_struct& cinfo = *decompressor_;
    KESTREL_THROW(errors::error(
        libjpeg_failure_reason(cinfo, cinfo.err->msg_code, errors_->ended_early, source_->head)));
}

void jpeg_reader::scan_monitor(jpeg_common_struct* cinfo) {
    jpeg_reader* reader = reader_of(cinfo);
    if (reader && reader->decompressor_->input_scan_number > reader->scan_limit_)
        reader->fail_from_callback(callback_failure::too_many_scans);
}

void jpeg_reader::fail_from_callback(callback_failure failure) {
    callback_failure_ = failure;
    if (!errors_->armed)
        std::abort(); // unreachable: every libjpeg call runs guarded
    std::longjmp(errors_->jump, 1);
}

namespace {

// One byte of the current segment, refilling libjpeg's buffer when it runs
// dry. At the end of the file libjpeg's source supplies an end marker.
unsigned int next_byte(j_decompress_ptr cinfo) {
    jpeg_source_mgr* source = cinfo->src;
    if (source->bytes_in_buffer == 0 && !source->fill_input_buffer(cinfo))
        return 0xD9;
    --source->bytes_in_buffer;
    return *source->next_input_byte++;
}

bool resize_noexcept(std::vector<uint8_t>& buffer, std::size_t size) noexcept {
    try {
        buffer.resize(size);
        return true;
    } catch (...) {
        return false;
    }
}

bool take_orientation(const std::vector<uint8_t>& segment, int& orientation) noexcept {
    int found = 0;
    if (!image_exif::parse_image_properties(segment, found))
        return false;
    orientation = found;
    return true;
}

} // namespace

void jpeg_reader::jpeg_read_app(jpeg_decompress_struct* cinfo) {
    // Only plain values live here: reading may enter libjpeg's error exit.
    if (!cinfo || !cinfo->src)
        fail_from_callback(callback_failure::unexpected);
    unsigned int length = next_byte(cinfo) << 8;
    length += next_byte(cinfo);
    if (length <= 2)
        return;
    if (!resize_noexcept(segment_, length - 2))
        fail_from_callback(callback_failure::out_of_memory);
    for (unsigned int i = 0; i < length - 2; ++i)
        segment_[i] = static_cast<uint8_t>(next_byte(cinfo));
    // Cameras write APP segments after their EXIF block: a segment without
    // an orientation keeps the one found before.
    take_orientation(segment_, orientation_);
}

int jpeg_reader::read_app_marker(jpeg_decompress_struct* cinfo) {
    jpeg_reader* reader = reader_of(reinterpret_cast<j_common_ptr>(cinfo));
    if (!reader)
        std::abort(); // unreachable: libjpeg hands back the structure we registered with
    reader->jpeg_read_app(cinfo);
    return TRUE;
}

void jpeg_reader::jpeg_output_message(jpeg_common_struct* cinfo) {
    try {
        char text[JMSG_LENGTH_MAX] = {0};
        cinfo->err->format_message(cinfo, text);
        jpeg_reader* reader = reader_of(cinfo);
        const bool fatal = reader && reader->errors_->fatal;
        log_line(fatal ? logger::error() : logger::warning())
            << "[jpeg_reader][libjpeg] message : " << text << (reader ? named(reader->name_) : std::string())
            << std::endl;
    } catch (...) {
        // A message that cannot be logged is dropped; decoding goes on.
    }
}

namespace {

void log_fatal_error(const std::string& name) noexcept {
    try {
        log_line(logger::error()) << "[jpeg_reader][libjpeg] fatal error" << named(name) << std::endl;
    } catch (...) {
    }
}

} // namespace

void jpeg_reader::jpeg_emit_message(jpeg_common_struct* cinfo, int level) {
    jpeg_reader* reader = reader_of(cinfo);
    if (!reader)
        std::abort(); // unreachable: every decompressor has its reader
    if (level > 0)
        return; // libjpeg's trace of its work: nobody asked for it
    if (level == 0) {
        cinfo->err->output_message(cinfo); // an advisory, logged as it comes
        return;
    }
    error_manager& errors = *reader->errors_;
    const int code = cinfo->err->msg_code;
    // The end of the file alone is no loss (a file may lack just its end
    // marker): the decoder says so when it runs short of picture data.
    if (code == JWRN_JPEG_EOF)
        errors.ended_early = true;
    else if (is_damage_warning(code))
        errors.damaged = true;
    ++cinfo->err->num_warnings;
    // A damaged file repeats its warning for every block it cannot read.
    const bool known = code >= 0 && code < JMSG_LASTMSGCODE;
    if (known && errors.logged.test(static_cast<std::size_t>(code)))
        return;
    if (known)
        errors.logged.set(static_cast<std::size_t>(code));
    cinfo->err->output_message(cinfo);
}

void jpeg_reader::jpeg_error_exit(jpeg_common_struct* cinfo) {
    jpeg_reader* reader = reader_of(cinfo);
    if (!reader)
        std::abort(); // unreachable: every decompressor has its reader
    log_fatal_error(reader->name_);
    reader->errors_->fatal = true;
    cinfo->err->output_message(cinfo);
    reader->errors_->fatal = false;
    reader->fail_from_callback(reader->callback_failure_);
}

void jpeg_reader::apply(const boost::gil::rgb8_view_t& view) {
    const std::ptrdiff_t row = view.width() > 0 ? view.pixels().row_size() : 0;
    uint8_t* origin = view.width() > 0 && view.height() > 0 ? &boost::gil::at_c<0>(view(0, 0)) : nullptr;
    decode({origin, 3, row, static_cast<int>(view.width()), static_cast<int>(view.height())});
}

void jpeg_reader::apply(const oriented_view& view) { decode(view); }

void jpeg_reader::decode(const oriented_view& view) {
    jpeg_decompress_struct* cinfo = decompressor_.get();
    // Checked before libjpeg starts: a progressive file is read whole at the start.
    if (cinfo->data_precision != 8)
        refuse("unsupported JPEG: " + std::to_string(cinfo->data_precision) + " bits per sample");
    const bool inks = cinfo->out_color_space == JCS_CMYK && cinfo->out_color_components == 4;
    if (!inks && (cinfo->out_color_space != JCS_RGB || cinfo->out_color_components != 3))
        refuse("unsupported JPEG: " + std::to_string(cinfo->num_components) + " colour components");
    if (static_cast<JDIMENSION>(view.width) != cinfo->output_width ||
        static_cast<JDIMENSION>(view.height) != cinfo->output_height)
        usage_error("[jpeg_reader::apply] : input view dimensions do not match the image file");

    run([](j_decompress_ptr c, void*) { jpeg_start_decompress(c); });
    const auto start = std::chrono::steady_clock::now();

    // Upright RGB rows are decoded in place; others go through a batch of
    // rows that is then made RGB and stored turned or mirrored.
    const bool in_place = view.step_x == 3 && !inks;
    const int width = static_cast<int>(cinfo->output_width);
    const std::size_t stride = static_cast<std::size_t>(width) * (inks ? 4 : 3);
    std::vector<uint8_t> batch(in_place ? 0 : stride * rows_per_batch);
    std::vector<JSAMPROW> rows(rows_per_batch);

    const int height = static_cast<int>(cinfo->output_height);
    for (int y = 0; y < height;) {
        const int count = std::min(rows_per_batch, height - y);
        for (int k = 0; k < count; ++k)
            rows[k] = in_place ? view.at(0, y + k) : batch.data() + k * stride;
        for (int k = 0; k < count;) {
            scanline_request request = {rows.data() + k, static_cast<JDIMENSION>(count - k), 0};
            run([](j_decompress_ptr c, void* r) {
                auto* req = static_cast<scanline_request*>(r);
                req->delivered = jpeg_read_scanlines(c, req->rows, req->wanted);
            }, &request);
            if (request.delivered == 0)
                refuse("could not be decoded");
            k += static_cast<int>(request.delivered);
        }
        if (inks)
            for (int k = 0; k < count; ++k)
                cmyk_row_to_rgb(batch.data() + k * stride, width, inverted_inks_);
        if (!in_place)
            copy_rows(view, batch.data(), stride, y, count);
        y += count;
    }

    // A progressive file that ended between its scans lacks detail, which
    // no warning tells: its coefficients are not all complete. Looked at
    // before the finish frees libjpeg's record of them.
    if (errors_->ended_early && cinfo->progressive_mode && !every_coefficient_received(*cinfo))
        errors_->damaged = true;
    run([](j_decompress_ptr c, void*) { jpeg_finish_decompress(c); });
    const double elapsed_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::ostringstream seconds;
    seconds.imbue(std::locale::classic());
    seconds << std::fixed << std::setprecision(3) << elapsed_ms / 1000.0;
    log_line(logger::info()) << "[jpeg_reader::apply] time " << seconds.str() << std::endl;
}

void jpeg_reader::set_scale(unsigned int numerator, unsigned int denominator) {
    if (numerator == 0 || denominator == 0)
        KESTREL_THROW(errors::invalid_argument("[jpeg_reader] : scale must not be zero"));
    jpeg_decompress_struct* cinfo = decompressor_.get();
    cinfo->scale_num = numerator;
    cinfo->scale_denom = denominator;
    run([](j_decompress_ptr c, void*) { jpeg_calc_output_dimensions(c); });
}

void set_jpeg_scale(jpeg_reader& reader, unsigned int numerator, unsigned int denominator) {
    reader.set_scale(numerator, denominator);
}

boost::gil::point_t output_dimensions(const jpeg_reader& reader) {
    const jpeg_decompress_struct* cinfo = reader.decompressor();
    return boost::gil::point_t(cinfo->output_width, cinfo->output_height);
}

boost::gil::point_t oriented_dimensions(const jpeg_reader& reader, int orientation) {
    if (orientation == -1)
        orientation = reader.orientation();
    const boost::gil::point_t size = output_dimensions(reader);
    return orientation_swaps_sides(orientation) ? boost::gil::point_t(size.y, size.x) : size;
}

void read_jpeg_scaled(jpeg_reader& reader, boost::gil::rgb8_image_t& image, int orientation) {
    if (orientation == -1)
        orientation = reader.orientation();
    const boost::gil::point_t oriented = oriented_dimensions(reader, orientation);
    ensure_packed_image(image, oriented.x, oriented.y);
    read_jpeg_scaled(reader, boost::gil::view(image), orientation);
}

void read_jpeg_scaled(jpeg_reader& reader, const boost::gil::rgb8_view_t& target, int orientation) {
    if (orientation == -1)
        orientation = reader.orientation();
    if (target.dimensions() != oriented_dimensions(reader, orientation))
        usage_error("[jpeg_reader::apply] : input view dimensions do not match the image file");
    const boost::gil::point_t size = output_dimensions(reader);
    reader.apply(make_oriented_view(target, static_cast<int>(size.x), static_cast<int>(size.y), orientation));
}

} // namespace gil
} // namespace image
} // namespace kestrel
