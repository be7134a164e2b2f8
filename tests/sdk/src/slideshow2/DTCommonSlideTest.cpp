#include "base/DTErrors.h"
#include "slideshow2/DTCommonSlide.h"
#include "slideshow2/DTKenBurnsRegistry.h"
#include "slideshow2/DTPhoto.h"

#include "PhotoManagerFixtures.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <set>

using namespace kestrel;
using namespace kestrel::slideshow2;
using testing::HasSubstr;

namespace {

std::set<std::string> names_of_kind(int kind) {
    std::set<std::string> names;
    for (std::size_t i = 0; i < ken_burns_registry_size; ++i)
        if (ken_burns_registry()[i].kind == kind && ken_burns_registry()[i].name != "static")
            names.insert(ken_burns_registry()[i].name);
    return names;
}

// Names no draw gives, so a kept name is never a fresh draw by chance.
const ken_burns_desc stored_names{"stored_landscape", "stored_portrait"};

std::string stored_text(int rotation) {
    image::photo_desc desc;
    desc.url = "/elsewhere/old.jpg";
    desc.transform.rotate = rotation;
    return test::write_slide_text(stored_names, desc);
}

class Slide : public testing::Test {
protected:
    test::photo_files files;
    photo_manager_ptr manager = photo_manager::create(test::workers(2));
    common_slide slide;

    std::string effect() const { return slide.impl()->ken_burns_effect(); }
};

} // namespace

// A fresh portrait photo: drawn names, the manager's side and orientation
// flag; each turn re-renders the thumbnail, rewrites the code and flips the
// motion; its text makes a new slide the same slide again.
TEST_F(Slide, OpensTurnsAndRestoresFromItsText) {
    ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.portrait));
    const test::slide_text text = test::read_slide_text(slide.get_properties());
    EXPECT_EQ(1u, names_of_kind(ken_burns_kind_landscape).count(text.names.landscape));
    EXPECT_EQ(1u, names_of_kind(ken_burns_kind_portrait).count(text.names.portrait));
    EXPECT_EQ(files.portrait, text.desc.url);
    EXPECT_EQ(0, text.desc.transform.rotate);
    EXPECT_TRUE(text.desc.transform.correct_orientantion);
    EXPECT_EQ(text.names.portrait, effect());

    struct turn {
        int by, code;
        test::corner red;
    };
    for (const turn& t : {turn{0, 0, test::top_left}, turn{1, 1, test::top_right}, turn{1, 2, test::bottom_right},
                          turn{3, 1, test::top_right}, turn{3, 0, test::top_left}, turn{3, 4, test::bottom_left}}) {
        if (t.by)
            slide.rotate(t.by);
        const video_data_ptr thumbnail = slide.thumbnail();
        const bool on_side = t.code == 1 || t.code == 4;
        EXPECT_EQ(on_side ? 180 : 135, thumbnail->width()) << "code " << t.code;
        EXPECT_EQ(on_side ? 135 : 180, thumbnail->height());
        EXPECT_TRUE(test::red_at(thumbnail, t.red)) << "code " << t.code;
        EXPECT_EQ(on_side ? text.names.landscape : text.names.portrait, effect()) << "code " << t.code;
        EXPECT_EQ(t.code, test::read_slide_text(slide.get_properties()).desc.transform.rotate);
        EXPECT_EQ(thumbnail, slide.impl()->photo()->impl()->picture());
    }

    common_slide restored;
    ASSERT_EQ(slide::opened, test::open_slide(restored, manager, files.portrait, slide.get_properties()));
    EXPECT_EQ(slide.get_properties(), restored.get_properties());

    common_slide square;
    ASSERT_EQ(slide::opened, test::open_slide(square, manager, files.write(200, 200, 0, "square.jpg")));
    EXPECT_EQ(test::read_slide_text(square.get_properties()).names.landscape, square.impl()->ken_burns_effect());
}

// A stored rotation turns the loaded photo (3 is written back as 4); the
// stored names stay; path and orientation flag come from this open.
TEST_F(Slide, StoredRotationAndNamesApplyToTheLoadedPhoto) {
    struct stored_case {
        int stored, written;
        test::corner red;
    };
    for (const stored_case& c : {stored_case{1, 1, test::top_right}, stored_case{2, 2, test::bottom_right},
                                 stored_case{3, 4, test::bottom_left}, stored_case{4, 4, test::bottom_left},
                                 stored_case{9, 0, test::top_left}}) {
        ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.landscape, stored_text(c.stored)));
        const video_data_ptr thumbnail = slide.thumbnail();
        const bool on_side = c.written == 1 || c.written == 4;
        EXPECT_EQ(on_side ? 135 : 180, thumbnail->width()) << "stored " << c.stored;
        EXPECT_TRUE(test::red_at(thumbnail, c.red)) << "stored " << c.stored;
        EXPECT_EQ(on_side ? "stored_portrait" : "stored_landscape", effect());
        const test::slide_text text = test::read_slide_text(slide.get_properties());
        EXPECT_EQ(c.written, text.desc.transform.rotate);
        EXPECT_EQ(files.landscape, text.desc.url);
        EXPECT_TRUE(text.desc.transform.correct_orientantion);
        EXPECT_EQ(stored_names.portrait, text.names.portrait);
    }
}

TEST_F(Slide, UnreadableTextsAreLoggedAndTheOpenGoesOnWithDefaults) {
    const std::string whole = stored_text(1);
    const std::string photo_text = image::photo_desc_to_xml(test::read_slide_text(whole).desc);
    struct unreadable_case {
        std::string text;
        const char* warning;
        bool names_kept;
        int rotation;
    };
    for (const unreadable_case& c :
         {unreadable_case{whole.substr(0, whole.size() / 2), "slide properties", false, 0},
          unreadable_case{"<html/>", "slide properties", false, 0},
          unreadable_case{slide_properties_to_xml({"ken-burns", photo_text}), "ken burns", false, 1},
          unreadable_case{slide_properties_to_xml({ken_burns_desc_to_xml(stored_names), photo_text.substr(0, 300)}),
                          "photo desc", true, 0}}) {
        testing::internal::CaptureStdout();
        const slide::OpenResult result = test::open_slide(slide, manager, files.landscape, c.text);
        EXPECT_THAT(testing::internal::GetCapturedStdout(),
                    HasSubstr(std::string("[kestrel][warning][open_photo] deserialize ") + c.warning + " error\n"));
        ASSERT_EQ(slide::opened, result);
        const test::slide_text text = test::read_slide_text(slide.get_properties());
        EXPECT_EQ(c.rotation, text.desc.transform.rotate) << c.warning;
        if (c.names_kept)
            EXPECT_EQ(stored_names.landscape, text.names.landscape);
        else
            EXPECT_EQ(1u, names_of_kind(ken_burns_kind_landscape).count(text.names.landscape)) << c.warning;
    }
}

TEST_F(Slide, BeforeItsPhotoArrivesTheSlideHasNothing) {
    const photo_manager_ptr idle = photo_manager::create(test::workers(0));
    slide.open_photo(idle, files.landscape, media_settings_ptr(), slide::open_callback(), stored_text(1));
    testing::internal::CaptureStdout();
    EXPECT_EQ("", slide.get_properties());
    EXPECT_EQ("[kestrel][warning][common_slide_impl::get_properties] : empty photo\n",
              testing::internal::GetCapturedStdout());
    EXPECT_FALSE(slide.thumbnail());
    EXPECT_EQ("", effect());
    slide.rotate(1);
    EXPECT_THROW(slide.open_photo(photo_manager_ptr(), files.landscape, media_settings_ptr(), slide::open_callback(), ""),
                 errors::invalid_pointer);
}

// A photo that did not answer is opened again later: its slide keeps its
// motions, which follow from the file's name.
TEST_F(Slide, ReopeningTheSameFileDrawsTheSameNames) {
    ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.landscape));
    const std::string first = slide.get_properties();
    for (int i = 0; i < 3; ++i) {
        std::rand();
        ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.landscape));
        EXPECT_EQ(first, slide.get_properties());
    }
}
