#include "DTErrors.h"
#include "slideshow2/DTCancelOpen.h"
#include "slideshow2/DTPhoto.h"
#include "slideshow2/DTPhotoManager.h"
#include "support/CallbackRecorder.h"

#include "PhotoManagerFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/lexical_cast/bad_lexical_cast.hpp>
#include <boost/make_shared.hpp>

#include <thread>

using namespace kestrel;
using namespace kestrel::slideshow2;
using test::corner;
using test::workers;
using testing::HasSubstr;

namespace {

typedef test::CallbackRecorder<photo_manager::OpenResult, photo_ptr> recorder;
typedef std::vector<std::pair<std::string, std::string>> entries;

media_settings_ptr settings_of(const entries& list) {
    if (list.empty())
        return media_settings_ptr();
    media_settings_ptr settings = media_settings::create();
    for (const auto& entry : list)
        settings->set(entry.first, entry.second);
    return settings;
}

struct load_case {
    const char* name;
    entries manager;
    entries request;
    const char* file; // a member of photo_files, or a bad file
    photo_manager::OpenResult result;
    int width;
    int height;
    corner red;
};

std::string path_for(const test::photo_files& files, const std::string& which) {
    if (which == "tagged")
        return files.tagged;
    if (which == "folder")
        return files.dir.path();
    const std::string path = files.dir.file(which);
    if (which == "empty.jpg")
        test::write_file(path, "");
    if (which == "text.jpg")
        test::write_file(path, "not a photo at all\n");
    if (which == "cut.jpg")
        test::write_file(path, test::read_file(files.tagged).substr(0, 200));
    return path;
}

class PhotoManagerLoads : public testing::TestWithParam<load_case> {};

} // namespace

// The tagged photo is 400 x 300 with its red quadrant top left, and
// orientation 6 stands it up with red at the top right.
TEST_P(PhotoManagerLoads, AnswersWithThePhotoAtTheSettingsSide) {
    const load_case& c = GetParam();
    test::photo_files files;
    photo_manager manager(settings_of(c.manager));
    auto calls = std::make_shared<recorder>();
    manager.open(path_for(files, c.file), settings_of(c.request), calls->receiver());

    const auto answers = calls->wait_for(1);
    ASSERT_EQ(1u, answers.size());
    EXPECT_NE(std::this_thread::get_id(), calls->threads()[0]);
    EXPECT_EQ(0, manager.pending_count()) << "lowered before the callback";
    EXPECT_EQ(c.result, std::get<0>(answers[0]));
    const photo_ptr photo = std::get<1>(answers[0]);
    if (c.result == photo_manager::not_opened) {
        EXPECT_FALSE(photo);
        return;
    }
    ASSERT_TRUE(photo);
    const video_data_ptr picture = photo->impl()->picture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(c.width, picture->width());
    EXPECT_EQ(c.height, picture->height());
    EXPECT_EQ(test::red, test::colour_at(picture, c.red));
    EXPECT_EQ(files.tagged, photo->desc().url);
    EXPECT_EQ(0, photo->desc().transform.rotate);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, PhotoManagerLoads,
    testing::Values(
        load_case{"Defaults", {}, {}, "tagged", photo_manager::opened, 135, 180, corner::top_right},
        load_case{"OrientationOne", {{"correct-orientation", "1"}}, {}, "tagged", photo_manager::opened, 135, 180, corner::top_right},
        load_case{"OrientationPlusOne", {{"correct-orientation", "+1"}}, {}, "tagged", photo_manager::opened, 135, 180, corner::top_right},
        load_case{"OrientationZero", {{"correct-orientation", "0"}}, {}, "tagged", photo_manager::opened, 180, 135, corner::top_left},
        load_case{"OrientationPlusZero", {{"correct-orientation", "+0"}}, {}, "tagged", photo_manager::opened, 180, 135, corner::top_left},
        load_case{"OrientationMinusZero", {{"correct-orientation", "-0"}}, {}, "tagged", photo_manager::opened, 180, 135, corner::top_left},
        load_case{"OrientationYes", {{"correct-orientation", "yes"}}, {}, "tagged", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"OrientationMinusOne", {{"correct-orientation", "-1"}}, {}, "tagged", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"RequestOrientationWins", {{"correct-orientation", "1"}}, {{"correct-orientation", "0"}}, "tagged", photo_manager::opened, 180, 135, corner::top_left},
        load_case{"ManagerSide", {{"max-side-length", "100"}}, {}, "tagged", photo_manager::opened, 75, 100, corner::top_right},
        load_case{"RequestSideWins", {{"max-side-length", "100"}}, {{"max-side-length", "60"}}, "tagged", photo_manager::opened, 45, 60, corner::top_right},
        load_case{"SideZero", {{"max-side-length", "0"}}, {}, "tagged", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"SideNegative", {}, {{"max-side-length", "-1"}}, "tagged", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"SideFraction", {}, {{"max-side-length", "12.5"}}, "tagged", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"SideHuge", {}, {{"max-side-length", "4000000000"}}, "tagged", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"MissingFile", {}, {}, "missing.jpg", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"EmptyFile", {}, {}, "empty.jpg", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"TextFile", {}, {}, "text.jpg", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"HeaderOnly", {}, {}, "cut.jpg", photo_manager::not_opened, 0, 0, corner::top_left},
        load_case{"Folder", {}, {}, "folder", photo_manager::not_opened, 0, 0, corner::top_left}),
    [](const testing::TestParamInfo<load_case>& info) { return std::string(info.param.name); });

// One worker held by a blocking request: the requests behind it wait,
// counted, and run in order once it is let go; a cancel before the start
// answers "not opened", a cancel after the start changes nothing.
TEST(PhotoManager, QueuedRequestsAreCountedCancelledAndAnsweredInOrder) {
    test::photo_files files;
    photo_manager manager(workers(1));
    test::worker_gate gate;
    const ControllerPtr started = gate.block(manager);
    EXPECT_EQ(0, manager.pending_count()) << "a task whose callback runs is no longer pending";

    auto calls = std::make_shared<recorder>();
    const ControllerPtr first = manager.open(files.landscape, calls->receiver());
    const ControllerPtr second = manager.open(files.portrait, calls->receiver());
    manager.open_no_handle(files.tagged, calls->receiver());
    EXPECT_EQ(3, manager.pending_count());
    cancel_open(first);
    cancel_open(started);
    gate.release();

    const auto answers = calls->wait_for(3);
    ASSERT_EQ(3u, answers.size());
    EXPECT_EQ(photo_manager::not_opened, std::get<0>(answers[0]));
    EXPECT_FALSE(std::get<1>(answers[0]));
    ASSERT_EQ(photo_manager::opened, std::get<0>(answers[1]));
    EXPECT_EQ(files.portrait, std::get<1>(answers[1])->desc().url);
    ASSERT_EQ(photo_manager::opened, std::get<0>(answers[2]));
    EXPECT_EQ(files.tagged, std::get<1>(answers[2])->desc().url);
    EXPECT_EQ(0, manager.pending_count());
    ASSERT_EQ(1u, gate.answers().size());
    EXPECT_EQ(photo_manager::opened, std::get<0>(gate.answers()[0]));
}

TEST(PhotoManager, WithoutWorkersRequestsWaitAndAreDroppedUnanswered) {
    test::photo_files files;
    auto calls = std::make_shared<recorder>();
    {
        photo_manager manager(workers(0));
        for (int i = 0; i < 3; ++i)
            manager.open(files.landscape, calls->receiver());
        EXPECT_EQ(3, manager.pending_count());
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(3, manager.pending_count());
    }
    EXPECT_TRUE(calls->calls().empty());
    EXPECT_EQ(1, calls.use_count()) << "the dropped requests released their callbacks";
}

TEST(PhotoManager, WorkerCountsThatAreNoCountsAreRefused) {
    EXPECT_THROW(photo_manager(media_settings::create("hardware-concurrency", "four")), boost::bad_lexical_cast);
    EXPECT_THROW(photo_manager(media_settings::create("hardware-concurrency", "2.5")), boost::bad_lexical_cast);
    EXPECT_THROW(photo_manager(media_settings::create("hardware-concurrency", "-1")), errors::invalid_argument);
    EXPECT_THROW(photo_manager(media_settings::create("hardware-concurrency", "100000")), errors::invalid_argument);
}

TEST(PhotoManager, ACallbackThatThrowsIsLoggedAndTheManagerGoesOn) {
    test::photo_files files;
    photo_manager manager(workers(1));
    auto calls = std::make_shared<recorder>();
    testing::internal::CaptureStdout();
    manager.open(files.landscape, calls->throwing_receiver());
    manager.open(files.portrait, calls->receiver());
    const auto answers = calls->wait_for(2);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(2u, answers.size()) << "each request answered once";
    EXPECT_EQ(photo_manager::opened, std::get<0>(answers[0]));
    EXPECT_EQ(photo_manager::opened, std::get<0>(answers[1]));
    EXPECT_EQ(0, manager.pending_count());
    EXPECT_THAT(out, HasSubstr("[kestrel][warning][photo_manager] open callback failed: receiver failed\n"));
}

// Destroyed while loads are queued and under way: the running ones finish
// with one answer each, the queued ones are dropped, nothing comes later.
TEST(PhotoManager, DestroyedWhileLoadsAreQueuedAndInFlight) {
    test::photo_files files;
    const std::string big = files.write(1600, 1200, 6, "big.jpg");
    for (int delay_ms : {0, 1, 3, 10}) {
        auto calls = std::make_shared<recorder>();
        std::size_t answered;
        {
            photo_manager manager(workers(3));
            for (int i = 0; i < 12; ++i) {
                const ControllerPtr handle = manager.open(i % 3 ? big : files.landscape, calls->receiver());
                if (i % 4 == 3)
                    cancel_open(handle);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        }
        answered = calls->calls().size();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto answers = calls->calls();
        EXPECT_EQ(answered, answers.size()) << "no answer after the destructor returned";
        EXPECT_LE(answers.size(), 12u);
        for (const auto& answer : answers)
            EXPECT_EQ(std::get<0>(answer) == photo_manager::opened, bool(std::get<1>(answer)));
        EXPECT_EQ(1, calls.use_count()) << "every copy of the callback was released";
    }
}

// The last owner let go inside a callback: the worker cannot join itself;
// it says so, the other workers are joined, and the process goes on.
TEST(PhotoManager, DestroyedFromItsOwnCallbackRefusesToJoinThatWorker) {
    test::photo_files files;
    auto owner = std::make_shared<photo_manager_ptr>(photo_manager::create(workers(2)));
    auto calls = std::make_shared<recorder>();
    auto answer = calls->receiver();
    testing::internal::CaptureStdout();
    (*owner)->open(files.landscape, [owner, answer](photo_manager::OpenResult result, photo_ptr photo) {
        owner->reset();
        answer(result, photo);
    });
    const auto answers = calls->wait_for(1);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(1u, answers.size());
    EXPECT_EQ(photo_manager::opened, std::get<0>(answers[0]));
    EXPECT_FALSE(*owner);
    EXPECT_THAT(out, HasSubstr("[kestrel][error][photo_manager] destroyed from its own callback"));

    // Nothing is left in a state that stops the next manager.
    photo_manager next(workers(1));
    auto more = std::make_shared<recorder>();
    next.open(files.portrait, more->receiver());
    EXPECT_EQ(1u, more->wait_for(1).size());
}
