#include "base/DTErrors.h"
#include "image/DTBicubicResample.h"
#include "image/DTGaussianFilter.h"
#include "image/DTPhotoScale.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"
#include "support/TestPhotos.h"

#include <gtest/gtest.h>

#include <boost/gil/image.hpp>

#include <numeric>
#include <string>

using namespace kestrel;
using namespace kestrel::image::gil;

namespace {

class PhotoScale : public testing::Test {
protected:
    static std::string camera_path() { return test::camera_photo(6); }

    // Renders with the orientation left as stored (landscape 4000 x 3000).
    static boost::gil::rgb8_image_t render(int rotate, unsigned int side, double filter = 0.0,
                                           bool correct_orientation = false, bool fit_height = false) {
        photo_file file;
        image::photo_desc desc;
        desc.url = camera_path();
        desc.transform.rotate = rotate;
        desc.transform.correct_orientantion = correct_orientation;
        set_photo_desc(file, desc);
        boost::gil::rgb8_image_t image;
        scale_photo(file, image, side, filter, fit_height);
        return image;
    }
};

} // namespace

TEST(PhotoScaleArithmetic, DctDenominatorIsTheLargestPowerOfTwoNotAboveTheRatio) {
    struct denominator_case {
        unsigned int side, ref, denominator;
    };
    for (const denominator_case& c :
         {denominator_case{100, 100, 1}, denominator_case{100, 199, 1}, denominator_case{100, 300, 2},
          denominator_case{100, 500, 4}, denominator_case{100, 800, 8}, denominator_case{100, 2000, 8},
          denominator_case{180, 4000, 8}, denominator_case{1536, 4000, 2}, denominator_case{2304, 4000, 1},
          denominator_case{500, 100, 1}})
        EXPECT_EQ(c.denominator, dct_denominator(c.side, c.ref)) << c.side << " of " << c.ref;
}

TEST_F(PhotoScale, ThumbnailSizeAndDiagnosticLine) {
    testing::internal::CaptureStdout();
    const boost::gil::rgb8_image_t thumbnail = render(0, 180, 1.0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(180, thumbnail.width());
    EXPECT_EQ(135, thumbnail.height());
    EXPECT_NE(std::string::npos, out.find("\nscale factor : 8\ttarget scale : 0.36\n")) << out;
}

TEST_F(PhotoScale, SideAppliesToTheHeightWhenAsked) {
    const boost::gil::rgb8_image_t image = render(0, 300, 0.0, false, true);
    EXPECT_EQ(400, image.width());
    EXPECT_EQ(300, image.height());
    // The EXIF tag stands the photo up: its height is now the longer side.
    const boost::gil::rgb8_image_t upright = render(0, 180, 0.0, true);
    EXPECT_EQ(135, upright.width());
    EXPECT_EQ(180, upright.height());
}

// Every rotation code stores the upright render turned, pixel for pixel:
// the top row of a quarter turn is its right-most column, nothing is lost
// to a black edge.
TEST_F(PhotoScale, RotationCodesTurnTheScaledPictureExactly) {
    const boost::gil::rgb8_image_t upright = render(0, 180);
    const auto source = boost::gil::const_view(upright);
    const int w = 180, h = 135;
    struct turn_case {
        int code;
        int turns;
    };
    for (const turn_case& c : {turn_case{1, 1}, turn_case{2, 2}, turn_case{3, 3}, turn_case{4, 3},
                               turn_case{5, 0}, turn_case{-1, 0}}) {
        const boost::gil::rgb8_image_t turned = render(c.code, 180);
        const auto target = boost::gil::const_view(turned);
        ASSERT_EQ(c.turns % 2 ? h : w, turned.width()) << "code " << c.code;
        ASSERT_EQ(c.turns % 2 ? w : h, turned.height()) << "code " << c.code;
        int mismatches = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int tx = c.turns == 1 ? h - 1 - y : c.turns == 2 ? w - 1 - x : c.turns == 3 ? y : x;
                const int ty = c.turns == 1 ? x : c.turns == 2 ? h - 1 - y : c.turns == 3 ? w - 1 - x : y;
                mismatches += target(tx, ty) != source(x, y);
            }
        EXPECT_EQ(0, mismatches) << "code " << c.code;
    }
}

// At scale 1 the pre-filter is (0, 1, 0) and every sample hits a whole
// pixel, so the render is the decoded picture itself.
TEST_F(PhotoScale, ScaleOneWithFilterGivesTheDecodedPicture) {
    jpeg_reader_ptr reader = open_jpeg(camera_path());
    set_jpeg_scale(*reader, 1, 8);
    boost::gil::rgb8_image_t decoded;
    read_jpeg_scaled(*reader, decoded, 0);
    const boost::gil::rgb8_image_t image = render(0, 500, 1.0);
    EXPECT_TRUE(boost::gil::equal_pixels(boost::gil::const_view(decoded), boost::gil::const_view(image)));
}

TEST_F(PhotoScale, RefusesWhatCannotBeDrawn) {
    EXPECT_EQ(0, render(0, 0).width()) << "side 0 draws nothing";
    EXPECT_THROW(render(0, 1u << 30), errors::invalid_argument);
    // 5000 x 3750: more than twice a 4K frame, refused before decoding.
    EXPECT_THROW(render(0, 5000), errors::invalid_argument);
    photo_file empty;
    boost::gil::rgb8_image_t image;
    EXPECT_THROW(scale_photo(empty, image, 180, 0.0, false), errors::invalid_operation);
    EXPECT_EQ(0u, photo_file_width(empty));
}

TEST(BicubicResample, EdgeTapsFallBackToTheFloorPixel) {
    // One row 0, 0, 100, 200 enlarged twice: output x samples u = x / 2.
    boost::gil::rgb8_image_t source(4, 1);
    const uint8_t values[] = {0, 0, 100, 200};
    for (int x = 0; x < 4; ++x)
        boost::gil::view(source)(x, 0) = boost::gil::rgb8_pixel_t(values[x], values[x], values[x]);
    boost::gil::rgb8_image_t out;
    resample_turned(boost::gil::const_view(source), 2.0, 8, 2, 0, out);
    struct tap_case {
        int x;
        int value;
        const char* why;
    };
    for (const tap_case& c : {
             tap_case{4, 100, "whole pixel"},
             // u = 2.5: -0.125*0 + 0.625*100 + 0.625*200 - 0.125*100, the
             // outside column 4 replaced by the floor column 2, not by 3.
             tap_case{5, 175, "two before the end"},
             tap_case{6, 200, "on the last column"},
             // u = 3.5: -0.125*100 + 0.625*200 + 0.625*200 - 0.125*200
             tap_case{7, 212, "past the last column's centre"},
         }) {
        EXPECT_EQ(c.value, boost::gil::const_view(out)(c.x, 0)[0]) << c.why;
        EXPECT_EQ(c.value, boost::gil::const_view(out)(c.x, 1)[2]) << c.why << ", second row";
    }
}

TEST(GaussianFilter, KernelFollowsTheScale) {
    const std::vector<float> identity = gaussian_kernel(gaussian_sigma(1.0, 1.0));
    ASSERT_EQ(3u, identity.size());
    EXPECT_EQ(0.0f, identity[0]);
    EXPECT_EQ(1.0f, identity[1]);
    EXPECT_EQ(0.0f, identity[2]);

    // A thumbnail at s = 0.36: sigma 0.889, tail below 1/255 at width 7.
    const std::vector<float> thumbnail = gaussian_kernel(gaussian_sigma(0.36, 1.0));
    ASSERT_EQ(5u, thumbnail.size());
    EXPECT_NEAR(1.0f, std::accumulate(thumbnail.begin(), thumbnail.end(), 0.0f), 1e-6);
    EXPECT_FLOAT_EQ(thumbnail[0], thumbnail[4]);
    EXPECT_GT(thumbnail[2], thumbnail[1]);
    EXPECT_EQ(thumbnail, gaussian_kernel(-gaussian_sigma(0.36, 1.0))) << "enlarging blurs alike";
    EXPECT_EQ(3u, gaussian_kernel(std::nan("")).size());
}

TEST(GaussianFilter, WhiteStaysWhiteInsideAndDarkensAtTheBlackBorder) {
    boost::gil::rgb8_image_t white(16, 16);
    boost::gil::fill_pixels(boost::gil::view(white), boost::gil::rgb8_pixel_t(255, 255, 255));
    convolve_kernel(boost::gil::view(white), 0.25, 1.0);
    const auto view = boost::gil::const_view(white);
    EXPECT_GE(view(8, 8)[0], 254);
    EXPECT_LT(view(0, 8)[0], 230);
    EXPECT_LT(view(0, 0)[1], view(0, 8)[1]);
    convolve_kernel(boost::gil::view(white), 0.25, 0.0);
    EXPECT_GE(view(8, 8)[0], 254) << "strength 0 leaves the picture";
}
