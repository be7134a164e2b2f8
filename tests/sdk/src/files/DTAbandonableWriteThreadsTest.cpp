// Files written, closed and removed on a share that holds those calls:
// a stop gives a write up at once and the file takes no more, its deadline
// only a write the share holds, and neither
// a writer's going nor a reader's close waits for the share, each leaving
// its call to come back, with its place, once the share answers; an
// unfinished video is removed after a stop within its patience, and a
// complete one never, whenever its naming answers.

#include "files/DTAbandonableRead.h"
#include "files/DTAbandonableVideo.h"
#include "files/DTAbandonableWrite.h"
#include "files/DTLongWaits.h"
#include "files/DTStopDeadline.h"

#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace kestrel;

namespace {

// Far above an honest call or a patience, far below a hang.
const std::chrono::seconds bound(15);


// Whether the calls left waiting come to `count` within 10 s: a close left
// to itself takes its place once the share has kept it waiting a while.
bool left_waiting_becomes(const read_threads& threads, int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (threads.left_waiting() != count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return threads.left_waiting() == count;
}

bool places_given_back(const read_threads& threads) { return left_waiting_becomes(threads, 0); }

class SharedWrites : public testing::Test {
protected:
    void SetUp() override {
        source = dir.file("source");
        mounted = dir.file("share");
        ASSERT_EQ(0, ::mkdir(source.c_str(), 0700));
        ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
        test::write_file(source + "/photo.jpg", std::string(1000, 'p'));
        share = std::make_unique<test::hanging_share>(source, mounted);
        if (!share->unavailable().empty())
            GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    }
    // Whether the call returned within the bound by itself; else the share
    // is made to answer, so that the test ends.
    bool returns_unhelped(const std::function<void()>& call) { return test::returns_unhelped(*share, bound, call); }

    void TearDown() override {
        if (share && share->unavailable().empty())
            share->answer();
    }

    test::TempDir dir;
    std::string source, mounted;
    std::unique_ptr<test::hanging_share> share;
};

} // namespace

TEST_F(SharedWrites, AStopGivesAWriteUpAndTheFileTakesNoMoreNorWaitsToGo) {
    read_threads threads;
    const auto stop = std::make_shared<read_interruption>();
    const read_interruption_scope scope(stop);
    const std::string path = mounted + "/video.mp4";
    std::vector<uint8_t> bytes(4096, 'v');
    {
        auto file = std::make_unique<abandonable_output>(path, O_WRONLY | O_CREAT | O_TRUNC, threads);
        ASSERT_EQ(bytes.size(), file->write(bytes.data(), bytes.size()));
        share->hang("write");
        std::thread stopper([&] {
            if (share->held_within(std::chrono::seconds(10)))
                stop->set(true);
        });
        bool interrupted = false;
        EXPECT_TRUE(returns_unhelped([&] {
            try {
                file->write(bytes.data(), bytes.size());
            } catch (const read_interrupted&) {
                interrupted = true;
            }
        })) << "the stop did not give the write up";
        stopper.join();
        EXPECT_TRUE(interrupted);
        // The write given up still holds the file: nothing more is asked.
        stop->set(false);
        EXPECT_TRUE(returns_unhelped([&] { EXPECT_THROW(file->write(bytes.data(), bytes.size()), read_interrupted); }));
        EXPECT_THROW(file->close(), read_interrupted);
        EXPECT_EQ(1, threads.left_waiting());
        EXPECT_TRUE(returns_unhelped([&] { file.reset(); })) << "the file's going waited for the share";
    }
    share->answer();
    EXPECT_TRUE(places_given_back(threads)) << "the write given up never came back";
    EXPECT_EQ(2 * bytes.size(), static_cast<std::size_t>(test::file_size(source + "/video.mp4")));
}

// A stop's deadline cuts short only the waiting: past it, writes a disk
// answers at once are still made, the file completed; the first write the
// share holds is given up once the deadline has passed, not before.
TEST_F(SharedWrites, AStopsDeadlineGivesUpOnlyAWriteTheShareHolds) {
    read_threads threads;
    const auto stop = std::make_shared<read_interruption>();
    const read_interruption_scope scope(stop);
    std::vector<uint8_t> bytes(4096, 'v');
    abandonable_output local(dir.file("local.mp4"), O_WRONLY | O_CREAT | O_TRUNC, threads);
    stop->give_up_at(std::chrono::steady_clock::now());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(bytes.size(), local.write(bytes.data(), bytes.size()));
    EXPECT_NO_THROW(local.close());
    EXPECT_EQ(3 * bytes.size(), static_cast<std::size_t>(test::file_size(dir.file("local.mp4"))));

    stop->give_up_at(std::chrono::steady_clock::time_point::max());
    abandonable_output shared(mounted + "/video.mp4", O_WRONLY | O_CREAT | O_TRUNC, threads);
    share->hang("write");
    const stop_deadline deadline;
    stop->give_up_at(deadline.at());
    bool interrupted = false;
    EXPECT_TRUE(returns_unhelped([&] {
        try {
            shared.write(bytes.data(), bytes.size());
        } catch (const read_interrupted&) {
            interrupted = true;
        }
    })) << "the deadline did not give the write up";
    const auto given_up = std::chrono::steady_clock::now();
    EXPECT_TRUE(interrupted);
    EXPECT_GE(given_up, deadline.at()) << "given up before the deadline";
    // Far above a deadline's moment, far below the hang.
    EXPECT_LT(given_up - deadline.at(), std::chrono::seconds(1));
}

TEST_F(SharedWrites, AReadersCloseNeverWaitsForTheShareAndComesBackWithItsPlace) {
    read_threads threads;
    const read_interruption_scope scope(std::make_shared<read_interruption>());
    std::unique_ptr<abandonable_file> photo = std::make_unique<abandonable_file>(mounted + "/photo.jpg", threads);
    uint8_t byte = 0;
    ASSERT_EQ(1u, photo->read(&byte, 1));
    share->hang("flush");
    EXPECT_TRUE(returns_unhelped([&] { photo.reset(); })) << "the close waited for the share";
    EXPECT_TRUE(share->held_within(std::chrono::seconds(10))) << "the close was never asked";
    EXPECT_TRUE(left_waiting_becomes(threads, 1));
    share->answer();
    EXPECT_TRUE(places_given_back(threads));
}

// Stopped while its writes hang, an unfinished video's name is still asked
// to go; its removal held, the removal waits only its patience and goes on
// by itself once the share answers.
TEST_F(SharedWrites, AnUnfinishedVideoGoesAfterAStopOrOnceTheShareAnswers) {
    const auto stop = std::make_shared<read_interruption>();
    const read_interruption_scope scope(stop);
    auto hidden = [this] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(source))
            if (unfinished_video::is_unfinished_name(entry.path().filename().string()))
                names.push_back(entry.path().filename().string());
        return names;
    };
    for (const bool removal_hangs : {false, true}) {
        SCOPED_TRACE(removal_hangs ? "its removal hangs" : "the share answers");
        read_threads threads;
        abandonable_video video(mounted + "/show.mp4", threads);
        ASSERT_EQ(0, video.create(mounted));
        ASSERT_EQ(1u, hidden().size());
        stop->set(true);
        EXPECT_THROW(video.folder_path(), read_interrupted);
        if (removal_hangs)
            share->hang("unlink");
        bool removed = true;
        EXPECT_TRUE(returns_unhelped([&] { removed = video.discard(std::chrono::milliseconds(500)); }));
        EXPECT_EQ(!removal_hangs, removed);
        EXPECT_EQ(removal_hangs ? 1u : 0u, hidden().size());
        share->answer();
        EXPECT_TRUE(places_given_back(threads));
        EXPECT_TRUE(hidden().empty()) << "the removal left behind never came";
        stop->set(false);
    }
}

// A naming held past its patience while another program takes the name:
// once the share answers, the complete video takes the next free name, or
// without one stays under its hidden name, never removed, and the log says
// which. A naming done while only its lock's close is held is answered.
TEST_F(SharedWrites, ACompleteVideoIsNeverLostToANamingThatAnswersLate) {
    const auto hidden = [this] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(source))
            if (unfinished_video::is_unfinished_name(entry.path().filename().string()))
                names.push_back(entry.path().filename().string());
        return names;
    };
    const std::function<std::string(int)> numbered = [](int number) {
        return "show (" + std::to_string(number) + ").mp4";
    };
    for (const bool next_free : {true, false}) {
        SCOPED_TRACE(next_free ? "a next free name" : "no other name");
        std::filesystem::remove(source + "/show.mp4");
        read_threads threads;
        const read_interruption_scope scope(std::make_shared<read_interruption>(), std::chrono::milliseconds(300));
        auto video = std::make_unique<abandonable_video>(mounted + "/show.mp4", threads);
        ASSERT_EQ(0, video->create(mounted));
        test::write_file(video->writer_path(), "complete video");
        ASSERT_EQ(1u, hidden().size());
        const std::string kept = hidden().front();
        share->hang("rename");
        testing::internal::CaptureStdout();
        EXPECT_ANY_THROW(video->finish_as("show.mp4", next_free ? numbered : std::function<std::string(int)>()));
        test::write_file(source + "/show.mp4", "another program's");
        video.reset();
        share->answer();
        EXPECT_TRUE(places_given_back(threads));
        const std::string log = testing::internal::GetCapturedStdout();
        EXPECT_EQ("another program's", test::read_file(source + "/show.mp4"));
        if (next_free) {
            EXPECT_TRUE(hidden().empty());
            EXPECT_EQ("complete video", test::read_file(source + "/show (2).mp4"));
            EXPECT_NE(std::string::npos, log.find("the name \"" + mounted + "/show.mp4\" was taken when the disk "
                                                  "answered: the complete video is \"" + mounted + "/show (2).mp4\""))
                << log;
        } else {
            EXPECT_EQ(std::vector<std::string>{kept}, hidden());
            EXPECT_NE(std::string::npos, log.find("it stays as \"" + mounted + "/" + kept + "\"")) << log;
        }
    }

    read_threads threads;
    const read_interruption_scope scope(std::make_shared<read_interruption>(), std::chrono::milliseconds(300));
    abandonable_video video(mounted + "/held.mp4", threads);
    ASSERT_EQ(0, video.create(mounted));
    test::write_file(video.writer_path(), "complete video");
    share->hang("flush");
    abandonable_video::naming named{-1, std::string()};
    EXPECT_TRUE(returns_unhelped([&] { EXPECT_NO_THROW(named = video.finish_as("held.mp4")); }));
    EXPECT_EQ(0, named.error);
    EXPECT_EQ("held.mp4", named.name);
    share->answer();
    EXPECT_EQ("complete video", test::read_file(source + "/held.mp4"));
}
