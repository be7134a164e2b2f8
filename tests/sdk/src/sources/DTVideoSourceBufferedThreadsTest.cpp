#include "sources/DTVideoSourceBuffered.h"

#include "base/DTErrors.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

using namespace kestrel;

namespace {

// Pictures of 40 ms, numbered by their start time; safe to call from the
// read-ahead thread and the test at once. Every read is announced, so the
// test waits for reads instead of sleeping.
class numbered_pictures : public video_source {
public:
    explicit numbered_pictures(int count, int fail_at = -1) : count_(count), fail_at_(fail_at) {}

    double duration() const override { return count_ * 40.0; }
    double position() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return next_ * 40.0;
    }
    double advance(double dt) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (fail_advance_)
            KESTREL_THROW(errors::invalid_operation());
        next_ = std::min(count_, static_cast<int>(std::lround((next_ * 40.0 + dt) / 40.0)));
        return next_ * 40.0;
    }
    bool enabled() const override { return true; }
    void set_enabled(bool) override {}
    video_data_timed_ptr read() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++reads_;
        read_done_.notify_all();
        if (next_ == fail_at_)
            KESTREL_THROW(errors::unexpected());
        if (next_ >= count_)
            return video_data_timed_ptr();
        return boost::make_shared<video_data_timed>(video_data_ptr(), 40.0, 40.0 * next_++);
    }
    video_format_ptr format() const override { return video_format_ptr(); }
    double frame_rate() const override { return 25.0; }

    int reads() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return reads_;
    }
    // True once `count` reads have been made, false if they are not made
    // within `limit`.
    bool wait_for_reads(int count,
                        std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return read_done_.wait_for(lock, limit, [&] { return reads_ >= count; });
    }
    void fail_advance() {
        std::lock_guard<std::mutex> lock(mutex_);
        fail_advance_ = true;
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable read_done_;
    const int count_;
    const int fail_at_;
    int next_ = 0;
    int reads_ = 0;
    bool fail_advance_ = false;
};

// Started, with the queue full (seven queued, one in hand).
void start_and_fill(video_source_buffered& buffered, const numbered_pictures& inner) {
    buffered.start();
    ASSERT_TRUE(inner.wait_for_reads(8));
}

} // namespace

TEST(VideoSourceBuffered, ReadsAheadSevenAndHoldsOne) {
    numbered_pictures inner(100);
    video_source_buffered buffered(&inner);
    start_and_fill(buffered, inner);
    // A ninth read would mean an eighth picture queued.
    EXPECT_FALSE(inner.wait_for_reads(9, std::chrono::milliseconds(50)));
    EXPECT_EQ(8, inner.reads());
    EXPECT_EQ(0.0, buffered.position());
    EXPECT_EQ(4000.0, buffered.duration());
    EXPECT_EQ(25.0, buffered.frame_rate());
}

TEST(VideoSourceBuffered, GivesEveryPictureInOrderThenTheEnd) {
    numbered_pictures inner(100);
    video_source_buffered buffered(&inner);
    buffered.start();
    for (int i = 0; i < 100; ++i) {
        video_data_timed_ptr picture = buffered.read();
        ASSERT_TRUE(picture) << i;
        EXPECT_EQ(40.0 * i, picture->start);
    }
    EXPECT_FALSE(buffered.read());
    EXPECT_FALSE(buffered.read());
    EXPECT_EQ(4000.0, buffered.position());
}

TEST(VideoSourceBuffered, ShortAdvanceKeepsWhatFollows) {
    numbered_pictures inner(100);
    video_source_buffered buffered(&inner);
    start_and_fill(buffered, inner);
    // Three queued pictures cover the 100 ms; the fourth is next.
    EXPECT_EQ(120.0, buffered.advance(100.0));
    video_data_timed_ptr next = buffered.read();
    ASSERT_TRUE(next);
    EXPECT_EQ(120.0, next->start);
    EXPECT_EQ(160.0, buffered.position());
}

TEST(VideoSourceBuffered, LongAdvanceUsesQueueHandAndInnerSource) {
    numbered_pictures inner(100);
    video_source_buffered buffered(&inner);
    start_and_fill(buffered, inner);
    // An advance asked while the thread still makes a picture leaves the
    // rest to it: what it says may fall short, the next picture never.
    EXPECT_LE(buffered.advance(1000.0), 1000.0);
    video_data_timed_ptr next = buffered.read();
    ASSERT_TRUE(next);
    EXPECT_EQ(1000.0, next->start);
    // Past the end the advance stops where the pictures stop.
    EXPECT_LE(buffered.advance(10000.0), 4000.0);
    EXPECT_FALSE(buffered.read());
    EXPECT_EQ(4000.0, buffered.position());
}

TEST(VideoSourceBuffered, RestartReadsFromTheInnerPosition) {
    numbered_pictures inner(100);
    video_source_buffered buffered(&inner);
    buffered.stop(); // nothing started: nothing to do
    start_and_fill(buffered, inner);
    buffered.read();
    ASSERT_TRUE(inner.wait_for_reads(9)); // room for one more
    buffered.stop();
    buffered.stop();

    buffered.start();
    video_data_timed_ptr next = buffered.read();
    ASSERT_TRUE(next);
    EXPECT_EQ(360.0, next->start);
    EXPECT_EQ(400.0, buffered.position());
}

TEST(VideoSourceBuffered, StoppedSourceAnswersAtOnce) {
    numbered_pictures inner(100);
    video_source_buffered never_started(&inner);
    EXPECT_FALSE(never_started.read());
    EXPECT_EQ(200.0, never_started.advance(200.0));

    video_source_buffered stopped(&inner);
    start_and_fill(stopped, inner);
    stopped.stop();
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(stopped.read()); // what was queued is still there
    EXPECT_FALSE(stopped.read());
}

TEST(VideoSourceBuffered, InnerFailureReachesTheReader) {
    numbered_pictures inner(100, 5);
    video_source_buffered buffered(&inner);
    buffered.start();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(buffered.read());
    EXPECT_THROW(buffered.read(), errors::unexpected);
    EXPECT_FALSE(buffered.read()); // the thread has ended
    buffered.start();              // and can be started again
    EXPECT_THROW(buffered.read(), errors::unexpected);
}

TEST(VideoSourceBuffered, InnerFailureReachesTheAdvancer) {
    numbered_pictures inner(100);
    video_source_buffered buffered(&inner);
    start_and_fill(buffered, inner);
    inner.fail_advance();
    // Asked while the thread still made a picture, the advance is left to
    // it, and the failure reaches the next read instead.
    bool failed = false;
    try {
        buffered.advance(2000.0);
    } catch (const errors::invalid_operation&) {
        failed = true;
    }
    if (!failed) {
        EXPECT_THROW(buffered.read(), errors::invalid_operation);
    }
    // The queue and the picture in hand were passed before the failure.
    EXPECT_EQ(320.0, buffered.position());
    EXPECT_FALSE(buffered.read());
}

TEST(VideoSourceBuffered, DestructionJoinsThenLogsStatistics) {
    testing::internal::CaptureStdout();
    {
        numbered_pictures inner(100);
        video_source_buffered idle(&inner);
    }
    EXPECT_EQ("[kestrel][info][video_source_buffered] total read time: 0\n"
              "[kestrel][info][video_source_buffered] avg read fps: 0\n",
              testing::internal::GetCapturedStdout());

    numbered_pictures inner(100);
    {
        video_source_buffered running(&inner);
        start_and_fill(running, inner);
    }
    EXPECT_EQ(8, inner.reads());
}
