// The video surface painted into an image, and the QML module that
// registers it.

#include "multimedia/Player.h"
#include "multimedia/VideoSurface.h"

#include "OddPicture.h"

#include "support/SyntheticShow.h"

#include <QImage>
#include <QMetaType>
#include <QPainter>
#include <QQmlComponent>
#include <QQmlEngine>

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cstring>
#include <memory>
#include <vector>

using Multimedia::VideoSurface;
using Multimedia::test::OddPicture;
using kestrel::test::picture_colour;

namespace {

kestrel::video_data_ptr colourPicture(int width, int height)
{
    kestrel::test::show_spec spec;
    spec.width = width;
    spec.height = height;
    spec.sound = false;
    return kestrel::test::make_synthetic_show(spec)->video()->read()->data;
}

// Paints the surface, sized width x height, over a white image.
QImage paintSurface(const kestrel::video_data_ptr& picture, qreal width, qreal height)
{
    VideoSurface surface;
    surface.setSize(QSizeF(width, height));
    surface.setFrame(picture);
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    surface.paint(&painter);
    return image;
}

// Where the picture's colour landed; everything else must be black.
QRect pictureArea(const QImage& image, QColor colour, int* strayPixels)
{
    QRect area;
    *strayPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel == colour.rgb())
                area |= QRect(x, y, 1, 1);
            else if (pixel != QColor(Qt::black).rgb())
                ++*strayPixels;
        }
    return area;
}

struct FitCase {
    int pictureWidth;
    int pictureHeight;
    QRect target;
};

void PrintTo(const FitCase& c, std::ostream* os)
{
    *os << c.pictureWidth << "x" << c.pictureHeight;
}

class VideoSurfaceFitTest : public ::testing::TestWithParam<FitCase> {};

} // namespace

TEST_P(VideoSurfaceFitTest, PaintsThePictureFittedOnBlack)
{
    const FitCase& c = GetParam();
    const kestrel::test::rgb_colour rgb = picture_colour(0);
    const QImage image = paintSurface(colourPicture(c.pictureWidth, c.pictureHeight), 400, 300);
    int stray = 0;
    EXPECT_EQ(c.target, pictureArea(image, QColor(rgb.red, rgb.green, rgb.blue), &stray));
    EXPECT_EQ(0, stray);
}

INSTANTIATE_TEST_SUITE_P(Boxes, VideoSurfaceFitTest,
                         ::testing::Values(FitCase{640, 360, QRect(0, 37, 400, 225)},
                                           FitCase{480, 480, QRect(50, 0, 300, 300)},
                                           FitCase{400, 300, QRect(0, 0, 400, 300)}),
                         [](const ::testing::TestParamInfo<FitCase>& info) {
                             return "Picture" + std::to_string(info.param.pictureWidth) + "x" +
                                    std::to_string(info.param.pictureHeight);
                         });

TEST(VideoSurface, PaintsBlackForNothingOrPicturesItCannotShow)
{
    struct Case {
        const char* name;
        kestrel::video_data_ptr picture;
    };
    const Case cases[] = {
        {"no picture", kestrel::video_data_ptr()},
        {"zero size", boost::make_shared<OddPicture>(0, 0, 2, 0, 4096)},
        {"zero height", boost::make_shared<OddPicture>(20, 0, 2, 60, 4096)},
        {"zero width", boost::make_shared<OddPicture>(0, 20, 2, 0, 4096)},
        {"no bytes", boost::make_shared<OddPicture>(20, 20, 2, 60, 0)},
        {"planar YUV", boost::make_shared<OddPicture>(20, 20, 0, 20, 4096)},
        {"rows too short", boost::make_shared<OddPicture>(20, 20, 2, 40, 4096)},
    };
    for (const Case& c : cases) {
        const QImage image = paintSurface(c.picture, 40, 30);
        int stray = 0;
        EXPECT_TRUE(pictureArea(image, QColor(Qt::black), &stray).contains(QRect(0, 0, 40, 30)))
            << c.name;
        EXPECT_EQ(0, stray) << c.name;
    }
}

TEST(VideoSurface, KeepsThePictureItShowsAndPaintsItAgainAfterAChange)
{
    VideoSurface surface;
    surface.setSize(QSizeF(64, 36));
    kestrel::video_data_ptr first = colourPicture(64, 36);
    surface.setFrame(first);
    EXPECT_EQ(first, surface.frame());
    const long owners = first.use_count();
    surface.setFrame(first);
    EXPECT_EQ(owners, first.use_count());

    QImage image(64, 36, QImage::Format_RGB32);
    QPainter painter(&image);
    surface.paint(&painter);
    const kestrel::test::rgb_colour rgb = picture_colour(0);
    EXPECT_EQ(QColor(rgb.red, rgb.green, rgb.blue).rgb(), image.pixel(10, 10));

    // A new picture in place of the old one is painted, not the old memory.
    std::memset(first->data(), 0, first->size());
    kestrel::test::show_spec spec;
    spec.width = 64;
    spec.height = 36;
    spec.sound = false;
    auto source = kestrel::test::make_synthetic_show(spec);
    source->video()->read();
    surface.setFrame(source->video()->read()->data);
    surface.paint(&painter);
    const kestrel::test::rgb_colour second = picture_colour(1);
    EXPECT_EQ(QColor(second.red, second.green, second.blue).rgb(), image.pixel(10, 10));
}

TEST(MultimediaTypes, QmlModuleOffersTheSurfaceAndThePlayersStates)
{
    EXPECT_TRUE(QMetaType::fromName("Multimedia::Player::State").isValid());

    QQmlEngine engine;
    QQmlComponent view(&engine);
    view.setData("import QtQuick 2.0\n"
                 "import Multimedia 1.0\n"
                 "Item {\n"
                 "  property int playing: Player.PlayState\n"
                 "  property int paused: Player.PauseState\n"
                 "  VideoSurface { objectName: \"surface\"; width: 40; height: 30 }\n"
                 "}\n",
                 QUrl());
    std::unique_ptr<QObject> root(view.create());
    ASSERT_TRUE(root) << view.errorString().toStdString();
    EXPECT_EQ(1, root->property("playing").toInt());
    EXPECT_EQ(2, root->property("paused").toInt());
    EXPECT_TRUE(root->findChild<VideoSurface*>("surface"));

    QQmlComponent player(&engine);
    player.setData("import Multimedia 1.0\nPlayer {}\n", QUrl());
    std::unique_ptr<QObject> made(player.create());
    EXPECT_FALSE(made);
    EXPECT_NE(-1, player.errorString().indexOf("Can't create Player!"))
        << player.errorString().toStdString();
}
