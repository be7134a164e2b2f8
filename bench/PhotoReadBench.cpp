// The photo road read as the application reads it, through reads that a
// stop can give up (within a read_interruption_scope: the reader threads of
// DTAbandonableRead.h), beside the same road read directly on the caller's
// thread (outside any scope), in the same run:
//   file        opening a 200 KiB file and reading it whole, nothing decoded
//   thumbnails  1,000 storyboard thumbnails (opened, then loaded at side 180,
//               softened) of 200 KiB photos, one file each
//   12 MP       12-megapixel camera-like photos decoded at their full size
// and each one's time beside the direct read's. Target: the photo road
// within 5 % of the direct read.
//
//   kestrel_photo_read_bench [rounds]   (default 5; the fastest round counts)
//
// The files are made first and read once before the rounds, so that every
// round reads them from the page cache: the figures are the cost of the
// road, not of the disk.

#include "DTAbandonableRead.h"
#include "image/DTPhotoScale.h"
#include "slideshow2/DTGilPhoto.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <boost/gil/image.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

const int thumbnail_count = 1000;
const int full_photo_count = 8;

// The library logs a line per render to standard output; the figures are
// printed after the runs.
class quiet_stdout {
public:
    quiet_stdout() : saved_(std::cout.rdbuf(&null_)) {}
    ~quiet_stdout() { std::cout.rdbuf(saved_); }

private:
    struct null_buffer : std::streambuf {
        int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    } null_;
    std::streambuf* saved_;
};

std::vector<std::string> write_copies(const test::TempDir& dir, const std::string& prefix, const std::string& bytes,
                                      int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(dir.file(prefix + std::to_string(i) + ".jpg"));
        std::ofstream(paths.back(), std::ios::binary) << bytes;
    }
    return paths;
}

// A photo of about 200 KiB: camera-like detail at 896x672.
std::string small_photo() {
    test::jpeg_options options;
    options.width = 896;
    options.height = 672;
    options.quality = 92;
    return test::make_jpeg(options, test::photo_like_painter(options.width, options.height, true));
}

std::string twelve_megapixel_photo() {
    test::jpeg_options options;
    options.width = 4000;
    options.height = 3000;
    options.quality = 92;
    return test::make_jpeg(options, test::photo_like_painter(options.width, options.height, true));
}

void read_whole(const std::string& path) {
    abandonable_file file(path);
    std::vector<uint8_t> buffer(65536);
    while (file.read(buffer.data(), buffer.size()) > 0) {
    }
}

void thumbnail(const std::string& path) {
    slideshow2::gil_photo photo(path, true);
    photo.impl()->load(180, 1.0);
}

void full_picture(const std::string& path) {
    image::gil::photo_file file;
    image::photo_desc desc;
    desc.url = path;
    image::gil::set_photo_desc(file, desc);
    boost::gil::rgb8_image_t picture;
    image::gil::scale_photo_unfiltered(file, picture, 4000, false);
}

struct timing {
    double direct = std::numeric_limits<double>::max();
    double road = std::numeric_limits<double>::max();
};

// Each round reads every file once directly and once through the road, in
// turn, so that both meet the same load of the machine.
timing measure(int rounds, const std::vector<std::string>& paths, const std::function<void(const std::string&)>& use) {
    const auto run_ms = [&](bool road) {
        const read_interruption_scope scope(road ? std::make_shared<read_interruption>() : read_interruption_ptr());
        quiet_stdout quiet;
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& path : paths)
            use(path);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    run_ms(false); // into the page cache
    timing best;
    for (int i = 0; i < rounds; ++i) {
        best.direct = std::min(best.direct, run_ms(false));
        best.road = std::min(best.road, run_ms(true));
    }
    return best;
}

void print(const char* name, const timing& t, int count, const char* unit, double per) {
    std::printf("%-11s %10.1f %s %10.1f %s %+8.1f %%\n", name, t.direct * per / count, unit, t.road * per / count,
                unit, 100.0 * (t.road - t.direct) / t.direct);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    test::TempDir dir;
    std::printf("making %d photos of 200 KiB and %d of 12 megapixels...\n", thumbnail_count, full_photo_count);
    const std::string small = small_photo();
    const std::vector<std::string> small_paths = write_copies(dir, "small", small, thumbnail_count);
    const std::vector<std::string> full_paths = write_copies(dir, "full", twelve_megapixel_photo(), full_photo_count);

    const timing file = measure(rounds, small_paths, read_whole);
    const timing thumbnails = measure(rounds, small_paths, thumbnail);
    const timing full = measure(rounds, full_paths, full_picture);

    std::printf("\n%-11s %13s %13s %10s\n", "per file", "direct", "photo road", "road");
    print("file", file, thumbnail_count, "us", 1000.0);
    print("thumbnail", thumbnails, thumbnail_count, "us", 1000.0);
    print("12 MP", full, full_photo_count, "ms", 1.0);
    std::printf("\n(%zu-byte photos for the file and thumbnail rows; fastest of %d rounds; target: road within +5 %%)\n",
                small.size(), rounds);
    return 0;
}
