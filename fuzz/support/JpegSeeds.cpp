// Writes the seed files of the photo targets, made with the tests' own JPEG
// and EXIF maker so that every seed is a file of known make:
//
//   jpeg_seeds road <folder>   whole JPEG files for jpeg_road
//   jpeg_seeds exif <folder>   runs of APP segments for exif_orientation
//                              (the layout ExifSegments.h reads)

#include "support/ExifSegments.h"
#include "support/TestJpeg.h"

#include "CommandLine.h"

#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

using namespace kestrel;
using test::jpeg_options;

namespace {

typedef std::pair<int, std::string> app_segment;

const char xmp[] = "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>";
const std::string xmp_payload(xmp, sizeof xmp - 1);

void write(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + folder + "/" + name);
}

std::string jpeg_with(const std::vector<app_segment>& segments, int width = 64, int height = 48) {
    jpeg_options options;
    options.width = width;
    options.height = height;
    options.app_segments = segments;
    return test::make_jpeg(options);
}

// jpeg_road takes the turn and the fit from the file's length: padded with
// an APP13 segment to 5 modulo 8, the photo is turned a quarter and fitted
// to the frame's height.
std::string turned_to_height(std::vector<app_segment> segments, int width, int height) {
    const std::size_t size = jpeg_with(segments, width, height).size() + 4; // with the pad's header
    segments.push_back({13, std::string((13 - size % 8) % 8, ' ')});
    return jpeg_with(segments, width, height);
}

void road_seeds(const std::string& folder) {
    write(folder, "baseline.jpg", jpeg_with({}));
    jpeg_options options;
    options.progressive = true;
    write(folder, "progressive.jpg", test::make_jpeg(options));
    for (int orientation = 1; orientation <= 8; ++orientation)
        write(folder, "orientation" + std::to_string(orientation) + ".jpg",
              jpeg_with({{1, test::exif_payload(orientation)}}, 40, 24));
    write(folder, "motorola-thumbnail-ifd.jpg",
          jpeg_with({{1, test::exif_payload(6, test::exif_byte_order::motorola, true)}}));
    write(folder, "kept-past-later-segments.jpg",
          jpeg_with({{1, test::exif_payload(8)}, {1, xmp_payload}, {12, "Ducky\x01\x02"}}));
    write(folder, "camera-size.jpg", jpeg_with({{1, test::exif_payload(6)}}, 400, 300));
    write(folder, "panorama.jpg", jpeg_with({}, 720, 16));
    // Stood up by its tag, then turned to the frame's height: stretched to
    // far more pixels than a frame has, refused.
    write(folder, "sliver-turned-to-height.jpg", turned_to_height({{1, test::exif_payload(6)}}, 4096, 16));

    options = jpeg_options();
    options.width = 96;
    options.height = 64;
    const std::string whole = test::make_jpeg(options, test::gradient_painter(96, 64));
    write(folder, "truncated.jpg", whole.substr(0, whole.size() / 2));

    options = jpeg_options();
    options.restart_rows = 1;
    write(folder, "restart-markers.jpg", test::make_jpeg(options));
    options = jpeg_options();
    options.colour = test::jpeg_colour::grey;
    write(folder, "grey.jpg", test::make_jpeg(options));
    options.colour = test::jpeg_colour::cmyk;
    write(folder, "cmyk.jpg", test::make_jpeg(options));
    options.colour = test::jpeg_colour::ycck;
    write(folder, "ycck.jpg", test::make_jpeg(options));
}

void exif_seeds(const std::string& folder) {
    using fuzz::exif_segment;
    const std::vector<std::pair<std::string, std::vector<exif_segment>>> seeds = {
        {"intel-6", {{1, test::exif_payload(6)}}},
        {"motorola-3", {{1, test::exif_payload(3, test::exif_byte_order::motorola)}}},
        {"thumbnail-ifd-8", {{1, test::exif_payload(8, test::exif_byte_order::intel, true)}}},
        {"kept-past-later-segments", {{1, test::exif_payload(6)}, {1, xmp_payload}, {12, "Ducky\x01\x02"}}},
        {"later-one-wins", {{1, test::exif_payload(6)}, {3, test::exif_payload(2)}}},
        {"unread-marker-ignored", {{1, test::exif_payload(5)}, {13, test::exif_payload(7)}}},
        {"empty-segment", {{1, test::exif_payload(4)}, {4, ""}}},
        {"bad-offset", {{1, test::exif_payload_with_bad_offset(6)}}},
        {"thumbnail", {{1, test::exif_payload_with_thumbnail(7, 2000)}}},
    };
    for (const auto& seed : seeds)
        write(folder, seed.first + ".bin", fuzz::join_segments(seed.second));
}

} // namespace

int main(int argc, char** argv) {
    const command_line::arguments line(
        argc, argv,
        {"jpeg_seeds", "road|exif <folder>",
         "Writes the seed files of the photo fuzz targets into <folder>, which must exist, made with the\n"
         "tests' own JPEG and EXIF maker:\n"
         "  road  whole JPEG files for jpeg_road\n"
         "  exif  runs of APP segments for exif_orientation\n",
         2, 2});
    if (line.ended())
        return line.exit_status();
    const std::string kind = line.at(0), folder = line.at(1);
    if (kind != "road" && kind != "exif")
        return line.refuse("no seeds of the kind \"" + kind + "\"");
    try {
        if (kind == "road")
            road_seeds(folder);
        else
            exif_seeds(folder);
    } catch (const std::exception& e) {
        std::cerr << "jpeg_seeds: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
