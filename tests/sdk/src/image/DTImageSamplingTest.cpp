#include "image/DTImageSampling.h"
#include "image/DTPhotoDesc.h"

#include <gtest/gtest.h>

#include <boost/gil/image.hpp>

#include <cmath>
#include <limits>

using namespace kestrel;
using namespace kestrel::image;

TEST(RotationCodes, QuarterTurnArithmetic) {
    struct code_case {
        int code, turns;
        bool swaps;
    };
    for (const code_case& c : {code_case{0, 0, false}, code_case{1, 1, true}, code_case{2, 2, false},
                               code_case{3, 3, true}, code_case{4, 3, true}, code_case{5, 0, false},
                               code_case{-1, 0, false}}) {
        EXPECT_EQ(c.turns, rotation_to_quarter_turns(c.code)) << c.code;
        EXPECT_EQ(c.swaps, rotation_swaps_sides(c.code)) << c.code;
    }
    const int codes[] = {0, 1, 2, 4, 0, 1};
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(codes[n], quarter_turns_to_rotation(n)) << n;
    EXPECT_EQ(0, quarter_turns_to_rotation(-1));
    // The photo's turn: code of (turns of the new code + turns of the old).
    auto turn = [](int stored, int by) {
        return quarter_turns_to_rotation(rotation_to_quarter_turns(by) + rotation_to_quarter_turns(stored));
    };
    EXPECT_EQ(4, turn(0, 3)) << "three quarters is written as 4";
    EXPECT_EQ(0, turn(3, 1));
    EXPECT_EQ(1, turn(4, 2));
    int code = 0;
    for (int i = 0; i < 4; ++i)
        code = turn(code, 1);
    EXPECT_EQ(0, code);
}

TEST(TransformedBounds, CornersOfATurnedAndShiftedRectangle) {
    // A quarter turn clockwise with scale 2: (x, y) -> (-2y + 10, 2x + 1).
    const slideshow2::affine_transform m = {0.0, 2.0, -2.0, 0.0, 10.0, 1.0};
    const bounds b = transformed_bounds(0, 0, 4, 3, m);
    EXPECT_DOUBLE_EQ(4.0, b.min_x);
    EXPECT_DOUBLE_EQ(1.0, b.min_y);
    EXPECT_DOUBLE_EQ(10.0, b.max_x);
    EXPECT_DOUBLE_EQ(9.0, b.max_y);
}

TEST(CubicWeight, KnotsAndMidpoints) {
    EXPECT_DOUBLE_EQ(1.0, cubic_weight(0.0));
    EXPECT_DOUBLE_EQ(0.625, cubic_weight(0.5));
    EXPECT_DOUBLE_EQ(0.0, cubic_weight(1.0));
    EXPECT_DOUBLE_EQ(-0.125, cubic_weight(1.5));
    EXPECT_DOUBLE_EQ(0.0, cubic_weight(2.0));
    EXPECT_DOUBLE_EQ(0.0, cubic_weight(7.0));
}

namespace {
boost::gil::rgb8_image_t gradient(int width, int height) {
    boost::gil::rgb8_image_t image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            boost::gil::view(image)(x, y) =
                boost::gil::rgb8_pixel_t(static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 40), 200);
    return image;
}
} // namespace

TEST(SampleBilinear, InsideOutsideAndEdges) {
    const boost::gil::rgb8_image_t image = gradient(4, 3);
    const auto source = boost::gil::const_view(image);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct sample_case {
        double x, y;
        bool inside;
        int red, green;
    };
    for (const sample_case& c : {
             sample_case{-0.5, 1.0, false, 0, 0}, sample_case{1.0, -0.01, false, 0, 0},
             sample_case{4.0, 1.0, false, 0, 0}, sample_case{1.0, 3.0, false, 0, 0},
             sample_case{nan, 1.0, false, 0, 0}, sample_case{1e300, 1.0, false, 0, 0},
             sample_case{1.0, 2.0, true, 40, 80}, sample_case{1.5, 0.25, true, 60, 10},
             // Half a pixel past the last column's centre: its right
             // neighbour is the last column itself.
             sample_case{3.5, 2.5, true, 120, 80},
         }) {
        boost::gil::rgb8_pixel_t pixel(0, 0, 0);
        EXPECT_EQ(c.inside, image::gil::sample_bilinear_weighted(source, c.x, c.y, pixel, 1.0)) << c.x << ", " << c.y;
        EXPECT_EQ(c.red, pixel[0]) << c.x << ", " << c.y;
        EXPECT_EQ(c.green, pixel[1]) << c.x << ", " << c.y;
    }
}

TEST(SampleBilinear, WeightedSamplesAddUpAndSaturate) {
    boost::gil::rgb8_image_t white(2, 2);
    boost::gil::fill_pixels(boost::gil::view(white), boost::gil::rgb8_pixel_t(255, 255, 255));
    boost::gil::rgb8_pixel_t pixel(0, 0, 0);
    image::gil::sample_bilinear_weighted(boost::gil::const_view(white), 0.3, 0.7, pixel, 0.5);
    EXPECT_EQ(127, pixel[0]);
    image::gil::sample_bilinear_weighted(boost::gil::const_view(white), 0.3, 0.7, pixel, 0.5);
    EXPECT_EQ(254, pixel[0]) << "127 + 127.5, truncated";
    image::gil::sample_bilinear_weighted(boost::gil::const_view(white), 0.3, 0.7, pixel, 2.0);
    EXPECT_EQ(255, pixel[0]);
    image::gil::sample_bilinear_weighted(boost::gil::const_view(white), 0.3, 0.7, pixel, -5.0);
    EXPECT_EQ(0, pixel[0]);
}
