// The fast composition against the plain double-precision pass, with rows
// shared across threads: within 1 on every channel of every pixel, also
// after two pictures were added (a transition) and when the first one
// paints the black itself.

#include "slideshow2/DTComposePicture.h"
#include "slideshow2/DTRowWorkers.h"

#include <gtest/gtest.h>

#include <boost/gil/algorithm.hpp>
#include <boost/gil/image.hpp>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ostream>

namespace kestrel {
namespace slideshow2 {
namespace {

using boost::gil::rgb8_image_t;

// Deterministic noise, so that every pixel differs from its neighbours.
void fill_noise(rgb8_image_t& image, uint32_t seed) {
    const boost::gil::rgb8_view_t view = boost::gil::view(image);
    for (std::ptrdiff_t y = 0; y < view.height(); ++y)
        for (std::ptrdiff_t x = 0; x < view.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                seed = seed * 1664525u + 1013904223u;
                view(x, y)[c] = static_cast<uint8_t>(seed >> 24);
            }
}

int largest_difference(const rgb8_image_t& one, const rgb8_image_t& other) {
    const auto a = boost::gil::const_view(one);
    const auto b = boost::gil::const_view(other);
    int largest = 0;
    for (std::ptrdiff_t y = 0; y < a.height(); ++y)
        for (std::ptrdiff_t x = 0; x < a.width(); ++x)
            for (int c = 0; c < 3; ++c)
                largest = std::max(largest, std::abs(int(a(x, y)[c]) - int(b(x, y)[c])));
    return largest;
}

struct composition {
    const char* name;
    affine_transform m;
    double weight;
};

std::ostream& operator<<(std::ostream& out, const composition& c) { return out << c.name; }

class fast_composition : public ::testing::TestWithParam<composition> {};

// The plain pass adds the picture twice (a transition) to a black frame.
// The fast passes start on a frame of noise that they take as black: both
// pictures in one sweep, and one picture after the other.
TEST_P(fast_composition, stays_within_one_of_the_plain_pass) {
    const composition& c = GetParam();
    rgb8_image_t picture(97, 61);
    fill_noise(picture, 7);
    rgb8_image_t plain(211, 117);
    boost::gil::fill_pixels(boost::gil::view(plain), boost::gil::rgb8_pixel_t(0, 0, 0));
    const rgb8_image_t black(plain);
    for (int pass = 0; pass < 2; ++pass)
        compose_picture_reference(boost::gil::view(plain), boost::gil::const_view(picture), c.m, c.weight);
    row_workers workers(3);
    rgb8_image_t together(211, 117), in_turn(211, 117);
    fill_noise(together, 11);
    fill_noise(in_turn, 13);
    const picture_layer layer = {boost::gil::const_view(picture), c.m, c.weight};
    compose_pictures(boost::gil::view(together), {layer, layer}, &workers, true);
    compose_picture(boost::gil::view(in_turn), layer.picture, c.m, c.weight, &workers, true);
    compose_picture(boost::gil::view(in_turn), layer.picture, c.m, c.weight, &workers, false);
    EXPECT_LE(largest_difference(plain, together), 1);
    EXPECT_LE(largest_difference(plain, in_turn), 1);
    const double det = c.m.a * c.m.d - c.m.b * c.m.c;
    EXPECT_EQ(largest_difference(plain, black) > 0, std::isfinite(det) && det != 0);
}

const double turn = 0.5235987755982988; // 30 degrees

INSTANTIATE_TEST_SUITE_P(
    transforms, fast_composition,
    ::testing::Values(
        composition{"enlarged_and_moved", {1.7, 0, 0, 1.7, -12.25, 3.5}, 1.0},
        composition{"shrunk_half_weight", {0.63, 0, 0, 0.63, 40.3, 20.7}, 0.5},
        composition{"fade_weight", {2.31, 0, 0, 2.31, -50.125, -20.875}, 1.0 / 11},
        composition{"stretched", {2.2, 0, 0, 1.3, 1.01, 0.99}, 0.8},
        composition{"mirrored", {-1.3, 0, 0, 1.3, 150.5, 2.25}, 1.0},
        composition{"whole_pixels", {1, 0, 0, 1, 5, 3}, 1.0},
        composition{"turned", {1.2 * std::cos(turn), 1.2 * std::sin(turn), -1.2 * std::sin(turn),
                               1.2 * std::cos(turn), 60.5, -10.25},
                    0.7},
        composition{"sheared", {1.5, 0, 0.4, 1.5, -3.3, 4.4}, 1.0},
        composition{"collapsed", {0, 0, 0, 0, 10, 10}, 1.0}),
    [](const ::testing::TestParamInfo<composition>& info) { return std::string(info.param.name); });

// Placed at whole pixels with weight 1 on black, the picture is copied as
// it is, by both passes.
TEST(composition, at_whole_pixels_copies_the_picture) {
    rgb8_image_t picture(31, 17);
    fill_noise(picture, 3);
    for (const bool fast : {false, true}) {
        rgb8_image_t frame(50, 30);
        boost::gil::fill_pixels(boost::gil::view(frame), boost::gil::rgb8_pixel_t(0, 0, 0));
        const affine_transform m = {1, 0, 0, 1, 5, 3};
        if (fast)
            compose_picture(boost::gil::view(frame), boost::gil::const_view(picture), m, 1.0, nullptr);
        else
            compose_picture_reference(boost::gil::view(frame), boost::gil::const_view(picture), m, 1.0);
        const auto seen = boost::gil::const_view(frame);
        const auto source = boost::gil::const_view(picture);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 50; ++x) {
                const bool covered = x >= 5 && x < 36 && y >= 3 && y < 20;
                const boost::gil::rgb8_pixel_t expected =
                    covered ? source(x - 5, y - 3) : boost::gil::rgb8_pixel_t(0, 0, 0);
                ASSERT_EQ(seen(x, y), expected) << (fast ? "fast " : "plain ") << x << "," << y;
            }
    }
}

} // namespace
} // namespace slideshow2
} // namespace kestrel
