#include "ffmpeg/DTFFPicture.h"
#include "media/DTPictureConvert.h"
#include "support/RowNames.h"
#include "support/TestPictures.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <sys/mman.h>
#include <unistd.h>

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

namespace {

struct colour_case {
    const char* name;
    uint8_t red, green, blue;
    // Studio-range BT.601, as the scaler converts by default.
    int y, u, v;
};

void PrintTo(const colour_case& c, std::ostream* out) { *out << c.name; }

class ConvertedColours : public ::testing::TestWithParam<colour_case> {};

// Every sample of the plane within the picture's own size.
void expect_plane(const video_data& picture, int plane, int width, int height, int value) {
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x)
            ASSERT_NEAR(value, picture.plane_data(plane)[row * picture.line_size(plane) + x], 2)
                << "plane " << plane << " at " << x << "," << row;
}

} // namespace

TEST_P(ConvertedColours, GiveTheirYuvValues) {
    const colour_case& c = GetParam();
    const video_data_ptr result =
        rgb_to_yuv(16, 8)->convert(test::make_solid_rgb_picture(16, 8, c.red, c.green, c.blue));
    expect_plane(*result, 0, 16, 8, c.y);
    expect_plane(*result, 1, 8, 4, c.u);
    expect_plane(*result, 2, 8, 4, c.v);
}

INSTANTIATE_TEST_SUITE_P(
    Primaries, ConvertedColours,
    ::testing::Values(colour_case{"Black", 0, 0, 0, 16, 128, 128},
                      colour_case{"White", 255, 255, 255, 235, 128, 128},
                      colour_case{"Red", 255, 0, 0, 82, 90, 240},
                      colour_case{"Green", 0, 255, 0, 145, 54, 34},
                      colour_case{"Blue", 0, 0, 255, 41, 240, 110}),
    [](const ::testing::TestParamInfo<colour_case>& info) { return std::string(info.param.name); });

TEST(FFPictureConvert, ResultOutlivesTheConverter) {
    video_data_ptr result;
    {
        picture_convert_ptr convert = rgb_to_yuv(8, 8);
        result = convert->convert(test::make_solid_rgb_picture(8, 8, 255, 0, 0));
    }
    // Still the red picture the converter made, now that it is gone.
    expect_plane(*result, 0, 8, 8, 82);
    expect_plane(*result, 2, 4, 4, 240);
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

namespace {

// An RGB picture with unpadded rows whose last byte is the last one before an
// inaccessible page, as a tightly packed frame may happen to lie in memory.
class picture_before_guard_page : public video_data::Impl {
public:
    picture_before_guard_page(int width, int height) : width_(width), height_(height) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t bytes = static_cast<size_t>(size());
        mapped_ = ((bytes + page - 1) / page + 1) * page;
        base_ = static_cast<uint8_t*>(
            mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + mapped_ - page, page, PROT_NONE);
        pixels_ = base_ + mapped_ - page - bytes;
        std::memset(pixels_, 200, bytes);
    }
    ~picture_before_guard_page() override { munmap(base_, mapped_); }
    int width() const override { return width_; }
    int height() const override { return height_; }
    dt_pixel_format_t pixel_format() const override { return AV_PIX_FMT_RGB24; }
    uint8_t* data() const override { return pixels_; }
    int size() const override { return width_ * 3 * height_; }
    int planes_count() const override { return 1; }
    uint8_t* plane_data(int plane) const override { return plane == 0 ? pixels_ : nullptr; }
    int line_size(int plane) const override { return plane == 0 ? width_ * 3 : 0; }

private:
    int width_, height_;
    size_t mapped_ = 0;
    uint8_t* base_ = nullptr;
    uint8_t* pixels_ = nullptr;
};

class guarded_picture : public video_data {
public:
    guarded_picture(int width, int height)
        : video_data(new picture_before_guard_page(width, height)) {}
};

} // namespace

// The scaler's vector code reads past the end of rows; a tightly packed frame
// at the end of its memory must still convert, at every size the presets use.
TEST(FFPictureConvert, TightlyPackedPictureAtTheEndOfItsMemoryConverts) {
    for (const auto& size : {std::make_pair(640, 480), std::make_pair(960, 720),
                             std::make_pair(1280, 720), std::make_pair(854, 480),
                             std::make_pair(33, 17)}) {
        const video_data_ptr result =
            rgb_to_yuv(size.first, size.second)
                ->convert(boost::make_shared<guarded_picture>(size.first, size.second));
        EXPECT_NEAR(188, result->plane_data(0)[0], 2) << size.first << "x" << size.second;
    }
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
                         ::testing::Values(-1, -2, 9999, static_cast<int>(AV_PIX_FMT_NB)),
    [](const ::testing::TestParamInfo<int>& info) { return kestrel::test::row_name("format " + std::to_string(info.param)); });
