#include "audio/DTAudioTrackEmpty.h"
#include "sources/DTAVSource.h"
#include "sources/DTMediaSource.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

using namespace kestrel;

namespace {

class one_picture : public video_source {
public:
    double duration() const override { return 40.0; }
    double position() const override { return position_; }
    double advance(double dt) override { return position_ += dt; }
    bool enabled() const override { return enabled_; }
    void set_enabled(bool enabled) override { enabled_ = enabled; }
    video_data_timed_ptr read() override {
        return boost::make_shared<video_data_timed>(video_data_ptr(), 40.0, position_);
    }
    video_format_ptr format() const override { return video_format::create(8, 6, 2); }
    double frame_rate() const override { return 25.0; }

private:
    double position_ = 0.0;
    bool enabled_ = true;
};

class recording_impl : public av_source::Impl {
public:
    explicit recording_impl(bool* given_empty) : given_empty_(given_empty) {}
    video_source* video() override { return &video_; }
    audio_source* audio() override { return nullptr; }
    double seek(double t) override { return t; }
    void apply_settings(media_settings_ptr settings) override { *given_empty_ = !settings; }

private:
    one_picture video_;
    bool* given_empty_;
};

} // namespace

TEST(VideoSourceProxy, EmptyWithoutTargetForwardsWithOne) {
    video_source_proxy proxy;
    EXPECT_EQ(0.0, proxy.duration());
    EXPECT_EQ(0.0, proxy.position());
    EXPECT_EQ(0.0, proxy.advance(100.0));
    EXPECT_EQ(0.0, proxy.frame_rate());
    EXPECT_FALSE(proxy.enabled());
    proxy.set_enabled(true);
    EXPECT_FALSE(proxy.read());
    EXPECT_FALSE(proxy.format());

    one_picture target;
    proxy.set_target(&target);
    EXPECT_EQ(40.0, proxy.duration());
    EXPECT_EQ(80.0, proxy.advance(80.0));
    EXPECT_EQ(80.0, proxy.read()->start);
    proxy.set_enabled(false);
    EXPECT_FALSE(target.enabled());
    EXPECT_EQ(8, proxy.format()->width());

    proxy.set_target(nullptr);
    EXPECT_EQ(0.0, proxy.position());
}

TEST(AVSource, ForwardsToItsImplementation) {
    bool given_empty = false;
    av_source source(new recording_impl(&given_empty));
    EXPECT_EQ(25.0, source.video()->frame_rate());
    EXPECT_EQ(nullptr, source.audio());
    EXPECT_EQ(1234.0, source.seek(1234.0));
    source.apply_settings(media_settings_ptr());
    EXPECT_TRUE(given_empty);
}

TEST(AudioSourceFromTrack, MapsOntoTheTrackAndIsAlwaysEnabled) {
    audio_track_empty track(nullptr, 250.0);
    audio_source_from_track source(&track);
    EXPECT_EQ(250.0, source.duration());
    EXPECT_EQ(100.0, source.advance(100.0));
    audio_data_timed_ptr block = source.read(1000.0);
    ASSERT_TRUE(block);
    EXPECT_EQ(100.0, block->start);
    EXPECT_EQ(150.0, block->duration);
    EXPECT_FALSE(source.read(10.0)); // the track has ended
    source.set_enabled(false);
    EXPECT_TRUE(source.enabled());
    EXPECT_EQ(44100, source.format()->sample_rate());
    EXPECT_EQ(250.0, source.position());
}
