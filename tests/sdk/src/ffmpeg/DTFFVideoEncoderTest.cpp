#include "encoders/DTVideoEncoderQueue.h"
#include "ffmpeg/DTFFHandles.h"
#include "ffmpeg/DTFFVideoEncoder.h"
#include "support/TestPictures.h"

#include "base/DTNumberText.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/opt.h>
}

#include <boost/lexical_cast/bad_lexical_cast.hpp>
#include <boost/make_shared.hpp>

#include <memory>
#include <vector>

using namespace kestrel;

namespace {

const int width = 64;
const int height = 48;

media_settings_ptr encoder_settings(const char* codec, double frame_rate = 25.0) {
    media_settings_ptr settings = media_settings::create("video-codec", codec);
    settings->set("width", width);
    settings->set("height", height);
    settings->set("video-frame-rate", frame_rate);
    return settings;
}

// The encoder's own log lines stay out of the test output.
class quiet_encoder {
public:
    explicit quiet_encoder(media_settings_ptr settings) {
        testing::internal::CaptureStdout();
        try {
            queue_ = video_encoder_queue_creator::create("kestrel/ffmpeg", settings);
        } catch (...) {
            testing::internal::GetCapturedStdout();
            throw;
        }
        testing::internal::GetCapturedStdout();
    }
    ~quiet_encoder() {
        testing::internal::CaptureStdout();
        queue_.reset();
        testing::internal::GetCapturedStdout();
    }
    video_encoder_queue* operator->() const { return queue_.get(); }
    AVCodecContext* context() const {
        return static_cast<AVCodecContext*>(queue_->codec_context());
    }

private:
    video_encoder_queue_ptr queue_;
};

void send_at(video_encoder_queue* queue, double start_ms, int frame_number) {
    queue->send_timed(boost::make_shared<video_data_timed>(
        test::make_yuv_picture(width, height, frame_number), 40.0, start_ms));
}

std::vector<media_packet_ptr> take_packets(video_encoder_queue* queue) {
    std::vector<media_packet_ptr> packets;
    while (media_packet_ptr packet = queue->get_packet())
        packets.push_back(packet);
    return packets;
}

void construct(media_settings_ptr settings) {
    std::unique_ptr<video_encoder_queue::Impl> encoder(
        ffmpeg::create_ffmpeg_video_encoder(settings));
}

template <class Error>
std::string error_text(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

} // namespace

TEST(FFVideoEncoder, RegisteredAsFFmpeg) {
    quiet_encoder encoder(encoder_settings("mpeg4"));
    ASSERT_NE(nullptr, encoder.context());
    EXPECT_EQ(AV_CODEC_ID_MPEG4, encoder.context()->codec_id);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(
        video_encoder_queue_creator::create("kestrel/ffmpeg/more", encoder_settings("mpeg4")));
    testing::internal::GetCapturedStdout();
}

TEST(FFVideoEncoder, MinimalSettingsKeepTheCodecsDefaults) {
    media_settings_ptr settings = encoder_settings("libx264");
    settings->set("width", 1280);
    settings->set("height", 720);
    quiet_encoder encoder(settings);
    AVCodecContextPtr defaults(avcodec_alloc_context3(avcodec_find_encoder_by_name("libx264")),
                               details::_AVCodecContextDestroy());
    const AVCodecContext* c = encoder.context();
    EXPECT_EQ(1, c->time_base.num);
    EXPECT_EQ(25, c->time_base.den);
    EXPECT_EQ(AV_PIX_FMT_YUV420P, c->pix_fmt);
    EXPECT_EQ(0, c->bit_rate);
    EXPECT_EQ(1280, c->width);
    EXPECT_EQ(720, c->height);
    EXPECT_EQ(defaults->qmin, c->qmin);
    EXPECT_EQ(defaults->qmax, c->qmax);
    EXPECT_EQ(defaults->max_qdiff, c->max_qdiff);
}

TEST(FFVideoEncoder, FixedKeysAndBitrateWinOverOptions) {
    media_settings_ptr settings = encoder_settings("mpeg4");
    settings->set("qmin", 3);
    settings->set("qmax", 20);
    settings->set("max_qdiff", 4);
    settings->set("ffmpeg/video/b[int]", 800000);
    quiet_encoder without_bitrate(settings);
    EXPECT_EQ(3, without_bitrate.context()->qmin);
    EXPECT_EQ(20, without_bitrate.context()->qmax);
    EXPECT_EQ(4, without_bitrate.context()->max_qdiff);
    EXPECT_EQ(0, without_bitrate.context()->bit_rate);

    settings->set("bitrate", 300000);
    quiet_encoder with_bitrate(settings);
    EXPECT_EQ(300000, with_bitrate.context()->bit_rate);
}

TEST(FFVideoEncoder, MotionEstimationGoesToTheCodecsOption) {
    media_settings_ptr settings = encoder_settings("libx264");
    settings->set("me_method", 2);
    testing::internal::CaptureStdout();
    {
        video_encoder_queue_ptr encoder =
            video_encoder_queue_creator::create("kestrel/ffmpeg", settings);
        int64_t method = -1;
        av_opt_get_int(encoder->codec_context(), "me_method", AV_OPT_SEARCH_CHILDREN, &method);
        EXPECT_EQ(2, method);
    }
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, log.find("set param \"me_method\" : \"2\"")) << log;

    // mpeg4 has no option of that name: logged, then ignored.
    settings->set("video-codec", "mpeg4");
    quiet_encoder encoder(settings);
}

TEST(FFVideoEncoder, FrameRateBecomesTheTimeBase) {
    quiet_encoder half(encoder_settings("mpeg4", 12.5));
    EXPECT_EQ(2, half.context()->time_base.num);
    EXPECT_EQ(25, half.context()->time_base.den);
    // Both terms stay within 255: 29.97 becomes 30.
    quiet_encoder ntsc(encoder_settings("mpeg4", 29.97));
    EXPECT_EQ(1, ntsc.context()->time_base.num);
    EXPECT_EQ(30, ntsc.context()->time_base.den);
}

TEST(FFVideoEncoder, StartTimesBecomeTimeStampsInTheTimeBase) {
    quiet_encoder encoder(encoder_settings("mpeg4"));
    encoder->open();
    send_at(encoder.operator->(), 39.9, 0);
    send_at(encoder.operator->(), 1000.0, 1);
    encoder->send_timed(video_data_timed_ptr());
    const std::vector<media_packet_ptr> packets = take_packets(encoder.operator->());
    ASSERT_EQ(2u, packets.size());
    EXPECT_EQ(0, packets[0]->pts());
    EXPECT_EQ(25, packets[1]->pts());
    for (const media_packet_ptr& packet : packets) {
        EXPECT_EQ(dt_media_type_video, packet->media_type());
        EXPECT_EQ(dt_rational_t(1, 25), packet->time_base());
        EXPECT_EQ(1, packet->duration());
    }
    EXPECT_TRUE(packets[0]->flags() & dt_packet_flag_key);
}

TEST(FFVideoEncoder, FlushDrainsEveryDelayedPictureWithItsDuration) {
    media_settings_ptr settings = encoder_settings("libx264");
    settings->set("ffmpeg/video/threads[int]", 1);
    quiet_encoder encoder(settings);
    encoder->open();
    const int frames = 12;
    std::vector<media_packet_ptr> packets;
    for (int i = 0; i < frames; ++i) {
        send_at(encoder.operator->(), i * 40.0, i);
        for (const media_packet_ptr& p : take_packets(encoder.operator->()))
            packets.push_back(p);
    }
    EXPECT_LT(packets.size(), static_cast<size_t>(frames)); // libx264 holds pictures back
    encoder->send_timed(video_data_timed_ptr());
    for (const media_packet_ptr& p : take_packets(encoder.operator->()))
        packets.push_back(p);
    ASSERT_EQ(static_cast<size_t>(frames), packets.size());
    std::vector<dt_ts_t> stamps;
    for (const media_packet_ptr& packet : packets) {
        EXPECT_EQ(1, packet->duration()); // libx264 itself leaves it 0
        stamps.push_back(packet->pts());
    }
    std::sort(stamps.begin(), stamps.end());
    for (int i = 0; i < frames; ++i)
        EXPECT_EQ(i, stamps[i]);

    // A second flush has nothing to give; a picture after the end is refused.
    encoder->send_timed(video_data_timed_ptr());
    EXPECT_FALSE(encoder->get_packet());
    EXPECT_EQ("video encoder: encode video", error_text<video_encoder_queue::error>(
                                                 [&] { send_at(encoder.operator->(), 999.0, 0); }));
}

TEST(FFVideoEncoder, TimeStampsStayIncreasingAtRatesWithoutWholeMilliseconds) {
    quiet_encoder encoder(encoder_settings("mpeg4", 30.0));
    encoder->open();
    for (int i = 0; i < 6; ++i)
        send_at(encoder.operator->(), i * 1000.0 / 30.0, i);
    const std::vector<media_packet_ptr> packets = take_packets(encoder.operator->());
    ASSERT_EQ(6u, packets.size());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(i, packets[i]->pts());
}

TEST(FFVideoEncoder, UntimedPicturesFollowTheLastOne) {
    quiet_encoder encoder(encoder_settings("mpeg4"));
    encoder->open();
    const video_data_ptr picture = test::make_yuv_picture(width, height, 0);
    encoder->send(picture.get());
    send_at(encoder.operator->(), 200.0, 1);
    encoder->send(picture.get());
    const std::vector<media_packet_ptr> packets = take_packets(encoder.operator->());
    ASSERT_EQ(3u, packets.size());
    EXPECT_EQ(0, packets[0]->pts());
    EXPECT_EQ(5, packets[1]->pts());
    EXPECT_EQ(6, packets[2]->pts());
}

TEST(FFVideoEncoder, PictureOfAnotherFormatIsRefusedBeforeEncoding) {
    media_settings_ptr settings = encoder_settings("mpeg4");
    testing::internal::CaptureStdout();
    {
        video_encoder_queue_ptr encoder =
            video_encoder_queue_creator::create("kestrel/ffmpeg", settings);
        encoder->open();
        EXPECT_FALSE(encoder->get_packet());
        const video_data_ptr rgb = test::make_rgb_picture(width, height, 0);
        EXPECT_EQ("video encoder: invalid video format",
                  error_text<video_encoder_queue::error>([&] { encoder->send(rgb.get()); }));
        const video_data_ptr small = test::make_yuv_picture(width / 2, height, 0);
        EXPECT_THROW(encoder->send(small.get()), video_encoder_queue::error);
        EXPECT_FALSE(encoder->get_packet());
    }
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, log.find("[kestrel][info][ffmpeg video encoder] : close\n"
                                          "[kestrel][info][ffmpeg video encoder] : total time: 0\n"
                                          "[kestrel][info][ffmpeg video encoder] : total fps: 0\n"))
        << log;
}

TEST(FFVideoEncoder, StatisticsCountEveryCallInRealSeconds) {
    testing::internal::CaptureStdout();
    {
        video_encoder_queue_ptr encoder =
            video_encoder_queue_creator::create("kestrel/ffmpeg", encoder_settings("mpeg4"));
        encoder->open();
        encoder->send_timed(video_data_timed_ptr()); // one call, nothing queued
        EXPECT_FALSE(encoder->get_packet());
    }
    const std::string log = testing::internal::GetCapturedStdout();
    const std::string fps_prefix = "[ffmpeg video encoder] : total fps: ";
    const size_t at = log.find(fps_prefix);
    ASSERT_NE(std::string::npos, at) << log;
    EXPECT_GT(text::from_text<double>(
                  log.substr(at + fps_prefix.size(), log.find("\n", at) - at - fps_prefix.size())),
              0.0);
}

TEST(FFVideoEncoder, SettingsFailures) {
    EXPECT_EQ("video encoder: invalid settings",
              error_text<video_encoder_queue::error>([] { construct(media_settings_ptr()); }));
    EXPECT_EQ("video encoder: could't find codec", error_text<video_encoder_queue::error>([] {
                  construct(encoder_settings("no-such-codec"));
              }));
    media_settings_ptr settings = encoder_settings("mpeg4");
    settings->set("width", "");
    EXPECT_THROW(construct(settings), boost::bad_lexical_cast);
    settings = encoder_settings("mpeg4");
    settings->set("video-frame-rate", "25,0");
    EXPECT_THROW(construct(settings), boost::bad_lexical_cast);
    settings = encoder_settings("mpeg4");
    settings->set("ffmpeg/video/threads[int]", "four");
    testing::internal::CaptureStdout();
    EXPECT_THROW(construct(settings), boost::bad_lexical_cast);
    testing::internal::GetCapturedStdout();
}

TEST(FFVideoEncoder, OpenFailureCarriesTheFFmpegCall) {
    // MPEG-2 knows only the standard frame rates.
    quiet_encoder encoder(encoder_settings("mpeg2video", 7.0));
    testing::internal::CaptureStdout();
    try {
        encoder->open();
        FAIL();
    } catch (const video_encoder_queue::error& e) {
        EXPECT_STREQ("video encoder: open codec error", e.what());
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_api_function>(e));
        EXPECT_EQ("avcodec_open2", std::string(*boost::get_error_info<errinfo_api_function>(e)));
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_errno>(e));
        EXPECT_GT(*boost::get_error_info<errinfo_errno>(e), 0);
    }
    testing::internal::GetCapturedStdout();
}
