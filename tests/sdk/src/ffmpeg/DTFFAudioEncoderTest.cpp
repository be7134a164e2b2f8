#include "encoders/DTAudioEncoderQueue.h"
#include "ffmpeg/DTFFAudioEncoder.h"
#include "support/AudioSignals.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <vector>

using namespace kestrel;
using kestrel::test::make_audio;
using kestrel::test::sine_tone;

namespace {

audio_format_ptr stereo(int rate = 44100, int sample_format = sample_format_s16,
                        uint64_t layout = 3) {
    return audio_format::create(rate, sample_format, 2, layout);
}

audio_encoder_queue_ptr encoder_for(const char* codec, const audio_format& input) {
    media_settings_ptr settings = media_settings::create("audio-codec", codec);
    settings->set("audio-bitrate", 128000);
    audio_encoder_queue_ptr queue =
        audio_encoder_queue_creator::create("kestrel/ffmpeg", &input, settings);
    queue->open();
    return queue;
}

AVCodecContext* context_of(const audio_encoder_queue_ptr& queue) {
    return static_cast<AVCodecContext*>(queue->codec_context());
}

std::vector<media_packet_ptr> take_packets(const audio_encoder_queue_ptr& queue) {
    std::vector<media_packet_ptr> packets;
    while (media_packet_ptr packet = queue->get_packet())
        packets.push_back(packet);
    return packets;
}

// Sends `blocks` blocks of `frames` frames of a tone; every packet so far.
std::vector<media_packet_ptr> send_tone(const audio_encoder_queue_ptr& queue,
                                        const audio_format& format, int blocks,
                                        unsigned int frames) {
    std::vector<media_packet_ptr> packets;
    for (int i = 0; i < blocks; ++i) {
        queue->send(make_audio(format, frames, sine_tone(format.sample_rate(), 440.0),
                               static_cast<unsigned int>(i) * frames).get());
        for (const media_packet_ptr& packet : take_packets(queue))
            packets.push_back(packet);
    }
    return packets;
}

} // namespace

TEST(FFmpegAudioEncoder, WholeCodecFramesStampedBySampleCount) {
    audio_encoder_queue_ptr queue = encoder_for("mp2", *stereo());
    ASSERT_EQ(1152, context_of(queue)->frame_size);
    EXPECT_TRUE(send_tone(queue, *stereo(), 1, 1000).empty());
    std::vector<media_packet_ptr> packets = send_tone(queue, *stereo(), 4, 1000);
    ASSERT_EQ(4u, packets.size()); // 5000 frames: 4 whole frames, 392 wait
    // The codec moves its packets back by its start-up delay.
    const int delay = context_of(queue)->initial_padding;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(static_cast<dt_ts_t>(i) * 1152 - delay, packets[i]->pts());
        EXPECT_EQ(dt_media_type_audio, packets[i]->media_type());
        EXPECT_EQ(dt_rational_t(1, 44100), packets[i]->time_base());
    }
}

TEST(FFmpegAudioEncoder, TheEndEncodesTheRestAsAShortFrame) {
    audio_encoder_queue_ptr queue = encoder_for("mp2", *stereo());
    std::vector<media_packet_ptr> packets = send_tone(queue, *stereo(), 1, 1652);
    ASSERT_EQ(1u, packets.size());
    queue->send_timed(nullptr);
    std::vector<media_packet_ptr> last = take_packets(queue);
    ASSERT_EQ(1u, last.size());
    EXPECT_EQ(1152 - context_of(queue)->initial_padding, last[0]->pts());
    // Ended: a second end changes nothing.
    queue->flush();
    EXPECT_FALSE(queue->get_packet());
}

TEST(FFmpegAudioEncoder, CodecsWithoutFrameSizeTakeEverything) {
    audio_encoder_queue_ptr queue = encoder_for("pcm_s16le", *stereo());
    ASSERT_EQ(0, context_of(queue)->frame_size);
    std::vector<media_packet_ptr> packets = send_tone(queue, *stereo(), 2, 1000);
    ASSERT_EQ(2u, packets.size());
    EXPECT_EQ(4000, packets[0]->size());
    EXPECT_EQ(1000, packets[1]->pts());
    queue->flush();
    EXPECT_FALSE(queue->get_packet());
}

// FFmpeg 5 has no libvo_aacenc: the name gets the native encoder, which
// takes only planar float.
TEST(FFmpegAudioEncoder, RetiredAacNameGetsTheNativeEncoder) {
    audio_encoder_queue_ptr queue = encoder_for("libvo_aacenc", *stereo());
    AVCodecContext* context = context_of(queue);
    EXPECT_EQ(AV_CODEC_ID_AAC, context->codec_id);
    EXPECT_EQ(AV_SAMPLE_FMT_FLTP, context->sample_fmt);
    EXPECT_EQ(1024, context->frame_size);
    std::vector<media_packet_ptr> packets = send_tone(queue, *stereo(), 20, 1000);
    queue->flush();
    for (const media_packet_ptr& packet : take_packets(queue))
        packets.push_back(packet);
    // 20000 frames in codec frames of 1024, plus the codec's priming frame.
    ASSERT_EQ(21u, packets.size());
    for (std::size_t i = 1; i < packets.size(); ++i)
        EXPECT_EQ(1024, packets[i]->pts() - packets[i - 1]->pts());
}

TEST(FFmpegAudioEncoder, ConvertsRateAndLayoutTogether) {
    // LAME takes at most 48000 Hz and only planar formats.
    audio_encoder_queue_ptr queue = encoder_for("libmp3lame", *stereo(96000));
    AVCodecContext* context = context_of(queue);
    EXPECT_EQ(48000, context->sample_rate);
    EXPECT_EQ(AV_SAMPLE_FMT_S16P, context->sample_fmt); // the planar counterpart
    send_tone(queue, *stereo(96000), 10, 9600);
    queue->flush();
    std::vector<media_packet_ptr> packets = take_packets(queue);
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(dt_rational_t(1, 48000), packets.back()->time_base());
}

TEST(FFmpegAudioEncoder, ALayoutForAnotherChannelCountIsDropped) {
    audio_encoder_queue_ptr queue = encoder_for("mp2", *stereo(44100, sample_format_s16, 4));
    AVCodecContext* context = context_of(queue);
    EXPECT_EQ(2, context->ch_layout.nb_channels);
    EXPECT_EQ(1u, send_tone(queue, *stereo(44100, sample_format_s16, 4), 1, 1152).size());
}

TEST(FFmpegAudioEncoder, SampleFormatChoice) {
    const AVCodec* lame = avcodec_find_encoder_by_name("libmp3lame");
    ASSERT_NE(nullptr, lame);
    EXPECT_EQ(sample_format_fltp, ffmpeg::choose_sample_format(sample_format_fltp, lame));
    EXPECT_EQ(sample_format_s32p, ffmpeg::choose_sample_format(sample_format_s32, lame));
    EXPECT_EQ(lame->sample_fmts[0], ffmpeg::choose_sample_format(sample_format_dbl, lame));
    EXPECT_EQ(lame->sample_fmts[0], ffmpeg::choose_sample_format(-1, lame));
    EXPECT_EQ(-1, ffmpeg::choose_sample_format(sample_format_s16, nullptr));
}

TEST(FFmpegAudioEncoder, SampleRateChoice) {
    static const int rates[] = {48000, 32000, 0};
    AVCodec listing{};
    listing.supported_samplerates = rates;
    EXPECT_EQ(48000, ffmpeg::choose_sample_rate(44100, &listing));
    EXPECT_EQ(48000, ffmpeg::choose_sample_rate(40000, &listing)); // a tie: the earlier
    EXPECT_EQ(32000, ffmpeg::choose_sample_rate(22050, &listing));
    AVCodec any_rate{};
    EXPECT_EQ(22050, ffmpeg::choose_sample_rate(22050, &any_rate));
}

TEST(FFmpegAudioEncoder, Refusals) {
    EXPECT_FALSE(take_packets(encoder_for("mp2", *stereo())).size());
    try {
        ffmpeg::create_ffmpeg_audio_encoder(media_settings_ptr());
        ADD_FAILURE() << "no settings accepted";
    } catch (const audio_encoder_queue::error& e) {
        EXPECT_STREQ("audio encoder: invalid settings", e.what());
    }
    try {
        encoder_for("no-such-codec", *stereo());
        ADD_FAILURE() << "an unknown codec accepted";
    } catch (const audio_encoder_queue::error& e) {
        EXPECT_STREQ("audio encoder: could't find codec", e.what());
        const char* const* function = boost::get_error_info<errinfo_api_function>(e);
        ASSERT_NE(nullptr, function);
        EXPECT_STREQ("avcodec_find_encoder_by_name", *function);
    }
    audio_encoder_queue_ptr queue = encoder_for("mp2", *stereo());
    EXPECT_THROW(queue->send(make_audio(*audio_format::create(44100, sample_format_flt, 2, 3), 10,
                                        sine_tone(44100, 440.0)).get()),
                 audio_buffer::invalid_format);
}
