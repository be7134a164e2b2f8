// The producer's worker: the whole run and its log, progress, failures
// reported as result codes, pause, resume, stop and release while running.

#include "SlideshowDoubles.h"
#include "base/DTErrors.h"
#include "slideshow2/DTSlideshowProduce.h"
#include "support/MediaProbe.h"
#include "support/ShowStandIn.h"
#include "support/TestFiles.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sstream>
#include <thread>

using namespace kestrel;
using namespace kestrel::slideshow2;

namespace {

// Small pictures (240 x 180) of a show of the given length, with music.
struct small_production {
    explicit small_production(double show_ms, const std::string& preset = "windows-simple")
        : show(options(show_ms)), settings(media_settings::create("produce-preset", preset)),
          path(folder.file("show.avi")) {}

    static test::show_stand_in_options options(double show_ms) {
        test::show_stand_in_options o;
        o.duration_ms = show_ms;
        return o;
    }

    slideshow_produce_ptr create(const av_source_ptr& source) {
        return slideshow_produce_creator::create(source, slideshow_ptr(), show.buffering_switch(),
                                                 path, settings);
    }
    slideshow_produce_ptr create() { return create(show.source()); }

    // Signals the test once the worker has read picture `index`.
    std::future<void> when_read(int index, std::function<void()> also = {}) {
        auto reached = std::make_shared<std::promise<void>>();
        show.on_read([=](int i) {
            if (i != index)
                return;
            if (also)
                also();
            reached->set_value();
        });
        return reached->get_future();
    }

    // A producer that has read a few pictures and goes on.
    slideshow_produce_ptr start_running() {
        slideshow_produce_ptr producer = create();
        std::future<void> running = when_read(5);
        producer->produce(watch.progress(), watch.finished());
        EXPECT_EQ(std::future_status::ready, running.wait_for(std::chrono::seconds(60)));
        return producer;
    }

    test::show_stand_in show;
    media_settings_ptr settings;
    test::TempDir folder;
    std::string path;
    test::production_watch watch;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(ProduceThreads, RunsTheWholeShowWithItsLogLinesInOrderAndPacedProgress) {
    small_production p(2000.0, "");
    p.settings->set("slide-duration", "6");
    std::string log;
    ASSERT_EQ(slideshow_produce::done,
              test::run_production(p.show, p.path, p.settings, p.watch, &log))
        << log;

    size_t at = 0; // each line after the one before
    for (const char* line :
         {"[kestrel][info][slideshow_produce_creator]\n",
          "[kestrel][info][slideshow_produce][tune_slideshow] {\"audio-bitrate\":\"192000\";",
          "[kestrel][info][slideshow_produce][create_video_encoder]\n",
          "[kestrel][info][slideshow_produce][create_picture_convert]\n",
          "[kestrel][info][slideshow_produce][create_audio_encoder]\n",
          "[kestrel][warning][slideshow_produce][create_audio_encoder] null audio, writing silence\n",
          "[kestrel][info][slideshow_produce][create_media_muxer]\n",
          "[kestrel][info][slideshow_produce] open video encoder...\n",
          "[kestrel][info][slideshow_produce] open audio encoder...\n",
          "[kestrel][info][slideshow_produce] done.\n",
          "[kestrel][info][slideshow_produce] open media muxer...\n",
          "[kestrel][info][slideshow_produce] start produce\n"}) {
        const size_t found = log.find(line, at);
        ASSERT_NE(std::string::npos, found) << line << "\nafter " << at << " in\n" << log;
        at = found + 1;
    }
    EXPECT_EQ(std::string::npos, log.find("[kestrel][error]")) << log;

    // The "default" preset at the show's own 4:3; the caller's map untouched.
    EXPECT_EQ(640, p.show.width());
    EXPECT_EQ(480, p.show.height());
    std::ostringstream caller;
    caller << *p.settings;
    EXPECT_EQ("{\"produce-preset\":\"\";\"slide-duration\":\"6\"}", caller.str());
    EXPECT_EQ((std::vector<bool>{true, false}), p.show.buffering_calls());
    EXPECT_EQ(50, p.show.pictures_read());
    EXPECT_EQ(1, p.watch.finished_calls());

    // Every 500 ms of show (the clock rule may add reports), then 100.
    const std::vector<double> percents = p.watch.percents();
    const std::vector<video_data_ptr> previews = p.watch.previews();
    ASSERT_GE(percents.size(), 4u);
    EXPECT_EQ(100.0, percents.back());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    // The show-time rule puts reports no more than 500 ms of show (one
    // picture more: 26 %) apart; the clock rule, which depends on the
    // machine's speed, can only bring them closer.
    EXPECT_LE(percents.front(), 26.0);
    for (size_t i = 1; i < percents.size(); ++i)
        EXPECT_LE(percents[i] - percents[i - 1], 26.0) << i;
    // Each preview is the picture that took the show to the reported
    // position, as rendered: RGB at the show's size.
    for (size_t i = 0; i + 1 < previews.size(); ++i) {
        ASSERT_TRUE(previews[i]);
        EXPECT_EQ(2, previews[i]->pixel_format());
        EXPECT_EQ(640, previews[i]->width());
        const test::rgb colour = p.show.colour_at(percents[i] * 20.0 - 40.0);
        EXPECT_EQ(colour.b, previews[i]->data()[2]) << percents[i];
    }
}

namespace {

enum source_kind { show_source, no_source };
enum path_kind { in_folder, missing_folder, full_disk };

struct failure_case {
    const char* name;
    const char* preset;
    source_kind source;
    path_kind path;
    int result;
    const char* log;
    bool tuned; // the preset reached the show
};

std::ostream& operator<<(std::ostream& out, const failure_case& c) { return out << c.name; }

class ProduceFailures : public testing::TestWithParam<failure_case> {};

} // namespace

TEST_P(ProduceFailures, EndWithTheirResultCodeReportedOnce) {
    const failure_case& c = GetParam();
    small_production p(200.0, c.preset);
    if (c.path == missing_folder)
        p.path = p.folder.file("gone/show.avi");
    if (c.path == full_disk)
        p.path = "/dev/full";
    testing::internal::CaptureStdout();
    slideshow_produce_ptr producer = p.create(c.source == show_source ? p.show.source()
                                                                      : av_source_ptr());
    producer->produce(p.watch.progress(), p.watch.finished());
    const int result = p.watch.wait_result();
    producer.reset();
    const std::string log = testing::internal::GetCapturedStdout();

    EXPECT_EQ(c.result, result);
    EXPECT_NE(std::string::npos, log.find(c.log)) << log;
    EXPECT_EQ(1, p.watch.finished_calls());
    EXPECT_EQ((std::vector<bool>{true, false}), p.show.buffering_calls());
    EXPECT_EQ(c.tuned ? 1 : 0, p.show.settings_applied());
    if (c.path != full_disk) {
        EXPECT_EQ(0, p.show.pictures_read());
        EXPECT_FALSE(test::file_exists(p.path));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ProduceFailures,
    testing::Values(
        failure_case{"unknown_preset", "Mac-low", show_source, in_folder, 2,
                     "[kestrel][error]error: invalid preset\n", false},
        failure_case{"missing_folder", "windows-simple", show_source, missing_folder, 5,
                     "[kestrel][error]error: muxer : create file error\n", true},
        failure_case{"full_disk_avi", "windows-simple", show_source, full_disk, 6,
                     "[kestrel][error]error: muxer : write packet error\n", true},
        failure_case{"full_disk_mp4", "default", show_source, full_disk, 6,
                     "[kestrel][error]error: muxer : write header error\n", true},
        failure_case{"no_source", "windows-simple", no_source, in_folder, 7,
                     "[kestrel][error][slideshow_produce] invalid av_source\n", false}),
    [](const testing::TestParamInfo<failure_case>& info) { return std::string(info.param.name); });

namespace {

// A slideshow whose photos open, or not, and whose renders draw a photo,
// or not, as told; the pictures come from the stand-in.
class photo_outcome_slideshow : public test::recording_slideshow {
public:
    std::vector<unreadable_photo> refused;          // at the start; none: one opens
    std::vector<unreadable_photo> met_while_drawn;  // by the production's renders
    bool drew_a_photo = true;

    bool take_photo_drawn() override { return drew_a_photo; }
    bool some_photo_opens(std::vector<unreadable_photo>& why) override {
        why = refused;
        return refused.empty();
    }
    // The first take is the producer's clearing of what came before it.
    std::vector<unreadable_photo> take_unreadable_photos() override {
        return ++takes_ == 1 ? std::vector<unreadable_photo>() : met_while_drawn;
    }

private:
    int takes_ = 0;
};

} // namespace

// Not one photo readable: no video is worth making. Found at the start, the
// production ends before its first picture; found only at the end (every
// photo failed on the way), after the last. Either way the photos are named.
TEST(ProduceThreads, AShowOfWhichNotOnePhotoCouldBeReadFailsNamingThem) {
    const unreadable_photo gone{"/photos/a.jpg", "not found"}, emptied{"/photos/b.jpg", "empty file"};
    for (const bool at_start : {true, false}) {
        SCOPED_TRACE(at_start ? "none opens at the start" : "none drawn");
        small_production p(400.0);
        const auto model = new photo_outcome_slideshow;
        const slideshow_ptr show = boost::make_shared<slideshow>(model);
        if (at_start)
            model->refused = {gone, emptied};
        else
            model->met_while_drawn = {emptied, gone};
        model->drew_a_photo = false;
        testing::internal::CaptureStdout();
        slideshow_produce_ptr producer =
            slideshow_produce_creator::create(p.show.source(), show, p.show.buffering_switch(), p.path, p.settings);
        producer->produce(p.watch.progress(), p.watch.finished());
        const int result = p.watch.wait_result();
        const std::vector<unreadable_photo> named = producer->unreadable_photos();
        producer.reset();
        testing::internal::GetCapturedStdout();

        EXPECT_EQ(slideshow_produce::no_photo_readable, result);
        const std::vector<unreadable_photo> expected =
            at_start ? std::vector<unreadable_photo>{gone, emptied} : std::vector<unreadable_photo>{emptied, gone};
        EXPECT_EQ(expected, named);
        EXPECT_EQ(at_start ? 0 : 10, p.show.pictures_read());
    }
}

// The application's form of the creator, given no slideshow: a failure
// reported once started, never a crash, and no file.
TEST(ProduceThreads, NoSlideshowIsAnUnexpectedFailure) {
    test::TempDir folder;
    test::production_watch watch;
    testing::internal::CaptureStdout();
    slideshow_produce_ptr producer = slideshow_produce_creator::create(
        slideshow_ptr(), folder.file("show.mp4"), media_settings::create("produce-preset", "mac-low"));
    producer->produce(watch.progress(), watch.finished());
    const int result = watch.wait_result();
    producer.reset();
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(slideshow_produce::unexpected_error, result);
    EXPECT_NE(std::string::npos, log.find("[slideshow_produce] invalid av_source")) << log;
    EXPECT_FALSE(test::file_exists(folder.file("show.mp4")));
}

TEST(ProduceThreads, StopWhileRunningEndsCancelledWithinASecond) {
    small_production p(60000.0);
    slideshow_produce_ptr producer = p.start_running();
    const auto start = std::chrono::steady_clock::now();
    producer->stop();
    EXPECT_LT(seconds_since(start), 1.0);
    EXPECT_EQ(1, p.watch.finished_calls()); // before stop returned
    EXPECT_EQ(slideshow_produce::cancelled, p.watch.wait_result(0));
    producer->stop(); // again: nothing left to wait for
    EXPECT_THROW(producer->produce(p.watch.progress(), p.watch.finished()),
                 errors::invalid_operation);
}

// A stop drops the pictures libx264 still holds back (its macroblock
// tree looks 40 pictures ahead) instead of encoding them: the file written
// until then has far fewer pictures than were read.
TEST(ProduceThreads, AStopDropsThePicturesTheEncoderHoldsBack) {
    small_production p(60000.0, "default");
    p.path = p.folder.file("show.mp4");
    slideshow_produce_ptr producer = p.create();
    std::future<void> reached = p.when_read(100);
    producer->produce(p.watch.progress(), p.watch.finished());
    ASSERT_EQ(std::future_status::ready, reached.wait_for(std::chrono::seconds(60)));
    producer->stop();
    producer.reset(); // the file is closed
    ASSERT_EQ(slideshow_produce::cancelled, p.watch.wait_result(0));

    // The worker has sent all but the read-ahead queue (7) and the picture
    // in hand to the encoder; a drained encoder would have written them, so
    // that no more than those 8 would be missing.
    const test::media_probe probe = test::probe_media_file(p.path);
    ASSERT_NE(nullptr, probe.first(0));
    EXPECT_LT(static_cast<int>(probe.first(0)->packets()), p.show.pictures_read() - 30);
}

class ProducePaused : public testing::TestWithParam<bool> {};

TEST_P(ProducePaused, ReadsNothingUntilResumedOrStopped) {
    const bool resume = GetParam();
    small_production p(2000.0);
    slideshow_produce_ptr producer = p.create();
    slideshow_produce* raw = producer.get();
    std::future<void> paused = p.when_read(5, [raw] { raw->pause(); });
    producer->produce(p.watch.progress(), p.watch.finished());
    ASSERT_EQ(std::future_status::ready, paused.wait_for(std::chrono::seconds(60)));
    producer->pause(); // twice: no further effect
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(6, p.show.pictures_read());
    EXPECT_EQ(0, p.watch.finished_calls());

    const auto start = std::chrono::steady_clock::now();
    if (resume) {
        producer->resume();
        EXPECT_EQ(slideshow_produce::done, p.watch.wait_result());
        EXPECT_EQ(50, p.show.pictures_read());
    } else {
        producer->stop();
        EXPECT_LT(seconds_since(start), 1.0);
        EXPECT_EQ(slideshow_produce::cancelled, p.watch.wait_result(0));
        EXPECT_EQ(7, p.show.pictures_read()); // the stop cycle reads one more
    }
}

INSTANTIATE_TEST_SUITE_P(Then, ProducePaused, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "resumed" : "stopped");
                         });

TEST(ProduceThreads, StopBeforeProduceCancelsAfterTheFirstPicture) {
    small_production p(2000.0);
    slideshow_produce_ptr producer = p.create();
    producer->stop();
    producer->produce(p.watch.progress(), p.watch.finished());
    EXPECT_EQ(slideshow_produce::cancelled, p.watch.wait_result());
    EXPECT_EQ(1, p.show.pictures_read());
}

TEST(ProduceThreads, ReleasingARunningProducerStopsAndJoinsItsWorker) {
    small_production p(60000.0);
    slideshow_produce_ptr producer = p.start_running();
    producer.reset();
    EXPECT_EQ(1, p.watch.finished_calls());
    EXPECT_EQ(slideshow_produce::cancelled, p.watch.wait_result(0));
    EXPECT_EQ((std::vector<bool>{true, false}), p.show.buffering_calls());
    EXPECT_GT(test::file_size(p.path), 0);
}
