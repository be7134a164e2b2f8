#include "image/DTVideoDataGil.h"
#include "media/DTVideoData.h"
#include "media/DTVideoFormat.h"

#include <gtest/gtest.h>

#include <boost/gil/image.hpp>
#include <boost/make_shared.hpp>

#include <cstring>
#include <vector>

using namespace kestrel;

namespace {
boost::gil::rgb8_image_t numbered_image(int width, int height) {
    boost::gil::rgb8_image_t image(width, height);
    uint8_t value = 0;
    auto view = boost::gil::view(image);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const uint8_t r = value++, g = value++, b = value++;
            view(x, y) = boost::gil::rgb8_pixel_t(r, g, b);
        }
    return image;
}
} // namespace

TEST(VideoData, RgbImageViewAccessors) {
    auto image = numbered_image(4, 2);
    image::gil::video_data_gil_no_copy picture(image);
    EXPECT_EQ(4, picture.width());
    EXPECT_EQ(2, picture.height());
    EXPECT_EQ(2, picture.pixel_format());
    EXPECT_EQ(24, picture.size());
    EXPECT_EQ(1, picture.planes_count());
    EXPECT_EQ(12, picture.line_size(0));
    EXPECT_EQ(0, picture.line_size(1));
    EXPECT_EQ(nullptr, picture.plane_data(1));
    EXPECT_EQ(picture.data(), picture.plane_data(0));
    EXPECT_EQ(&boost::gil::at_c<0>(boost::gil::view(image)(0, 0)), picture.data());
}

TEST(VideoData, CopyOfAnImageViewOutlivesTheImage) {
    video_data_ptr copy;
    std::vector<uint8_t> expected;
    {
        auto image = numbered_image(5, 3);
        image::gil::video_data_gil_no_copy picture(image);
        expected.assign(picture.data(), picture.data() + picture.size());
        copy = picture.copy();
    }
    ASSERT_TRUE(copy);
    EXPECT_EQ(2, copy->pixel_format());
    EXPECT_EQ(5, copy->width());
    EXPECT_EQ(3, copy->height());
    EXPECT_EQ(1, copy->planes_count());
    EXPECT_EQ(45, copy->size());
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(0, std::memcmp(&expected[y * 15], copy->plane_data(0) + y * copy->line_size(0), 15))
            << "row " << y;
}

TEST(VideoFormat, CreateAndClone) {
    auto format = video_format::create(640, 480, 0);
    EXPECT_EQ(640, format->width());
    EXPECT_EQ(480, format->height());
    EXPECT_EQ(0, format->pixel_format());
    EXPECT_EQ(dt_rational_t(1, 1), format->ratio());
    auto clone = video_format::clone(*video_format::create(320, 240, 2, dt_rational_t(4, 3)));
    EXPECT_EQ(dt_rational_t(4, 3), clone->ratio());
    EXPECT_EQ(320, clone->width());
}
