#include "DTPictureConvert.h"
#include "ffmpeg/DTFFPicture.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <cstring>

using namespace kestrel;

namespace {
const int bilinear = SWS_BILINEAR;

picture_convert_ptr rgb_to_yuv(int width, int height) {
    return picture_convert_creator::create(width, height, AV_PIX_FMT_RGB24, width, height,
                                           AV_PIX_FMT_YUV420P, bilinear);
}
} // namespace

TEST(FFPictureConvert, RgbBecomesYuvOfTheDestinationSize) {
    picture_convert_ptr convert = picture_convert_creator::create(32, 24, AV_PIX_FMT_RGB24, 16, 12,
                                                                  AV_PIX_FMT_YUV420P, bilinear);
    const video_data_ptr result = convert->convert(test::make_rgb_picture(32, 24, 0));
    EXPECT_EQ(16, result->width());
    EXPECT_EQ(12, result->height());
    EXPECT_EQ(AV_PIX_FMT_YUV420P, result->pixel_format());
    EXPECT_NE(nullptr, result->plane_data(2));
}

TEST(FFPictureConvert, ResultsShareOneDestinationPicture) {
    picture_convert_ptr convert = picture_convert_creator::create(16, 16, AV_PIX_FMT_YUV420P, 16,
                                                                  16, AV_PIX_FMT_YUV420P, bilinear);
    const video_data_ptr source_a = test::make_yuv_picture(16, 16, 0);
    const video_data_ptr source_b = test::make_yuv_picture(16, 16, 9);
    const video_data_ptr first = convert->convert(source_a);
    EXPECT_EQ(0, std::memcmp(source_a->plane_data(0), first->plane_data(0), 16));
    const video_data_ptr second = convert->convert(source_b);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->plane_data(0), second->plane_data(0));
    EXPECT_EQ(0, std::memcmp(source_b->plane_data(0), first->plane_data(0), 16));
}

TEST(FFPictureConvert, ResultOutlivesTheConverter) {
    video_data_ptr result;
    {
        picture_convert_ptr convert = rgb_to_yuv(8, 8);
        result = convert->convert(test::make_rgb_picture(8, 8, 1));
    }
    const uint8_t luma = result->plane_data(0)[0];
    EXPECT_EQ(luma, result->copy()->plane_data(0)[0]);
}

TEST(FFPictureConvert, TallerPictureIsReadForTheSourceRowsOnly) {
    picture_convert_ptr convert = picture_convert_creator::create(8, 4, AV_PIX_FMT_YUV420P, 8, 4,
                                                                  AV_PIX_FMT_YUV420P, bilinear);
    const video_data_ptr tall = test::make_yuv_picture(8, 64, 3);
    const video_data_ptr result = convert->convert(tall);
    EXPECT_EQ(4, result->height());
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(0, std::memcmp(tall->plane_data(0) + row * tall->line_size(0),
                                 result->plane_data(0) + row * result->line_size(0), 8));
}

TEST(FFPictureConvert, PicturesThatWouldBeReadOutOfBoundsAreRefused) {
    picture_convert_ptr convert = rgb_to_yuv(16, 16);
    EXPECT_THROW(convert->convert(video_data_ptr()), errors::invalid_argument);
    EXPECT_THROW(convert->convert(test::make_rgb_picture(16, 8, 0)), errors::invalid_argument);
    EXPECT_THROW(convert->convert(test::make_rgb_picture(8, 16, 0)), errors::invalid_argument);
    EXPECT_THROW(convert->convert(test::make_yuv_picture(16, 16, 0)), errors::invalid_argument);
}

TEST(FFPictureConvert, RefusedGeometryThrowsWithTheScalerCall) {
    try {
        picture_convert_creator::create(16, 16, AV_PIX_FMT_RGB24, 0, 0, AV_PIX_FMT_YUV420P,
                                        bilinear);
        FAIL();
    } catch (const picture_convert::error& e) {
        EXPECT_STREQ("kestrel sdk error", e.what());
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_api_function>(e));
        EXPECT_EQ("sws_getContext", std::string(*boost::get_error_info<errinfo_api_function>(e)));
    }
}

class UnknownPixelFormats : public ::testing::TestWithParam<int> {};

// A number FFmpeg has no pixel format for is the converter's error, on
// either side, never an abort inside the scaler.
TEST_P(UnknownPixelFormats, AreRefusedWithTheConvertersError) {
    EXPECT_THROW(picture_convert_creator::create(16, 16, GetParam(), 16, 16, AV_PIX_FMT_YUV420P,
                                                 bilinear),
                 picture_convert::error);
    EXPECT_THROW(picture_convert_creator::create(16, 16, AV_PIX_FMT_RGB24, 16, 16, GetParam(),
                                                 bilinear),
                 picture_convert::error);
}

INSTANTIATE_TEST_SUITE_P(OutsideFFmpeg, UnknownPixelFormats,
                         ::testing::Values(-1, -2, 9999, static_cast<int>(AV_PIX_FMT_NB)));
