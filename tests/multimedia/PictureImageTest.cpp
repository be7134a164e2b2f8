// The one door from the engine's pictures to Qt images: which pictures it
// refuses, and that an image it makes is the picture's own memory, read at
// the picture's row length, and keeps the picture alive.

#include "multimedia/PictureImage.h"

#include "OddPicture.h"

#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>

#include <cstdint>
#include <vector>

using Multimedia::imageOfPicture;
using Multimedia::test::OddPicture;

TEST(PictureImage, RefusesPicturesQtCannotReadWhole)
{
    const kestrel::dt_pixel_format_t rgb = kestrel::dt_pixel_format_rgb24;
    struct Case {
        const char* name;
        kestrel::video_data_ptr picture;
    };
    const Case cases[] = {
        {"no picture", kestrel::video_data_ptr()},
        {"zero width", boost::make_shared<OddPicture>(0, 20, rgb, 60, 4096)},
        {"zero height", boost::make_shared<OddPicture>(20, 0, rgb, 60, 4096)},
        {"negative width", boost::make_shared<OddPicture>(-20, 20, rgb, 60, 4096)},
        {"negative height", boost::make_shared<OddPicture>(20, -20, rgb, 60, 4096)},
        {"no bytes", boost::make_shared<OddPicture>(20, 20, rgb, 60, 0)},
        {"planar YUV", boost::make_shared<OddPicture>(20, 20, kestrel::dt_pixel_format_yuv420p, 60, 4096)},
        {"unknown format", boost::make_shared<OddPicture>(20, 20, -1, 60, 4096)},
        {"rows shorter than the width", boost::make_shared<OddPicture>(20, 20, rgb, 59, 4096)},
        {"negative row length", boost::make_shared<OddPicture>(20, 20, rgb, -60, 4096)},
        {"bytes short of the last row", boost::make_shared<OddPicture>(40, 40, rgb, 120, 4799)},
        // Products beyond an int: 100000 x 3 x 100000 bytes claimed.
        {"huge", boost::make_shared<OddPicture>(100000, 100000, rgb, 300000, 4096)},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(imageOfPicture(c.picture).isNull()) << c.name;

    // The smallest picture that holds its rows is taken.
    EXPECT_EQ(QSize(40, 40), imageOfPicture(boost::make_shared<OddPicture>(40, 40, rgb, 120, 4800)).size());
}

TEST(PictureImage, WrapsThePicturesOwnRowsAndKeepsThePictureAlive)
{
    // FFmpeg pads each row of this picture beyond its 150 bytes of pixels.
    kestrel::video_data_ptr picture = kestrel::test::make_rgb_picture(50, 20, 3);
    ASSERT_GT(picture->line_size(0), 150);
    const uint8_t* memory = picture->data();
    const int lineSize = picture->line_size(0);
    const std::vector<uint8_t> bytes(memory, memory + lineSize * 19 + 150);
    const boost::weak_ptr<kestrel::video_data> watch = picture;

    QImage image = imageOfPicture(picture);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(QSize(50, 20), image.size());
    EXPECT_EQ(QImage::Format_RGB888, image.format());
    EXPECT_EQ(memory, image.constBits()); // not a copy
    EXPECT_EQ(lineSize, image.bytesPerLine());

    // The caller lets go first: the image still reads the picture.
    picture.reset();
    EXPECT_FALSE(watch.expired());
    for (const QPoint p : {QPoint(0, 0), QPoint(49, 0), QPoint(0, 19), QPoint(49, 19), QPoint(17, 11)}) {
        const uint8_t* pixel = bytes.data() + p.y() * lineSize + 3 * p.x();
        EXPECT_EQ(qRgb(pixel[0], pixel[1], pixel[2]), image.pixel(p)) << p.x() << "," << p.y();
    }

    // Copies share the picture; the last one to go lets it go.
    QImage copy = image;
    image = QImage();
    EXPECT_FALSE(watch.expired());
    copy = QImage();
    EXPECT_TRUE(watch.expired());
}
