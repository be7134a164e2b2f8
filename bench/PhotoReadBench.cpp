// The photo road read as the application reads it, through reads that a
// stop can give up (within a read_interruption_scope: the reader threads of
// files/DTAbandonableRead.h), beside the same road read directly on the caller's
// thread (outside any scope), in the same run:
//   file        opening a 200 KiB file and reading it whole, nothing decoded
//   thumbnails  1,000 storyboard thumbnails (opened, then loaded at side 180,
//               softened) of 200 KiB photos, one file each
//   12 MP       12-megapixel camera-like photos decoded at their full size
// and each one's time beside the direct read's. Target: the photo road
// within 5 % of the direct read.
//
//   kestrel_photo_read_bench [rounds]   (default 5; each file's fastest round counts)
//
// The files are made first and read once before the rounds, so that every
// round reads them from the page cache: the figures are the cost of the
// road, not of the disk. Each file is used directly and through the road
// in turn, so that both meet the same load of the machine.

#include "NumberArguments.h"
#include "QuietStdout.h"
#include "files/DTAbandonableRead.h"
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

std::vector<std::string> write_copies(const test::TempDir& dir, const std::string& prefix, const std::string& bytes,
                                      int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(dir.file(prefix + std::to_string(i) + ".jpg"));
        std::ofstream(paths.back(), std::ios::binary) << bytes;
    }
    return paths;
}

// A photo with camera-like detail: about 200 KiB at 896x672.
std::string camera_like_photo(int width, int height) {
    test::jpeg_options options;
    options.width = width;
    options.height = height;
    options.quality = 92;
    return test::make_jpeg(options, test::photo_like_painter(width, height, true));
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
    double direct = 0; // ms, each file's fastest round summed
    double road = 0;
};

// Each file is used directly and through the road in turn, so that both
// meet the same load of the machine; each file's fastest round counts.
timing measure(int rounds, const std::vector<std::string>& paths, const std::function<void(const std::string&)>& use) {
    const auto use_ms = [&](const std::string& path, bool road) {
        const read_interruption_scope scope(road ? std::make_shared<read_interruption>() : read_interruption_ptr());
        const auto start = std::chrono::steady_clock::now();
        use(path);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    const bench::quiet_stdout quiet;
    for (const std::string& path : paths)
        use(path); // into the page cache
    std::vector<double> direct(paths.size(), std::numeric_limits<double>::max()), road(direct);
    for (int i = 0; i < rounds; ++i) {
        for (std::size_t k = 0; k < paths.size(); ++k) {
            direct[k] = std::min(direct[k], use_ms(paths[k], false));
            road[k] = std::min(road[k], use_ms(paths[k], true));
        }
    }
    timing total;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        total.direct += direct[k];
        total.road += road[k];
    }
    return total;
}

void print(const char* name, const timing& t, int count, const char* unit, double per) {
    std::printf("%-11s %10.1f %s %10.1f %s %+8.1f %%\n", name, t.direct * per / count, unit, t.road * per / count,
                unit, 100.0 * (t.road - t.direct) / t.direct);
}

} // namespace

int main(int argc, char** argv) {
    const command_line::arguments line(
        argc, argv,
        {"kestrel_photo_read_bench", "[rounds]",
         "Reads photos as the application does, through reads a stop can give up, and the same photos\n"
         "directly on the caller's thread, each file one way and then the other, and prints each one's time\n"
         "per file and the difference: a 200 KiB file read whole, 1,000 storyboard thumbnails, eight\n"
         "12-megapixel photos decoded whole. The files go where TMPDIR says; each file's fastest round counts.\n"
         "  rounds  1 to 1000 (default 5)\n",
         0, 1});
    if (line.ended())
        return line.exit_status();
    const std::optional<int> rounds_given = bench::whole_number(line, 0, "rounds", 5, 1, 1000);
    if (!rounds_given)
        return command_line::exit_usage;
    const int rounds = *rounds_given;
    test::TempDir dir;
    std::printf("making %d photos of 200 KiB and %d of 12 megapixels...\n", thumbnail_count, full_photo_count);
    const std::string small = camera_like_photo(896, 672);
    const std::vector<std::string> small_paths = write_copies(dir, "small", small, thumbnail_count);
    const std::vector<std::string> full_paths =
        write_copies(dir, "full", camera_like_photo(4000, 3000), full_photo_count);

    const timing file = measure(rounds, small_paths, read_whole);
    const timing thumbnails = measure(rounds, small_paths, thumbnail);
    const timing full = measure(rounds, full_paths, full_picture);

    std::printf("\n%-11s %13s %13s %10s\n", "per file", "direct", "photo road", "road");
    print("file", file, thumbnail_count, "us", 1000.0);
    print("thumbnail", thumbnails, thumbnail_count, "us", 1000.0);
    print("12 MP", full, full_photo_count, "ms", 1.0);
    std::printf("\n(%zu-byte photos for the file and thumbnail rows; each file's fastest of %d rounds; target: road "
                "within +5 %%)\n",
                small.size(), rounds);
    return 0;
}
