#include "files/DTReadInterruption.h"
#include "slideshow2/DTGilPhoto.h"
#include "support/HangingShare.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <boost/thread/thread.hpp>

#include <sys/stat.h>

#include <atomic>
#include <memory>

using namespace kestrel;
using namespace kestrel::slideshow2;

// The GUI thread turns a photo while the renderer's thread reads its size,
// description and picture: every picture read is whole, in one of the two
// shapes, and stays readable after later turns.
TEST(PhotoThreads, PicturesReadWhileAnotherThreadTurns) {
    test::TempDir dir;
    test::jpeg_options options;
    options.width = 96;
    options.height = 64;
    const std::string path = dir.file("photo.jpg");
    test::write_file(path, test::make_jpeg(options, test::gradient_painter(96, 64)));
    gil_photo photo(path, true);
    photo.impl()->load(48);

    std::atomic<bool> done(false);
    std::atomic<int> checked(0);
    boost::thread reader([&] {
        while (!done) {
            const video_data_ptr picture = photo.impl()->picture();
            const image::photo_desc desc = photo.desc();
            const unsigned int width = photo.impl()->width();
            ASSERT_TRUE(picture);
            ASSERT_TRUE((picture->width() == 48 && picture->height() == 32) ||
                        (picture->width() == 32 && picture->height() == 48));
            unsigned int sum = 0;
            for (int i = 0; i < picture->size(); ++i)
                sum += picture->data()[i];
            EXPECT_GT(sum, 0u);
            EXPECT_EQ(path, desc.url);
            EXPECT_GT(width, 0u);
            ++checked;
        }
    });
    // Whole turns, until the reader has seen a good number of pictures.
    for (int turns = 0; turns < 4000 && (turns < 12 || checked < 50); turns += 4)
        for (int i = 0; i < 4; ++i)
            photo.impl()->rotate(1);
    done = true;
    reader.join();
    EXPECT_EQ(0, photo.desc().transform.rotate);
    EXPECT_GT(checked, 0);
}

// A turn or a load whose file stops answering (a share that hangs) holds
// no one who asks for the photo meanwhile, as a render's load that a stop
// must be able to give up; given up itself, it leaves the photo as it was.
TEST(PhotoThreads, AReadThatDoesNotAnswerHoldsNoOneWhoAsksForThePhoto) {
    test::TempDir dir;
    ASSERT_EQ(0, ::mkdir(dir.file("source").c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(dir.file("share").c_str(), 0700));
    const test::jpeg_options options; // 64 x 48
    test::write_file(dir.file("source/photo.jpg"), test::make_jpeg(options, test::gradient_painter(64, 48)));
    test::hanging_share share(dir.file("source"), dir.file("share"));
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();
    gil_photo photo(dir.file("share/photo.jpg"), true);
    photo.impl()->load(48);
    for (const bool turn : {true, false}) {
        const auto interruption = std::make_shared<read_interruption>();
        share.hang("open");
        boost::thread reader([&] {
            const read_interruption_scope scope(interruption);
            EXPECT_THROW(turn ? photo.impl()->rotate(1) : photo.impl()->load(24), read_interrupted);
        });
        ASSERT_TRUE(share.held_within(std::chrono::seconds(10)));
        EXPECT_TRUE(test::returns_unhelped(share, std::chrono::seconds(5), [&] { photo.desc(); }))
            << (turn ? "a turn" : "a load") << " held the photo";
        interruption->set(true);
        reader.join();
        share.answer();
        EXPECT_EQ(0, photo.desc().transform.rotate);
        EXPECT_EQ(48, photo.impl()->picture()->width());
    }
}
