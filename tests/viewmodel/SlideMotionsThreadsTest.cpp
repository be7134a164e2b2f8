// The Ken Burns motions of a folder's slides as the program adds them (the
// storyboard over the slideshow the conversion makes) and as
// kestrel_make_show opens them: the same, slide by slide, whatever else
// drew random numbers before.

#include "ViewModelTesting.h"

#include "ShowMaker.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

using namespace viewmodeltest;

namespace {

std::vector<std::string> motionsOf(const kestrel::slideshow2::slideshow_ptr& show)
{
    std::vector<std::string> motions;
    for (std::size_t i = 0; i < show->count(); ++i)
        motions.push_back(show->get_slide(i)->impl()->ken_burns_effect());
    return motions;
}

} // namespace

TEST(SlideMotions, AreTheSameInTheProgramAndInTheCommandLineMaker)
{
    forgetLastRun();
    kestrel::test::TempDir dir;
    const std::string folder = dir.file("photos"), music = dir.file("music.wav");
    std::filesystem::create_directory(folder);
    for (const char* name : {"harbour.jpg", "IMG_0002.jpg", "IMG_0010.jpg", "l\xc3\xa9man.jpg", "z 1.jpg", "z 2.jpg"})
        writePhoto(folder + "/" + name);
    kestrel::test::write_file(music, waveFile());

    std::srand(1);
    const kestrel::slideshow2::slideshow_ptr show = create_gil_slideshow();
    ViewModel::StoryboardViewModel storyboard(show, QSharedPointer<ComponentModel::ImageProvider>::create());
    storyboard.addSlide(qtPath(folder));
    ASSERT_TRUE(settled(storyboard));
    const std::vector<std::string> program = motionsOf(show);

    // Another count of earlier draws, from another start.
    std::srand(2);
    for (int i = 0; i < 7; ++i)
        std::rand();
    const std::vector<std::string> maker =
        motionsOf(make_show::open_show(make_show::jpeg_files(folder), music).show);

    ASSERT_EQ(6u, program.size());
    EXPECT_EQ(program, maker);
}
