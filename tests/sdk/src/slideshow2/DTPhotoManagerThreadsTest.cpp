#include "base/DTErrors.h"
#include "slideshow2/DTCancelOpen.h"
#include "slideshow2/DTPhoto.h"

#include "PhotoManagerFixtures.h"

#include "support/LogLines.h"

#include <gmock/gmock.h>

#include <boost/lexical_cast/bad_lexical_cast.hpp>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

using namespace kestrel;
using namespace kestrel::slideshow2;
using test::workers;
using testing::HasSubstr;

namespace {

std::size_t open_descriptors() {
    std::size_t count = 0;
    for (auto entry = std::filesystem::directory_iterator("/proc/self/fd");
         entry != std::filesystem::directory_iterator(); ++entry)
        ++count;
    return count;
}

typedef std::vector<std::pair<std::string, std::string>> entries;

media_settings_ptr settings_of(const entries& list) {
    media_settings_ptr settings = list.empty() ? media_settings_ptr() : media_settings::create();
    for (const auto& entry : list)
        settings->set(entry.first, entry.second);
    return settings;
}

struct load_case {
    const char* name;
    entries manager, request;
    const char* file; // "tagged", a folder ".", or a file name in the folder
    int width, height; // 0: answered "not opened"
    test::corner red;
};

void PrintTo(const load_case& c, std::ostream* out) { *out << c.name; }

class PhotoManagerLoads : public testing::TestWithParam<load_case> {};

} // namespace

// The tagged photo is 400 x 300, red top left; its EXIF orientation 6
// stands it up with red top right.
TEST_P(PhotoManagerLoads, AnswersOnAWorkerWithThePhotoAtTheSide) {
    const load_case& c = GetParam();
    test::photo_files files;
    std::string path = c.file == std::string("tagged") ? files.tagged : files.dir.file(c.file);
    if (c.file == std::string("text.jpg") || c.file == std::string("empty.jpg"))
        test::write_file(path, c.file[0] == 't' ? "no photo\n" : "");
    photo_manager manager(settings_of(c.manager));
    auto calls = std::make_shared<test::load_recorder>();
    testing::internal::CaptureStdout();
    manager.open(path, settings_of(c.request), calls->receiver());

    const auto answers = calls->wait_for(1);
    // The plain callback drops the reason: the manager logs a failure once,
    // naming the path.
    const std::string log = testing::internal::GetCapturedStdout();
    const std::vector<std::string> lines = test::log_lines_with(log, "[photo_manager]");
    ASSERT_EQ(c.width ? 0u : 1u, lines.size()) << log;
    if (!c.width) {
        EXPECT_THAT(lines[0], testing::StartsWith("[kestrel][warning][photo_manager] \"" + path + "\" not opened: "));
    }
    ASSERT_EQ(1u, answers.size());
    EXPECT_NE(std::this_thread::get_id(), calls->threads()[0]);
    EXPECT_EQ(0, manager.pending_count()) << "lowered before the callback";
    EXPECT_EQ(c.width ? photo_manager::opened : photo_manager::not_opened, std::get<0>(answers[0]));
    const photo_ptr photo = std::get<1>(answers[0]);
    ASSERT_EQ(c.width != 0, bool(photo));
    if (!photo)
        return;
    const video_data_ptr picture = photo->impl()->picture();
    EXPECT_EQ(c.width, picture->width());
    EXPECT_EQ(c.height, picture->height());
    EXPECT_TRUE(test::red_at(picture, c.red));
    EXPECT_EQ(files.tagged, photo->desc().url);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, PhotoManagerLoads,
    testing::Values(load_case{"Defaults", {}, {}, "tagged", 135, 180, test::top_right},
                    load_case{"OrientationZero", {{"correct-orientation", "0"}}, {}, "tagged", 180, 135, test::top_left},
                    load_case{"OrientationYes", {{"correct-orientation", "yes"}}, {}, "tagged", 0, 0, test::top_left},
                    load_case{"ManagerSide", {{"max-side-length", "100"}}, {}, "tagged", 75, 100, test::top_right},
                    load_case{"RequestWins", {{"max-side-length", "100"}, {"correct-orientation", "1"}},
                              {{"max-side-length", "60"}, {"correct-orientation", "0"}}, "tagged", 60, 45, test::top_left},
                    load_case{"SideZero", {{"max-side-length", "0"}}, {}, "tagged", 0, 0, test::top_left},
                    load_case{"SideNegative", {}, {{"max-side-length", "-1"}}, "tagged", 0, 0, test::top_left},
                    load_case{"MissingFile", {}, {}, "missing.jpg", 0, 0, test::top_left},
                    load_case{"EmptyFile", {}, {}, "empty.jpg", 0, 0, test::top_left},
                    load_case{"TextFile", {}, {}, "text.jpg", 0, 0, test::top_left},
                    load_case{"Folder", {}, {}, ".", 0, 0, test::top_left}),
    [](const testing::TestParamInfo<load_case>& info) { return std::string(info.param.name); });

// Behind a busy worker requests wait, counted, and run in order; a cancel
// before the start answers "not opened", one after it changes nothing; a
// callback that throws is logged and the next request is still answered.
TEST(PhotoManager, QueuedRequestsAreCountedCancelledAndAnsweredInOrder) {
    test::photo_files files;
    photo_manager manager(workers(1));
    test::worker_gate gate;
    const ControllerPtr started = gate.block(manager, files.landscape);
    auto calls = std::make_shared<test::load_recorder>();
    const ControllerPtr first = manager.open(files.landscape, calls->receiver());
    manager.open(files.portrait, calls->throwing_receiver());
    manager.open_no_handle(files.tagged, calls->receiver());
    EXPECT_EQ(3, manager.pending_count());
    cancel_open(first);
    cancel_open(started);
    testing::internal::CaptureStdout();
    gate.release();

    const auto answers = calls->wait_for(3);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("[kestrel][warning][photo_manager] open callback failed: receiver failed\n"));
    ASSERT_EQ(3u, answers.size());
    EXPECT_EQ(test::load_recorder::call(photo_manager::not_opened, photo_ptr()), answers[0]);
    EXPECT_EQ(files.portrait, std::get<1>(answers[1])->desc().url);
    EXPECT_EQ(files.tagged, std::get<1>(answers[2])->desc().url);
    EXPECT_EQ(0, manager.pending_count());
    EXPECT_EQ(photo_manager::opened, std::get<0>(gate.answers->calls().at(0)));
}

TEST(PhotoManager, WithoutWorkersRequestsWaitAndAreDroppedUnanswered) {
    test::photo_files files;
    auto calls = std::make_shared<test::load_recorder>();
    {
        photo_manager manager(workers(0));
        for (int i = 0; i < 3; ++i)
            manager.open(files.landscape, calls->receiver());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(3, manager.pending_count());
    }
    EXPECT_TRUE(calls->calls().empty());
    EXPECT_EQ(1, calls.use_count()) << "the dropped requests released their callbacks";

    EXPECT_THROW(photo_manager(media_settings::create("hardware-concurrency", "2.5")), boost::bad_lexical_cast);
    EXPECT_THROW(photo_manager(media_settings::create("hardware-concurrency", "-1")), errors::invalid_argument);
    EXPECT_THROW(photo_manager(media_settings::create("hardware-concurrency", "100000")), errors::invalid_argument);
    EXPECT_THROW(photo_manager(media_settings::create("open-patience", "soon")), boost::bad_lexical_cast);
    for (const char* patience : {"-1", "nan", "1e9", "inf"})
        EXPECT_THROW(photo_manager(media_settings::create("open-patience", patience)), errors::invalid_argument)
            << patience;
}

// The running loads finish with one answer each, queued ones are dropped,
// nothing comes after the destructor.
TEST(PhotoManager, DestroyedWhileLoadsAreQueuedAndInFlight) {
    test::photo_files files;
    const std::string big = files.write(1600, 1200, 6, "big.jpg");
    for (int delay_ms : {0, 1, 3, 10}) {
        auto calls = std::make_shared<test::load_recorder>();
        {
            photo_manager manager(workers(3));
            for (int i = 0; i < 12; ++i) {
                const ControllerPtr handle = manager.open(i % 3 ? big : files.landscape, calls->receiver());
                if (i % 4 == 3)
                    cancel_open(handle);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        }
        const std::size_t answered = calls->calls().size();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(answered, calls->calls().size());
        for (const auto& answer : calls->calls())
            EXPECT_EQ(std::get<0>(answer) == photo_manager::opened, bool(std::get<1>(answer)));
        EXPECT_EQ(1, calls.use_count()) << "every copy of the callback was released";
    }
}

// The last owner let go inside a callback: the worker cannot join itself,
// it says so, and the process goes on.
TEST(PhotoManager, DestroyedFromItsOwnCallbackRefusesToJoinThatWorker) {
    test::photo_files files;
    auto owner = std::make_shared<photo_manager_ptr>(photo_manager::create(workers(2)));
    auto calls = std::make_shared<test::load_recorder>();
    auto answer = calls->receiver();
    testing::internal::CaptureStdout();
    (*owner)->open(files.landscape, [owner, answer](photo_manager::OpenResult result, photo_ptr photo) {
        owner->reset();
        answer(result, photo);
    });
    ASSERT_EQ(1u, calls->wait_for(1).size());
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("[kestrel][error][photo_manager] destroyed from its own callback"));
    EXPECT_FALSE(*owner);
}

// A storyboard of hundreds of photos keeps no file open: each photo keeps
// its picture and header facts, and opens its file again only to turn.
// One whose file went away keeps its picture and refuses the turn whole.
TEST(PhotoManager, LoadedPhotosHoldNoOpenFile) {
    test::photo_files files;
    const std::string bytes = test::read_file(files.landscape);
    const int count = 300;
    for (int i = 0; i < count; ++i)
        test::write_file(files.dir.file(std::to_string(i) + ".jpg"), bytes);
    photo_manager manager(settings_of({{"hardware-concurrency", "4"}, {"max-side-length", "40"}}));
    // One load first, so that what the libraries open once for good (and
    // keep) is already counted; the level must then not move at all.
    auto warm_up = std::make_shared<test::load_recorder>();
    manager.open_no_handle(files.landscape, warm_up->receiver());
    ASSERT_EQ(photo_manager::opened, std::get<0>(warm_up->wait_for(1).at(0)));
    const std::size_t before = open_descriptors();

    auto calls = std::make_shared<test::load_recorder>();
    for (int i = 0; i < count; ++i)
        manager.open_no_handle(files.dir.file(std::to_string(i) + ".jpg"), calls->receiver());
    const auto answers = calls->wait_for(count);
    ASSERT_EQ(std::size_t(count), answers.size());
    for (const auto& answer : answers)
        ASSERT_EQ(photo_manager::opened, std::get<0>(answer));
    EXPECT_EQ(before, open_descriptors()) << "descriptors held by loaded photos";

    photo::Impl& turned = *std::get<1>(answers[0])->impl();
    turned.rotate(1);
    EXPECT_EQ(30, turned.picture()->width());
    EXPECT_EQ(40, turned.picture()->height());
    EXPECT_TRUE(test::red_at(turned.picture(), test::top_right));
    EXPECT_EQ(38u, turned.width()) << "400 x 300 turned, at the render's DCT scale of 1/8";
    EXPECT_EQ(50u, turned.height());

    const photo_ptr orphan = std::get<1>(answers[1]);
    photo::Impl& impl = *orphan->impl();
    const video_data_ptr picture = impl.picture();
    const unsigned int width = impl.width(), height = impl.height();
    ASSERT_EQ(0, std::remove(orphan->desc().url.c_str()));
    EXPECT_THROW(impl.rotate(1), errors::failure);
    EXPECT_EQ(0, orphan->desc().transform.rotate);
    EXPECT_EQ(picture, impl.picture());
    EXPECT_TRUE(test::red_at(picture, test::top_left));
    EXPECT_EQ(width, impl.width());
    EXPECT_EQ(height, impl.height());
    EXPECT_EQ(40u, impl.last_load().side);
    EXPECT_EQ(before, open_descriptors()) << "descriptors left by the turns";
}

namespace {

// While it lives, this process runs on the first two processors and a
// child keeps the second busy: a loaded machine of two cores.
class two_busy_cores {
public:
    two_busy_cores() {
        cpu_set_t two;
        CPU_ZERO(&two);
        CPU_SET(0, &two);
        CPU_SET(1, &two);
        pinned_ = sched_getaffinity(0, sizeof before_, &before_) == 0 && sched_setaffinity(0, sizeof two, &two) == 0;
        busy_ = fork();
        if (busy_ == 0) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(1, &one);
            sched_setaffinity(0, sizeof one, &one);
            alarm(60); // never outlives a test that dies
            for (;;) {
            }
        }
    }
    ~two_busy_cores() {
        if (busy_ > 0) {
            kill(busy_, SIGKILL);
            waitpid(busy_, nullptr, 0);
        }
        if (pinned_)
            sched_setaffinity(0, sizeof before_, &before_);
    }

private:
    cpu_set_t before_;
    bool pinned_ = false;
    pid_t busy_ = -1;
};

} // namespace

// A container's disk is an overlay, with no device of its own: every
// photo on it answers, and not one is refused, however loaded the machine.
TEST(PhotoManager, EveryPhotoOnAnOverlayDiskIsRead) {
    test::photo_files files;
    const std::string bytes = test::read_file(files.landscape);
    for (const char* folder : {"lower", "upper", "work", "merged"})
        ASSERT_EQ(0, mkdir(files.dir.file(folder).c_str(), 0755));
    const int count = 200;
    for (int i = 0; i < count / 2; ++i)
        test::write_file(files.dir.file("lower/" + std::to_string(i) + ".jpg"), bytes);
    const std::string merged = files.dir.file("merged");
    const std::string options = "lowerdir=" + files.dir.file("lower") + ",upperdir=" + files.dir.file("upper") +
                                ",workdir=" + files.dir.file("work");
    if (mount("overlay", merged.c_str(), "overlay", 0, options.c_str()) != 0)
        GTEST_SKIP() << "no overlay can be mounted here: " << std::strerror(errno);
    struct unmounted_at_end {
        std::string path;
        ~unmounted_at_end() { umount2(path.c_str(), MNT_DETACH); }
    } unmounted{merged};
    // Half come from the lower layer, half were written through the overlay.
    for (int i = count / 2; i < count; ++i)
        test::write_file(merged + "/" + std::to_string(i) + ".jpg", bytes);

    const two_busy_cores loaded;
    photo_manager manager(settings_of({{"hardware-concurrency", "4"}, {"max-side-length", "40"}}));
    auto calls = std::make_shared<test::load_recorder>();
    for (int i = 0; i < count; ++i)
        manager.open_no_handle(merged + "/" + std::to_string(i) + ".jpg", calls->receiver());
    const auto answers = calls->wait_for(count);
    ASSERT_EQ(std::size_t(count), answers.size());
    int refused = 0;
    for (const auto& answer : answers)
        refused += std::get<0>(answer) != photo_manager::opened;
    EXPECT_EQ(0, refused) << "photos of a disk that answers were refused";
}
