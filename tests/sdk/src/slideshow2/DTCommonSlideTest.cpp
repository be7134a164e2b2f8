#include "DTErrors.h"
#include "slideshow2/DTCommonSlide.h"
#include "slideshow2/DTKenBurnsRegistry.h"
#include "slideshow2/DTPhoto.h"

#include "PhotoManagerFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

using namespace kestrel;
using namespace kestrel::slideshow2;
using test::corner;
using testing::HasSubstr;

namespace {

std::set<std::string> names_of_kind(int kind) {
    std::set<std::string> names;
    for (std::size_t i = 0; i < ken_burns_registry_size; ++i)
        if (ken_burns_registry()[i].kind == kind && ken_burns_registry()[i].name != "static")
            names.insert(ken_burns_registry()[i].name);
    return names;
}

class Slide : public testing::Test {
protected:
    test::photo_files files;
    photo_manager_ptr manager = photo_manager::create(test::workers(2));
    common_slide slide;

    std::string effect() const { return slide.impl()->ken_burns_effect(); }
    photo_ptr photo() const { return slide.impl()->photo(); }
};

const ken_burns_desc stored_names{"ls_center_out", "pt_bt_out_2"};

} // namespace

TEST_F(Slide, FreshOpenDrawsNamesAndShowsThePhotoUnturned) {
    ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.landscape));
    const test::slide_text text = test::read_slide_text(slide.get_properties());
    EXPECT_EQ(1u, names_of_kind(ken_burns_kind_landscape).count(text.names.landscape));
    EXPECT_EQ(9u, names_of_kind(ken_burns_kind_landscape).size());
    EXPECT_EQ(1u, names_of_kind(ken_burns_kind_portrait).count(text.names.portrait));
    EXPECT_EQ(3u, names_of_kind(ken_burns_kind_portrait).size());
    EXPECT_EQ(files.landscape, text.desc.url);
    EXPECT_EQ(0, text.desc.transform.rotate);
    EXPECT_TRUE(text.desc.transform.correct_orientantion) << "the manager's default";

    const video_data_ptr thumbnail = slide.thumbnail();
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(180, thumbnail->width());
    EXPECT_EQ(135, thumbnail->height());
    EXPECT_EQ(test::red, test::colour_at(thumbnail, corner::top_left));
    EXPECT_EQ(thumbnail, photo()->impl()->picture());
    EXPECT_EQ(text.names.landscape, effect());

    common_slide square;
    ASSERT_EQ(slide::opened, test::open_slide(square, manager, files.write(200, 200, 0, "square.jpg")));
    EXPECT_EQ(test::read_slide_text(square.get_properties()).names.landscape, square.impl()->ken_burns_effect())
        << "a square photo counts as landscape";
}

// A portrait photo plays the portrait motion until a quarter turn lays it
// on its side; the thumbnail follows each turn.
TEST_F(Slide, TurnsChangeThumbnailCodeAndMotion) {
    ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.portrait));
    const ken_burns_desc names = test::read_slide_text(slide.get_properties()).names;
    EXPECT_EQ(names.portrait, effect());

    struct turn {
        int by;
        int code;
        corner red;
        const std::string& motion;
    };
    for (const turn& t : {turn{1, 1, corner::top_right, names.landscape}, turn{1, 2, corner::bottom_right, names.portrait},
                          turn{3, 1, corner::top_right, names.landscape}, turn{3, 0, corner::top_left, names.portrait},
                          turn{3, 4, corner::bottom_left, names.landscape}}) {
        slide.rotate(t.by);
        const video_data_ptr thumbnail = slide.thumbnail();
        const bool side = t.code == 1 || t.code == 4;
        EXPECT_EQ(side ? 180 : 135, thumbnail->width()) << "code " << t.code;
        EXPECT_EQ(side ? 135 : 180, thumbnail->height());
        EXPECT_EQ(test::red, test::colour_at(thumbnail, t.red)) << "code " << t.code;
        EXPECT_EQ(t.motion, effect()) << "code " << t.code;
        EXPECT_EQ(t.code, test::read_slide_text(slide.get_properties()).desc.transform.rotate);
    }

    // A new slide opened with this text is the same slide again.
    const std::string stored = slide.get_properties();
    common_slide restored;
    ASSERT_EQ(slide::opened, test::open_slide(restored, manager, files.portrait, stored));
    EXPECT_EQ(stored, restored.get_properties());
    EXPECT_EQ(names.landscape, restored.impl()->ken_burns_effect());
}

struct stored_case {
    int stored;
    int written;
    int width;
    int height;
    corner red;
    const char* motion;
};

class SlideStoredRotation : public Slide, public testing::WithParamInterface<stored_case> {};

// The stored rotation turns the freshly loaded photo; the stored path and
// orientation flag are not used: the path opened and the manager decide.
TEST_P(SlideStoredRotation, TurnsTheLoadedPhotoAndKeepsTheNames) {
    const stored_case& c = GetParam();
    image::photo_desc desc;
    desc.url = "/elsewhere/old.jpg";
    desc.transform.rotate = c.stored;
    ASSERT_EQ(slide::opened,
              test::open_slide(slide, manager, files.landscape, test::write_slide_text(stored_names, desc)));
    const video_data_ptr thumbnail = slide.thumbnail();
    EXPECT_EQ(c.width, thumbnail->width());
    EXPECT_EQ(c.height, thumbnail->height());
    EXPECT_EQ(test::red, test::colour_at(thumbnail, c.red));
    EXPECT_EQ(c.motion, effect());
    const test::slide_text text = test::read_slide_text(slide.get_properties());
    EXPECT_EQ(c.written, text.desc.transform.rotate);
    EXPECT_EQ(files.landscape, text.desc.url);
    EXPECT_TRUE(text.desc.transform.correct_orientantion);
    EXPECT_EQ(stored_names.landscape, text.names.landscape);
    EXPECT_EQ(stored_names.portrait, text.names.portrait);
}

INSTANTIATE_TEST_SUITE_P(Codes, SlideStoredRotation,
                         testing::Values(stored_case{0, 0, 180, 135, corner::top_left, "ls_center_out"},
                                         stored_case{1, 1, 135, 180, corner::top_right, "pt_bt_out_2"},
                                         stored_case{2, 2, 180, 135, corner::bottom_right, "ls_center_out"},
                                         stored_case{3, 4, 135, 180, corner::bottom_left, "pt_bt_out_2"},
                                         stored_case{4, 4, 135, 180, corner::bottom_left, "pt_bt_out_2"},
                                         stored_case{9, 0, 180, 135, corner::top_left, "ls_center_out"}));

struct unreadable_case {
    const char* name;
    std::string text;
    const char* warning;
    bool names_kept;
    int rotation;
};

class SlideUnreadableText : public Slide, public testing::WithParamInterface<unreadable_case> {};

TEST_P(SlideUnreadableText, IsLoggedAndTheDefaultsStay) {
    const unreadable_case& c = GetParam();
    testing::internal::CaptureStdout();
    const slide::OpenResult result = test::open_slide(slide, manager, files.landscape, c.text);
    EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr(std::string("[kestrel][warning]") + c.warning + "\n"));
    ASSERT_EQ(slide::opened, result) << "the open goes on";
    const test::slide_text text = test::read_slide_text(slide.get_properties());
    EXPECT_EQ(c.rotation, text.desc.transform.rotate);
    EXPECT_EQ(c.names_kept, text.names.landscape == stored_names.landscape &&
                                text.names.portrait == stored_names.portrait);
    EXPECT_EQ(1u, names_of_kind(ken_burns_kind_landscape).count(text.names.landscape));
}

namespace {

image::photo_desc turned(int code) {
    image::photo_desc desc;
    desc.url = "x.jpg";
    desc.transform.rotate = code;
    return desc;
}

std::string with_inner(const std::string& ken_burns, const std::string& photo) {
    slide_properties_t properties{ken_burns, photo};
    return slide_properties_to_xml(properties);
}

std::string cut(const std::string& text) { return text.substr(0, text.size() / 2); }

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Texts, SlideUnreadableText,
    testing::Values(
        unreadable_case{"BrokenOuter", cut(test::write_slide_text(stored_names, turned(1))),
                        "[open_photo] deserialize slide properties error", false, 0},
        unreadable_case{"Foreign", "<html>stored slide</html>", "[open_photo] deserialize slide properties error", false, 0},
        unreadable_case{"BrokenKenBurns", with_inner("ken-burns", image::photo_desc_to_xml(turned(2))),
                        "[open_photo] deserialize ken burns error", false, 2},
        unreadable_case{"BrokenPhotoDesc", with_inner(ken_burns_desc_to_xml(stored_names), cut(image::photo_desc_to_xml(turned(1)))),
                        "[open_photo] deserialize photo desc error", true, 0}),
    [](const testing::TestParamInfo<unreadable_case>& info) { return std::string(info.param.name); });

TEST_F(Slide, BeforeTheCompletionTheSlideHasNothing) {
    const photo_manager_ptr idle = photo_manager::create(test::workers(0));
    slide.open_photo(idle, files.landscape, media_settings_ptr(), slide::open_callback(), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ("", slide.get_properties());
    EXPECT_EQ("[kestrel][warning][common_slide_impl::get_properties] : empty photo\n",
              testing::internal::GetCapturedStdout());
    EXPECT_FALSE(slide.thumbnail());
    EXPECT_EQ("", effect());
    EXPECT_FALSE(photo());
    slide.rotate(1);
    EXPECT_THROW(slide.open_photo(photo_manager_ptr(), files.landscape, media_settings_ptr(),
                                  slide::open_callback(), ""),
                 errors::invalid_pointer);
}

TEST_F(Slide, ReopeningDrawsNewNamesUnlessGivenTheText) {
    ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.landscape));
    const std::string first = slide.get_properties();
    const ken_burns_desc drawn = test::read_slide_text(first).names;

    bool changed = false;
    for (int i = 0; i < 20 && !changed; ++i) {
        ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.landscape));
        const ken_burns_desc again = test::read_slide_text(slide.get_properties()).names;
        changed = again.landscape != drawn.landscape || again.portrait != drawn.portrait;
    }
    EXPECT_TRUE(changed) << "twenty reopenings drew the same two names";

    ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.landscape, first));
    EXPECT_EQ(first, slide.get_properties());
}

// A photo that cannot be read leaves the slide without one: it answers
// "not opened", also when it replaces a photo opened before.
TEST_F(Slide, AFileThatCannotBeReadAnswersNotOpened) {
    ASSERT_EQ(slide::opened, test::open_slide(slide, manager, files.landscape));
    const std::string broken = files.dir.file("broken.jpg");
    test::write_file(broken, test::read_file(files.landscape).substr(0, 300));
    for (const std::string& path : {broken, files.dir.file("missing.jpg"), files.dir.path()}) {
        EXPECT_EQ(slide::not_opened, test::open_slide(slide, manager, path)) << path;
        EXPECT_FALSE(photo());
        EXPECT_FALSE(slide.thumbnail());
        EXPECT_EQ("", effect());
    }
}
