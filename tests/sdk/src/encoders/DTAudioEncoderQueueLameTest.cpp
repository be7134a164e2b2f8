#include "audio/DTAudioTrackFile.h"
#include "encoders/DTAudioEncoderQueueLame.h"

#include "support/AudioSignals.h"
#include "support/MediaProbe.h"
#include "support/TestFiles.h"
#include "support/ToneLevel.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrel;
using namespace kestrel::test;

namespace {

audio_format_ptr s16(int channels, int rate = 44100) {
    return audio_format::create(rate, sample_format_s16, channels, channels == 1 ? 4 : 3);
}

std::vector<media_packet_ptr> drain(audio_encoder_queue& queue) {
    std::vector<media_packet_ptr> packets;
    while (media_packet_ptr packet = queue.get_packet())
        packets.push_back(packet);
    return packets;
}

std::string bytes_of(const media_packet& packet) {
    return std::string(reinterpret_cast<const char*>(packet.data()),
                       static_cast<std::size_t>(packet.size()));
}

std::string tag(const codec_extra_data& tags, const std::string& name, size_t occurrence = 0) {
    for (size_t i = 0; i < tags.count(); ++i)
        if (tags.name(i) == name && occurrence-- == 0)
            return std::string(reinterpret_cast<const char*>(tags.data(i)), tags.size(i));
    return "<none>";
}

std::vector<std::string> tag_names(const codec_extra_data& tags) {
    std::vector<std::string> names;
    for (size_t i = 0; i < tags.count(); ++i)
        names.push_back(tags.name(i));
    return names;
}

// An MP3 file as a writer would make it: the ID3v2 tag, the packets with
// LAME's information frame over the placeholder that starts the sound, and
// the ID3v1 tag.
std::string mp3_file(const std::vector<media_packet_ptr>& packets, const codec_extra_data& tags) {
    std::string sound;
    for (const media_packet_ptr& packet : packets)
        sound += bytes_of(*packet);
    const std::string info = tag(tags, "LAMETAG");
    sound.replace(0, info.size(), info);
    return tag(tags, "ID3V2TAG") + sound + tag(tags, "ID3V1TAG");
}

// One second of MP3 at 128 kbit/s is 16000 bytes, give or take a frame.
double seconds_at_128k(const media_packet& packet) { return packet.size() / 16000.0; }

} // namespace

// 100000 frames at 44100 Hz: two one-second packets while sound flows, the
// remaining 11800 frames at the end of input, then LAME's flush with the
// tags for the end of the file.
TEST(LameEncoderQueue, CutsSoundIntoSecondsThenFlushes) {
    const audio_format_ptr format = s16(2);
    audio_encoder_queue_ptr queue = create_lame_audio_encoder(format.get(), nullptr, nullptr, 128);
    queue->open();
    EXPECT_EQ(std::vector<std::string>{"ID3V2TAG"}, tag_names(*queue->get_properties()));
    queue->send(make_audio(*format, 100000, sine_tone(44100, 440.0)).get());
    const std::vector<media_packet_ptr> flowing = drain(*queue);
    ASSERT_EQ(2u, flowing.size());
    queue->flush();
    const media_packet_ptr rest = queue->get_packet();
    ASSERT_TRUE(rest);
    EXPECT_EQ(1u, queue->get_properties()->count()); // the end tags come with the flush
    const media_packet_ptr flushed = queue->get_packet();
    ASSERT_TRUE(flushed);
    EXPECT_FALSE(queue->get_packet());

    EXPECT_NEAR(1.0, seconds_at_128k(*flowing[0]), 0.05);
    EXPECT_NEAR(1.0, seconds_at_128k(*flowing[1]), 0.05);
    EXPECT_NEAR(11800.0 / 44100, seconds_at_128k(*rest), 0.05);
    EXPECT_EQ((std::vector<std::string>{"ID3V2TAG", "ID3V1TAG", "LAMETAG"}),
              tag_names(*queue->get_properties()));

    // Stamps count 1/14112000 s, 320 ticks a frame at 44100 Hz, and mark
    // the end of the sound taken so far: durations add up to the stamps.
    int64_t end = 0;
    for (const media_packet_ptr& packet : {flowing[0], flowing[1], rest, flushed}) {
        EXPECT_EQ(dt_rational_t(1, 14112000), packet->time_base());
        EXPECT_EQ(dt_media_type_audio, packet->media_type());
        EXPECT_EQ(0, packet->duration() % 320);
        end += packet->duration();
        EXPECT_EQ(end, packet->pts());
        EXPECT_EQ(end, packet->dts());
    }
    // All the sound and LAME's own delay and padding, less than 3 frames.
    EXPECT_GE(end, 100000 * 320);
    EXPECT_LT(end, (100000 + 3 * 1152) * 320);
}

struct decoded_case {
    const char* name;
    int channels;
    int bitrate;
};

void PrintTo(const decoded_case& c, std::ostream* out) { *out << c.name; }

class LameFiles : public ::testing::TestWithParam<decoded_case> {};

// The packets and tags written as an MP3 file decode to the sound sent:
// the same length, channels and pitch.
TEST_P(LameFiles, DecodeToTheSoundSent) {
    const audio_format_ptr format = s16(GetParam().channels);
    audio_encoder_queue_ptr queue =
        create_lame_audio_encoder(format.get(), "Ärtist", "Tïtle", GetParam().bitrate);
    std::vector<media_packet_ptr> packets;
    for (unsigned int first = 0; first < 100000; first += 10000) {
        queue->send_timed(boost::make_shared<audio_data_timed>(
                              make_audio(*format, 10000, sine_tone(44100, 440.0), first), 0.0, 0.0)
                              .get());
        for (const media_packet_ptr& packet : drain(*queue))
            packets.push_back(packet);
    }
    queue->send_timed(nullptr); // no end of input: nothing more comes
    EXPECT_FALSE(queue->get_packet());
    queue->flush();
    for (const media_packet_ptr& packet : drain(*queue))
        packets.push_back(packet);

    TempDir dir;
    const std::string path = dir.file("töne.mp3");
    write_file(path, mp3_file(packets, *queue->get_properties()));
    const media_probe probe = probe_media_file(path);
    ASSERT_EQ(1u, probe.streams.size());
    EXPECT_EQ("mp3", probe.streams[0].codec);
    EXPECT_EQ(GetParam().channels, probe.streams[0].channels);
    EXPECT_EQ(100000, probe.streams[0].decoded_samples); // the information frame trims

    audio_track_file track(path, nullptr, false);
    std::vector<double> left;
    while (audio_data_timed_ptr block = track.read(100.0)) {
        const std::vector<double> part = channel_samples(*block->data, 0);
        left.insert(left.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(carries_tone(left, 44100, 440.0, 880.0));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, LameFiles,
    ::testing::Values(decoded_case{"StereoConstantRate", 2, 128},
                      decoded_case{"MonoConstantRate", 1, 128},
                      decoded_case{"StereoVariableRate", 2, 0}),
    [](const ::testing::TestParamInfo<decoded_case>& info) { return std::string(info.param.name); });

TEST(LameEncoderQueue, NeedsMoreThanOneSecondWhileSoundFlows) {
    const audio_format_ptr format = s16(2);
    audio_encoder_queue_ptr queue = create_lame_audio_encoder(format.get());
    queue->send(make_audio(*format, 44100, sine_tone(44100, 440.0)).get());
    EXPECT_FALSE(queue->get_packet());
    queue->send(make_audio(*format, 1, sine_tone(44100, 440.0)).get());
    EXPECT_TRUE(queue->get_packet());
    EXPECT_FALSE(queue->get_packet());
    EXPECT_EQ(nullptr, queue->codec_context());
}

// The text frames hold the UTF-16 text after its byte-order mark; without
// texts the tag is still made, without them.
TEST(LameEncoderQueue, ArtistAndTitleGoIntoTheID3v2Tag) {
    const audio_format_ptr format = s16(2);
    const std::string named =
        tag(*create_lame_audio_encoder(format.get(), "Ärt", "Tï", 0)->get_properties(), "ID3V2TAG");
    const std::string artist_utf16("\xFF\xFE\xC4\0r\0t\0", 8);
    const std::string title_utf16("\xFF\xFET\0\xEF\0", 6);
    EXPECT_EQ(0u, named.find("ID3"));
    EXPECT_NE(std::string::npos, named.find("TPE1"));
    EXPECT_NE(std::string::npos, named.find(artist_utf16));
    EXPECT_NE(std::string::npos, named.find("TIT2"));
    EXPECT_NE(std::string::npos, named.find(title_utf16));

    const std::string plain =
        tag(*create_lame_audio_encoder(format.get())->get_properties(), "ID3V2TAG");
    EXPECT_EQ(0u, plain.find("ID3"));
    EXPECT_EQ(std::string::npos, plain.find("TPE1"));
    EXPECT_EQ(std::string::npos, plain.find("TIT2"));
}

// Sending again after the flush goes on with the same LAME; a second end
// of input adds a second pair of end tags.
TEST(LameEncoderQueue, EncodesOnAfterAFlush) {
    const audio_format_ptr format = s16(1);
    audio_encoder_queue_ptr queue = create_lame_audio_encoder(format.get());
    for (int round = 0; round < 2; ++round) {
        queue->send(make_audio(*format, 5000, sine_tone(44100, 440.0)).get());
        queue->flush();
        EXPECT_EQ(2u, drain(*queue).size()) << round;
    }
    EXPECT_EQ((std::vector<std::string>{"ID3V2TAG", "ID3V1TAG", "LAMETAG", "ID3V1TAG", "LAMETAG"}),
              tag_names(*queue->get_properties()));
}

TEST(LameEncoderQueue, RefusesFormatsLameCannotRead) {
    EXPECT_THROW(create_lame_audio_encoder(nullptr), errors::invalid_pointer);
    for (int sample_format : {sample_format_u8, sample_format_flt, sample_format_s16p})
        EXPECT_THROW(create_lame_audio_encoder(
                         audio_format::create(44100, sample_format, 2, 3).get()),
                     errors::invalid_argument)
            << sample_format;
    EXPECT_THROW(create_lame_audio_encoder(s16(0).get()), audio_buffer::invalid_format);
    EXPECT_THROW(create_lame_audio_encoder(s16(3).get()), errors::invalid_operation);
    for (int rate : {0, -44100})
        EXPECT_THROW(create_lame_audio_encoder(s16(2, rate).get()), errors::invalid_operation)
            << rate;

    audio_encoder_queue_ptr stereo = create_lame_audio_encoder(s16(2).get());
    EXPECT_THROW(stereo->send(make_audio(*s16(1), 100, sine_tone(44100, 440.0)).get()),
                 audio_buffer::invalid_format);
}
