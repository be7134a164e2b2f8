// The Ken Burns motions of a folder's slides as the program adds them (the
// storyboard over the slideshow the conversion makes) and as
// kestrel_make_show opens them: the same, slide by slide, whatever else
// drew random numbers before or between.

#include "ViewModelTesting.h"

#include "ShowMaker.h"

#include "slideshow2/DTSlideProperties.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

using namespace viewmodeltest;

namespace {

typedef std::pair<std::string, std::string> motion_names; // landscape, portrait

std::vector<motion_names> motionsOf(const kestrel::slideshow2::slideshow_ptr& show)
{
    std::vector<motion_names> motions;
    for (std::size_t i = 0; i < show->count(); ++i) {
        kestrel::slideshow2::slide_properties_t properties;
        kestrel::slideshow2::ken_burns_desc names;
        EXPECT_TRUE(kestrel::slideshow2::slide_properties_from_xml(show->get_slide(i)->get_properties(), properties));
        EXPECT_TRUE(kestrel::slideshow2::ken_burns_desc_from_xml(properties.ken_burns, names));
        motions.emplace_back(names.landscape, names.portrait);
    }
    return motions;
}

} // namespace

TEST(SlideMotions, AreTheSameInTheProgramAndInTheCommandLineMaker)
{
    forgetLastRun();
    kestrel::test::TempDir dir;
    const std::string folder = dir.file("photos");
    std::filesystem::create_directory(folder);
    for (const char* name : {"harbour.jpg", "IMG_0002.jpg", "IMG_0010.jpg", "IMG_0011.jpg", "l\xc3\xa9man.jpg",
                             "z 1.jpg", "z 2.jpg", "z 3.jpg"})
        writePhoto(folder + "/" + name);
    const std::string music = dir.file("music.wav");
    kestrel::test::write_file(music, waveFile());

    std::srand(1);
    const kestrel::slideshow2::slideshow_ptr programShow = create_gil_slideshow();
    const QSharedPointer<ComponentModel::ImageProvider> photos = QSharedPointer<ComponentModel::ImageProvider>::create();
    ViewModel::StoryboardViewModel storyboard(programShow, photos);
    storyboard.addSlide(qtPath(folder));
    ASSERT_TRUE(settled(storyboard));
    const std::vector<motion_names> program = motionsOf(programShow);

    // Another count of earlier draws, from another start.
    std::srand(2);
    for (int i = 0; i < 7; ++i)
        std::rand();
    const make_show::opened_show made = make_show::open_show(make_show::jpeg_files(folder), music);
    const std::vector<motion_names> maker = motionsOf(made.show);

    ASSERT_EQ(8u, program.size());
    EXPECT_EQ(program, maker);
    std::set<std::string> landscapes;
    for (const motion_names& names : maker)
        landscapes.insert(names.first);
    EXPECT_GT(landscapes.size(), 2u) << "a folder's slides do not all move alike";
}
