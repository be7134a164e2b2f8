#include "base/DTErrors.h"
#include "slideshow2/DTCancelOpen.h"
#include "slideshow2/DTGilPhoto.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"
#include "support/TestPhotos.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cstring>
#include <vector>

using namespace kestrel;
using namespace kestrel::slideshow2;

namespace {

class Photo : public testing::Test {
protected:
    static std::string path() { return test::camera_photo(6); }

    static std::vector<uint8_t> pixels(const video_data_ptr& picture) {
        return std::vector<uint8_t>(picture->data(), picture->data() + picture->size());
    }
};

} // namespace

TEST_F(Photo, TurnsUpdateSizeAndCode) {
    gil_photo photo(path(), false);
    photo::Impl& impl = *photo.impl();
    EXPECT_EQ(4000u, impl.width());
    EXPECT_EQ(3000u, impl.height());
    EXPECT_EQ(path(), photo.desc().url);
    EXPECT_FALSE(photo.desc().transform.correct_orientantion);

    impl.rotate(1);
    EXPECT_EQ(1, photo.desc().transform.rotate);
    EXPECT_EQ(3000u, impl.width());
    EXPECT_EQ(4000u, impl.height());
    EXPECT_FALSE(impl.picture()) << "a turn loads nothing that was never loaded";

    struct turn_case {
        int by;
        int code;
    };
    for (const turn_case& c : {turn_case{1, 2}, turn_case{1, 4}, turn_case{1, 0}, turn_case{3, 4},
                               turn_case{2, 1}, turn_case{3, 0}}) {
        impl.rotate(c.by);
        EXPECT_EQ(c.code, photo.desc().transform.rotate) << "by " << c.by;
    }
}

TEST_F(Photo, AppliedOrientationStandsThePhotoUp) {
    gil_photo photo(path(), true);
    EXPECT_EQ(3000u, photo.impl()->width());
    EXPECT_EQ(4000u, photo.impl()->height());
}

TEST_F(Photo, LoadTurnAndEarlierPicturesStayValid) {
    gil_photo photo(path(), false);
    photo::Impl& impl = *photo.impl();
    impl.reload();
    EXPECT_FALSE(impl.picture()) << "reload before any load does nothing";
    EXPECT_FALSE(impl.last_load().valid);

    impl.load(180, 1.0);
    const video_data_ptr landscape = impl.picture();
    ASSERT_TRUE(landscape);
    EXPECT_EQ(180, landscape->width());
    EXPECT_EQ(135, landscape->height());
    EXPECT_EQ(2, landscape->pixel_format());
    EXPECT_EQ(180 * 3, landscape->line_size(0));
    // After a load the reported size is the prescaled decode's, same shape.
    EXPECT_EQ(500u, impl.width());
    EXPECT_EQ(375u, impl.height());
    const std::vector<uint8_t> before = pixels(landscape);

    impl.rotate(1);
    const video_data_ptr portrait = impl.picture();
    ASSERT_TRUE(portrait);
    EXPECT_EQ(135, portrait->width());
    EXPECT_EQ(180, portrait->height());
    // The first row of the landscape picture is the portrait's right column.
    for (int x = 0; x < 180; ++x)
        ASSERT_EQ(0, std::memcmp(&before[x * 3], portrait->data() + (x * 135 + 134) * 3, 3)) << x;
    // The earlier picture still owns its unchanged pixels.
    EXPECT_EQ(180, landscape->width());
    EXPECT_EQ(before, pixels(landscape));

    const photo::Impl::load_record record = impl.last_load();
    EXPECT_TRUE(record.valid);
    EXPECT_EQ(180u, record.side);
    EXPECT_EQ(1.0, record.filter);
    EXPECT_FALSE(record.fit_height);

    impl.load(100, true);
    EXPECT_EQ(100, impl.picture()->height()) << "fit_height applies the side to the height as shown";
    EXPECT_EQ(75, impl.picture()->width());
    EXPECT_EQ(0.0, impl.last_load().filter);
}

TEST_F(Photo, FailedLoadKeepsTheLastRecordAndPicture) {
    test::TempDir dir;
    const std::string copy = dir.file("copy.jpg");
    test::write_file(copy, test::make_jpeg(test::jpeg_options()));
    gil_photo photo(copy, false);
    photo::Impl& impl = *photo.impl();
    impl.load(32);
    const video_data_ptr picture = impl.picture();
    test::write_file(copy, "no longer a photo");
    EXPECT_THROW(impl.load(20, 1.0), errors::error);
    EXPECT_EQ(32u, impl.last_load().side);
    EXPECT_EQ(picture, impl.picture());
    EXPECT_THROW(impl.rotate(1), errors::error);
    EXPECT_EQ(0, photo.desc().transform.rotate) << "a turn that cannot reopen the file changes nothing";
}

TEST_F(Photo, FilesThatAreNoPhotosFailAtConstruction) {
    test::TempDir dir;
    EXPECT_THROW(gil_photo(dir.file("missing.jpg"), true), errors::failure);
    EXPECT_THROW(gil_photo(dir.path(), true), errors::failure) << "a folder";
    EXPECT_THROW(gil_photo(std::string("\xff\xfe.jpg"), true), errors::failure) << "not UTF-8";
    gil_photo_impl empty;
    EXPECT_EQ(0u, empty.width());
    EXPECT_FALSE(empty.picture());
    EXPECT_THROW(empty.load(180), errors::invalid_operation);
}

TEST(CancelOpen, SetsTheTokenAndIgnoresAnEmptyHandle) {
    Controller::impl_ptr token = Controller::Impl::create();
    cancel_open(Controller::create(token));
    EXPECT_TRUE(token->is_cancelled());
    EXPECT_NO_THROW(cancel_open(ControllerPtr()));
}
