#include "ffmpeg/DTFFCodec.h"
#include "ffmpeg/DTFFDecoderInfo.h"
#include "media/DTDecoder.h"
#include "media/DTMediaSplitter.h"

#include "support/TestFiles.h"
#include "support/VideoFiles.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixfmt.h>
}

#include <vector>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// A clip's video stream: its description and every packet in file order.
struct video_stream {
    video_decoder_info_ptr info;
    std::vector<media_packet_ptr> packets;
};

video_stream read_video_stream(const std::string& path) {
    media_splitter_ptr splitter = create_media_splitter(path.c_str());
    video_stream stream;
    int index = -1;
    for (unsigned int i = 0; i < splitter->get_file_info()->stream_count() && index < 0; ++i) {
        stream.info = boost::dynamic_pointer_cast<video_decoder_info>(
            splitter->get_stream_info(i)->get_decoder_info());
        if (stream.info)
            index = static_cast<int>(i);
    }
    while (media_packet_ptr packet = splitter->read_packet())
        if (packet->stream_index() == index)
            stream.packets.push_back(packet);
    return stream;
}

// A clip made once per test program.
const video_stream& clip_stream(int b_frames) {
    static TempDir folder;
    static std::vector<video_stream> made(3);
    video_stream& stream = made.at(b_frames);
    if (!stream.info) {
        video_clip clip;
        clip.b_frames = b_frames;
        const std::string path = folder.file("clip-bf" + std::to_string(b_frames) + ".mp4");
        make_video_clip(path, clip);
        stream = read_video_stream(path);
    }
    return stream;
}

// The packet's bytes with the stamps, duration and units a test chooses.
media_packet_ptr restamped(const media_packet& source, dt_ts_t dts, dt_ts_t pts, int duration,
                           dt_rational_t time_base = dt_rational_t(1, 25)) {
    auto packet = boost::make_shared<common_media_packet2>();
    media_packet_properties* set = packet->properties();
    set->set_data(source.data(), static_cast<size_t>(source.size()), dt_buffer_copy);
    set->set_dts(dts);
    set->set_pts(pts);
    set->set_duration(duration);
    set->set_flags(source.flags());
    set->set_media_type(dt_media_type_video);
    set->set_time_base(time_base);
    set->set_frame_rate(dt_rational_t(25, 1));
    return packet;
}

// Every timed picture of the packets, the codec drained at the end.
std::vector<video_data_timed_ptr> decode_all(video_decoder& decoder,
                                            const std::vector<media_packet_ptr>& packets,
                                            int* empty_before_first = nullptr) {
    std::vector<video_data_timed_ptr> pictures;
    for (const media_packet_ptr& packet : packets) {
        if (video_data_timed_ptr picture = decoder.decode_timed(packet))
            pictures.push_back(picture);
        else if (empty_before_first && pictures.empty())
            ++*empty_before_first;
    }
    while (video_data_timed_ptr picture = decoder.decode_timed(media_packet_ptr()))
        pictures.push_back(picture);
    return pictures;
}

} // namespace

// B-frames: the codec holds the first pictures back; every picture comes
// out in presentation order, 40 ms apart and 40 ms long, the last ones
// when the codec is drained.
TEST(FFVideoDecoder, ClipWithBFramesGivesEveryPictureInOrder) {
    const video_stream& stream = clip_stream(2);
    ASSERT_EQ(50u, stream.packets.size());
    EXPECT_TRUE(stream.info->has_b_frames());
    video_decoder_ptr decoder = create_video_decoder(*stream.info);
    ASSERT_TRUE(decoder);
    int held_back = 0;
    const std::vector<video_data_timed_ptr> pictures =
        decode_all(*decoder, stream.packets, &held_back);
    EXPECT_GT(held_back, 0);
    ASSERT_EQ(50u, pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_NEAR(40.0 * i, pictures[i]->start, 1e-9) << i;
        EXPECT_NEAR(40.0, pictures[i]->duration, 1e-9) << i;
        EXPECT_EQ(160, pictures[i]->data->width());
        EXPECT_EQ(120, pictures[i]->data->height());
        EXPECT_EQ(AV_PIX_FMT_YUV420P, pictures[i]->data->pixel_format());
    }
    EXPECT_NE(pictures[0]->data->plane_data(0), pictures[1]->data->plane_data(0));
    EXPECT_EQ("h264", decoder->get_additional_info()->name());
    auto now = boost::dynamic_pointer_cast<video_decoder_info>(decoder->get_decoder_info());
    ASSERT_TRUE(now);
    EXPECT_EQ(160, now->width());
}

struct timing_case {
    const char* name;
    int dts_step;          // decoding stamps 0, step, 2 x step ... in 1/25 s; 0: none
    int packet_duration;   // 0: none
    double first_duration; // ms
    double later_duration; // ms
    double start_step;     // ms
};

void PrintTo(const timing_case& c, std::ostream* out) { *out << c.name; }

class VideoDecoderTiming : public ::testing::TestWithParam<timing_case> {};

TEST_P(VideoDecoderTiming, DurationsFollowPacketsGapsOrFrameRate) {
    const timing_case& c = GetParam();
    const video_stream& stream = clip_stream(0);
    std::vector<media_packet_ptr> packets;
    for (std::size_t i = 0; i < stream.packets.size(); ++i) {
        const dt_ts_t stamp = c.dts_step ? static_cast<dt_ts_t>(i) * c.dts_step : dt_no_ts;
        packets.push_back(restamped(*stream.packets[i], stamp, stamp, c.packet_duration));
    }
    video_decoder_ptr decoder = create_video_decoder(*stream.info);
    for (int pass = 0; pass < 2; ++pass) { // after a reset the first picture starts afresh
        const std::vector<video_data_timed_ptr> pictures = decode_all(*decoder, packets);
        ASSERT_EQ(50u, pictures.size());
        EXPECT_DOUBLE_EQ(c.first_duration, pictures[0]->duration);
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            EXPECT_NEAR(c.start_step * i, pictures[i]->start, 1e-9) << i;
            if (i > 0) {
                EXPECT_NEAR(c.later_duration, pictures[i]->duration, 1e-9) << i;
            }
        }
        decoder->reset();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Packets, VideoDecoderTiming,
    ::testing::Values(
        // No durations: one frame of 25 per second, then the gap between starts.
        timing_case{"FrameRateThenGaps", 2, 0, 40.0, 80.0, 80.0},
        // A packet duration wins over the gap.
        timing_case{"PacketDurationWins", 2, 1, 40.0, 40.0, 80.0},
        // Neither decoding nor presentation stamps: every picture at 0.
        timing_case{"NoStampsStartAtZero", 0, 0, 40.0, 0.0, 0.0}),
    [](const ::testing::TestParamInfo<timing_case>& info) { return std::string(info.param.name); });

TEST(FFVideoDecoder, UntimedPicturesAreDeepCopies) {
    const video_stream& stream = clip_stream(0);
    video_decoder_ptr decoder = create_video_decoder(*stream.info);
    video_data_ptr first = decoder->decode(stream.packets[0]);
    ASSERT_TRUE(first);
    const std::vector<uint8_t> row(first->plane_data(0), first->plane_data(0) + 160);
    for (std::size_t i = 1; i < 10; ++i)
        ASSERT_TRUE(decoder->decode(stream.packets[i]));
    EXPECT_EQ(row, std::vector<uint8_t>(first->plane_data(0), first->plane_data(0) + 160));
}

// Bytes that are no H.264 are the decoder's error, and the decoder goes on
// with the next good packet; a codec without a decoder is refused.
TEST(FFVideoDecoder, DamagedPacketsAndUnknownCodecs) {
    const video_stream& stream = clip_stream(0);
    video_decoder_ptr decoder = create_video_decoder(*stream.info);
    const std::string junk(200, '\xff');
    auto damaged = boost::make_shared<common_media_packet2>();
    damaged->properties()->set_data(reinterpret_cast<uint8_t*>(const_cast<char*>(junk.data())),
                                    junk.size(), dt_buffer_copy);
    try {
        decoder->decode_timed(damaged);
    } catch (const decoder::decode_error& e) {
        EXPECT_STREQ("avcodec_decode_video", *boost::get_error_info<errinfo_api_function>(e));
    }
    EXPECT_TRUE(decoder->decode_timed(stream.packets[0]));

    auto empty = boost::make_shared<common_media_packet2>();
    empty->properties()->set_data(boost::shared_ptr<uint8_t>(), 64); // a size without bytes
    EXPECT_FALSE(decoder->decode(empty));
    EXPECT_TRUE(decoder->decode_timed(stream.packets[1]));

    AVCodecContextPtr unknown = dt_create_codec_context();
    unknown->codec_type = AVMEDIA_TYPE_VIDEO;
    unknown->codec_id = AV_CODEC_ID_NONE;
    auto info = boost::dynamic_pointer_cast<video_decoder_info>(create_ff_decoder_info(unknown.get()));
    ASSERT_TRUE(info);
    try {
        create_video_decoder(*info);
        ADD_FAILURE() << "a decoder for no codec";
    } catch (const decoder::create_error& e) {
        EXPECT_STREQ("avcodec_find_decoder", *boost::get_error_info<errinfo_api_function>(e));
    }
}
