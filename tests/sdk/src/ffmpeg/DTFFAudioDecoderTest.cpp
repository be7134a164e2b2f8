#include "ffmpeg/DTFFAudioDecoder.h"

#include "media/DTMediaSplitter.h"
#include "support/AudioSignals.h"
#include "support/MusicFiles.h"
#include "support/RowNames.h"
#include "support/ToneLevel.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <cmath>

using namespace kestrel;
using namespace kestrel::test;

namespace {

struct audio_stream {
    media_splitter_ptr splitter;
    audio_decoder_info_ptr info;
    int index = -1;

    explicit audio_stream(const std::string& path)
        : splitter(create_media_splitter(path.c_str())) {
        for (unsigned int i = 0; i < splitter->get_file_info()->nb_streams(); ++i) {
            info = boost::dynamic_pointer_cast<audio_decoder_info>(
                splitter->get_stream_info(i)->get_decoder_info());
            if (info) {
                index = static_cast<int>(i);
                return;
            }
        }
    }

    media_packet_ptr next() {
        while (media_packet_ptr packet = splitter->read_packet())
            if (packet->stream_index() == index)
                return packet;
        return media_packet_ptr();
    }
};

// A packet of other bytes and no time stamp, as a non-FFmpeg packet.
media_packet_ptr plain_packet(const std::vector<uint8_t>& bytes) {
    auto packet = boost::make_shared<common_media_packet2>();
    packet->properties()->set_data(const_cast<uint8_t*>(bytes.data()), bytes.size(),
                                   dt_buffer_copy);
    packet->properties()->set_pts(AV_NOPTS_VALUE);
    return packet;
}

std::vector<double> joined(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> all = a;
    all.insert(all.end(), b.begin(), b.end());
    return all;
}

} // namespace

class AudioDecoderFormats : public ::testing::TestWithParam<std::string> {};

TEST_P(AudioDecoderFormats, DecodesEveryChannelWithItsOwnTone) {
    audio_stream stream(sample_tone_file(GetParam()));
    ASSERT_TRUE(stream.info);
    audio_decoder_ptr decoder = create_audio_decoder(*stream.info);
    ASSERT_TRUE(decoder);

    std::vector<double> left, right;
    double end = 0.0;
    while (media_packet_ptr packet = stream.next()) {
        audio_data_timed_ptr timed = decoder->decode_timed(packet);
        ASSERT_TRUE(timed && timed->data);
        EXPECT_EQ(stream.info->sample_format(), timed->data->sample_format());
        EXPECT_NEAR(1000.0 * timed->data->samples() / 44100, timed->duration, 1e-9);
        end = timed->start + timed->duration;
        left = joined(left, channel_samples(*timed->data, 0));
        right = joined(right, channel_samples(*timed->data, 1));
    }
    // No more packets: what the codec still holds comes out.
    audio_data_ptr rest = decoder->decode(media_packet_ptr());
    left = joined(left, channel_samples(*rest, 0));
    // One second, give or take the codec's priming and padding.
    EXPECT_NEAR(44100.0, left.size(), 2100.0);
    EXPECT_NEAR(1000.0, end, 100.0);
    EXPECT_TRUE(carries_tone(left, 44100, 440.0, 1000.0)) << GetParam();
    EXPECT_TRUE(carries_tone(right, 44100, 1000.0, 440.0)) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(MusicFilter, AudioDecoderFormats, ::testing::ValuesIn(music_extensions()),
    [](const ::testing::TestParamInfo<std::string>& info) { return kestrel::test::row_name(info.param); });

TEST(FFAudioDecoder, PacketOfSeveralFramesKeepsChannelsApart) {
    audio_stream stream(sample_tone_file("mp3"));
    std::vector<media_packet_ptr> packets;
    for (int i = 0; i < 6; ++i)
        packets.push_back(stream.next());

    // Both decoders see the first three packets alone; then one takes the
    // next three one by one, the other as a single packet.
    audio_decoder_ptr one_by_one = create_audio_decoder(*stream.info);
    audio_decoder_ptr combined = create_audio_decoder(*stream.info);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 3; ++i) {
        one_by_one->decode(packets[i]);
        combined->decode(packets[i]);
        bytes.insert(bytes.end(), packets[i + 3]->data(),
                     packets[i + 3]->data() + packets[i + 3]->size());
    }
    std::vector<double> left, right;
    for (int i = 3; i < 6; ++i) {
        audio_data_ptr block = one_by_one->decode(packets[i]);
        left = joined(left, channel_samples(*block, 0));
        right = joined(right, channel_samples(*block, 1));
    }
    audio_data_ptr block = combined->decode(plain_packet(bytes));
    ASSERT_EQ(3u * 1152u, block->samples());
    EXPECT_TRUE(block->sample_format() == sample_format_fltp);
    EXPECT_EQ(left, channel_samples(*block, 0));
    EXPECT_EQ(right, channel_samples(*block, 1));
}

TEST(FFAudioDecoder, UntimedPacketsFollowOnAndResetKeepsPosition) {
    audio_stream stream(sample_tone_file("wav"));
    audio_decoder_ptr decoder = create_audio_decoder(*stream.info);

    media_packet_ptr first = stream.next();
    const std::vector<uint8_t> bytes(first->data(), first->data() + first->size());
    audio_data_timed_ptr a = decoder->decode_timed(plain_packet(bytes));
    EXPECT_EQ(0.0, a->start);
    EXPECT_GT(a->duration, 0.0);
    audio_data_timed_ptr b = decoder->decode_timed(plain_packet(bytes));
    EXPECT_DOUBLE_EQ(a->duration, b->start);

    // A time-stamped packet re-bases the position in its own time base.
    media_packet_ptr second = stream.next();
    audio_data_timed_ptr c = decoder->decode_timed(second);
    EXPECT_DOUBLE_EQ(1000.0 * second->pts() / 44100, c->start);

    decoder->reset();
    audio_data_timed_ptr d = decoder->decode_timed(plain_packet(bytes));
    EXPECT_DOUBLE_EQ(c->start + c->duration, d->start);
}

TEST(FFAudioDecoder, BadBytesGiveAnEmptyBlock) {
    audio_stream stream(sample_tone_file("mp3"));
    audio_decoder_ptr decoder = create_audio_decoder(*stream.info);
    audio_data_ptr block = decoder->decode(plain_packet(std::vector<uint8_t>(500, 0x55)));
    ASSERT_TRUE(block);
    EXPECT_EQ(0u, block->samples());
    EXPECT_EQ(0u, decoder->decode(plain_packet({}))->samples());
    // The decoder still works afterwards.
    EXPECT_GE(decoder->decode(stream.next())->samples() + decoder->decode(stream.next())->samples(),
              1152u);
}

TEST(FFAudioDecoder, DescribesTheOpenedCodec) {
    audio_stream stream(sample_tone_file("mp3"));
    audio_decoder_ptr decoder = create_audio_decoder(*stream.info);
    EXPECT_EQ("mp3float", decoder->get_additional_info()->name());
    EXPECT_FALSE(decoder->get_additional_info()->long_name().empty());
    auto opened = boost::dynamic_pointer_cast<audio_decoder_info>(decoder->get_decoder_info());
    ASSERT_TRUE(opened);
    EXPECT_EQ(sample_format_fltp, opened->sample_format());
    EXPECT_EQ(44100, opened->sample_rate());
}

namespace {
class external_description : public audio_decoder_info_simple {
public:
    external_description() : audio_decoder_info_simple(AV_CODEC_ID_MP3, 44100, 2, nullptr, 0) {}
    int extra_value() const override { return 1; }
};
} // namespace

TEST(FFAudioDecoder, FactoryRefusals) {
    audio_decoder_info external(new external_description());
    EXPECT_FALSE(create_audio_decoder(external));

    audio_decoder_info_ptr unknown = create_audio_decoder_info_simple(AV_CODEC_ID_NONE, 44100, 2,
                                                                      nullptr, 0);
    EXPECT_THROW(create_audio_decoder(*unknown), decoder::create_error);
}
