// Time from a 12-megapixel JPEG to the pictures the slideshow asks for,
// beside libjpeg-turbo decoding the same file in the same run:
//   thumbnail   a storyboard photo: opened and loaded at side 180, softened
//   1280x720    the renderer's picture for that frame, as large as a zooming
//               Ken Burns motion shows the photo (with the default slide and
//               transition lengths)
//   1920x1080   the same for a full-HD frame
// and, as the floor no caller of libjpeg goes below, libjpeg-turbo alone
// decoding at the DCT scales those pictures use (1/8 and 1/2).
//
//   kestrel_photo_bench [rounds]      (default 5; the fastest run counts)
//
// Two generated photos: a smooth one (gradients, about 0.3 bits per pixel)
// and a detailed one (texture and grain, about 2.6 bits per pixel, like a
// camera's own file). Targets: the thumbnail at most 0.25 and the 1280x720
// picture at most 0.6 of the full decode.

#include "NumberArguments.h"
#include "QuietStdout.h"
#include "image/DTPhotoScale.h"
#include "slideshow2/DTGilPhoto.h"
#include "slideshow2/DTMotionDecodeSize.h"
#include "support/TestJpeg.h"

#include <boost/gil/image.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

using namespace kestrel;

namespace {

const int photo_width = 4000;
const int photo_height = 3000;

// libjpeg-turbo on its own: the picture as RGB rows at 1/denominator.
void libjpeg_decode(const std::string& path, unsigned int denominator) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw std::runtime_error("cannot open " + path);
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.scale_num = 1;
    cinfo.scale_denom = denominator;
    jpeg_start_decompress(&cinfo);
    std::vector<unsigned char> row(static_cast<std::size_t>(cinfo.output_width) * 3);
    JSAMPROW pointer = row.data();
    while (cinfo.output_scanline < cinfo.output_height)
        jpeg_read_scanlines(&cinfo, &pointer, 1);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
}

void thumbnail(const std::string& path) {
    slideshow2::gil_photo photo(path, true);
    photo.impl()->load(180, 1.0);
}

// The side the renderer's cache decodes the photos at for a frame: a
// landscape motion that starts zoomed in, slides of 6 s with transitions
// of 1.2 s.
unsigned int renderer_side(int frame_width, int frame_height) {
    const double progress_margin = 0.5 * 1.2 / 6.0;
    return slideshow2::motion_decode_side(frame_width, frame_height, photo_width, photo_height, "ls_center_out",
                                          progress_margin, image::gil::max_scaled_pixels);
}

// What the renderer's cache does for one slide.
void frame_picture(const std::string& path, unsigned int side) {
    image::gil::photo_file file;
    image::photo_desc desc;
    desc.url = path;
    desc.transform.correct_orientantion = true;
    image::gil::set_photo_desc(file, desc);
    boost::gil::rgb8_image_t picture;
    image::gil::scale_photo_unfiltered(file, picture, side, false);
}

double fastest_ms(int rounds, const std::function<void()>& run) {
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < rounds; ++i) {
        bench::quiet_stdout quiet;
        const auto start = std::chrono::steady_clock::now();
        run();
        const auto stop = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
    }
    return best;
}

void measure(const char* name, bool detailed, int rounds) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "kestrel-photo-bench.jpg").string();
    test::jpeg_options options;
    options.width = photo_width;
    options.height = photo_height;
    options.quality = 92;
    const std::string jpeg = test::make_jpeg(options, test::photo_like_painter(photo_width, photo_height, detailed));
    std::ofstream(path, std::ios::binary) << jpeg;

    const double full = fastest_ms(rounds, [&] { libjpeg_decode(path, 1); });
    const double eighth = fastest_ms(rounds, [&] { libjpeg_decode(path, 8); });
    const double half = fastest_ms(rounds, [&] { libjpeg_decode(path, 2); });
    const double thumb = fastest_ms(rounds, [&] { thumbnail(path); });
    const unsigned int hd_side = renderer_side(1280, 720), full_hd_side = renderer_side(1920, 1080);
    const double hd = fastest_ms(rounds, [&] { frame_picture(path, hd_side); });
    const double full_hd = fastest_ms(rounds, [&] { frame_picture(path, full_hd_side); });
    std::filesystem::remove(path);

    std::printf("%s photo %dx%d, quality 92, %.2f MB (%.2f bits per pixel)\n", name, photo_width, photo_height,
                jpeg.size() / 1e6, jpeg.size() * 8.0 / (photo_width * photo_height));
    std::printf("  libjpeg-turbo full decode       %7.1f ms\n", full);
    std::printf("  libjpeg-turbo alone at 1/8     %7.1f ms  %5.2fx  (floor of the thumbnail)\n", eighth,
                eighth / full);
    std::printf("  libjpeg-turbo alone at 1/2     %7.1f ms  %5.2fx  (floor of the 1280x720 picture)\n", half,
                half / full);
    std::printf("  thumbnail, side 180            %7.1f ms  %5.2fx  (target <= 0.25x)\n", thumb, thumb / full);
    std::printf("  1280x720 frame, side %-4u      %7.1f ms  %5.2fx  (target <= 0.60x)\n", hd_side, hd, hd / full);
    std::printf("  1920x1080 frame, side %-4u     %7.1f ms  %5.2fx\n", full_hd_side, full_hd, full_hd / full);
}

} // namespace

int main(int argc, char** argv) {
    const command_line::arguments line(
        argc, argv,
        {"kestrel_photo_bench", "[rounds]",
         "Makes two 12-megapixel JPEGs (a smooth one and a camera-like detailed one) and times, beside\n"
         "libjpeg-turbo's full decode of the same file, a storyboard thumbnail, the renderer's pictures for\n"
         "1280x720 and 1920x1080 frames, and libjpeg-turbo alone at the DCT scales those use; the fastest\n"
         "round counts.\n"
         "  rounds  1 to 1000 (default 5)\n",
         0, 1});
    if (line.ended())
        return line.exit_status();
    const std::optional<int> rounds_given = bench::whole_number(line, 0, "rounds", 5, 1, 1000);
    if (!rounds_given)
        return command_line::exit_usage;
    const int rounds = *rounds_given;
    std::printf("fastest of %d rounds\n", rounds);
    measure("smooth", false, rounds);
    measure("detailed", true, rounds);
    return 0;
}
