#include "encoders/DTAudioEncoderQueue.h"
#include "encoders/DTVideoEncoderQueue.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <string>
#include <vector>

using namespace kestrel;

namespace {

// What the fake encoders saw, for the tests to read back.
struct recorded_calls {
    std::vector<const void*> sent;
    media_settings_ptr settings;
    int creator = 0;
};
recorded_calls calls;

class fake_video_encoder : public video_encoder_queue::Impl {
public:
    explicit fake_video_encoder(media_settings_ptr settings) { calls.settings = settings; }
    void open() override {}
    void send(const video_data* picture) override { calls.sent.push_back(picture); }
    media_packet_ptr get_packet() override { return media_packet_ptr(); }
};

class fake_audio_encoder : public audio_encoder_queue::Impl {
public:
    explicit fake_audio_encoder(media_settings_ptr settings) { calls.settings = settings; }
    void open() override {}
    void send(const audio_data* block) override { calls.sent.push_back(block); }
    void send_timed(const audio_data_timed* block) override {
        send(block ? block->data.get() : nullptr);
    }
    media_packet_ptr get_packet() override { return media_packet_ptr(); }
    codec_extra_data_ptr get_properties() override { return codec_extra_data_ptr(); }
};

video_encoder_queue::Impl* make_fake_video(media_settings_ptr settings) {
    calls.creator = 1;
    return new fake_video_encoder(settings);
}
video_encoder_queue::Impl* make_other_video(media_settings_ptr settings) {
    calls.creator = 2;
    return new fake_video_encoder(settings);
}
audio_encoder_queue::Impl* make_fake_audio(media_settings_ptr settings) {
    return new fake_audio_encoder(settings);
}
video_encoder_queue::Impl* make_nothing(media_settings_ptr) { return nullptr; }

unsigned int fake_video_registrations = 0;
const encoder_registration<video_encoder_factory> fake_video(fake_video_registrations, "fake",
                                                             make_fake_video);
// The same registration standing in a second place changes nothing.
const encoder_registration<video_encoder_factory> fake_video_again(fake_video_registrations, "fake",
                                                                   make_other_video);
unsigned int fake_audio_registrations = 0;
const encoder_registration<audio_encoder_factory> fake_audio(fake_audio_registrations, "fake",
                                                             make_fake_audio);

class solid_picture : public video_data {
public:
    solid_picture() : video_data(nullptr) {}
};

} // namespace

TEST(EncoderQueue, FamilyNamesPickTheRegisteredEncoder) {
    calls = recorded_calls();
    EXPECT_TRUE(video_encoder_queue_creator::create("kestrel/fake", media_settings::create()));
    EXPECT_EQ(1, calls.creator);
    EXPECT_TRUE(video_encoder_queue_creator::create(std::string("kestrel/fake/more/parts"),
                                                    media_settings::create()));
    EXPECT_TRUE(video_encoder_queue_creator::create(
        media_settings::create("video_encoder", "kestrel/fake")));
    EXPECT_TRUE(video_encoder_queue_creator::create("kestrel/fake"));
    EXPECT_FALSE(calls.settings);
}

TEST(EncoderQueue, UnknownShortNamesGiveNoEncoder) {
    EXPECT_FALSE(video_encoder_queue_creator::create("kestrel/unknown", media_settings::create()));
    EXPECT_FALSE(video_encoder_queue_creator::create("kestrel/", media_settings::create()));
    EXPECT_FALSE(video_encoder_queue_creator::create("kestrel//fake", media_settings::create()));
    EXPECT_FALSE(
        audio_encoder_queue_creator::create("kestrel/ppm", nullptr, media_settings::create()));
}

TEST(EncoderQueue, NamesOutsideTheFamilyAreRefused) {
    for (const char* name : {"kestrel", "ffmpeg", "", "ffmpeg/fake", "Kestrel/fake", "/fake"}) {
        EXPECT_THROW(video_encoder_queue_creator::create(name, media_settings::create()),
                     errors::invalid_operation)
            << name;
        EXPECT_THROW(audio_encoder_queue_creator::create(name, nullptr, media_settings::create()),
                     errors::invalid_operation)
            << name;
    }
    try {
        video_encoder_queue_creator::create("kestrel", media_settings::create());
    } catch (const errors::dt_error& e) {
        EXPECT_STREQ("invalid operation", e.what());
    }
}

TEST(EncoderQueue, FirstRegistrationOfANameStays) {
    EXPECT_FALSE(video_encoder_factory::register_encoder("fake", make_other_video));
    EXPECT_EQ(2u, fake_video_registrations);
    calls = recorded_calls();
    video_encoder_queue_creator::create("kestrel/fake", media_settings::create());
    EXPECT_EQ(1, calls.creator);
}

TEST(EncoderQueue, CreatorThatMakesNothingGivesNoEncoder) {
    video_encoder_factory::register_encoder("nothing", make_nothing);
    EXPECT_FALSE(video_encoder_queue_creator::create("kestrel/nothing", media_settings::create()));
}

TEST(EncoderQueue, VideoEncoderSharesTheCallersSettings) {
    const media_settings_ptr settings = media_settings::create("width", 64);
    calls = recorded_calls();
    video_encoder_queue_creator::create("kestrel/fake", settings);
    EXPECT_EQ(settings, calls.settings);
}

TEST(EncoderQueue, AudioEncoderSeesTheInputFormatInACopy) {
    const media_settings_ptr settings = media_settings::create("audio-sample-rate", 22050);
    settings->set("audio-codec", "mp2");
    const audio_format_ptr input = audio_format::create(44100, sample_format_s16, 2, 3);
    calls = recorded_calls();
    ASSERT_TRUE(audio_encoder_queue_creator::create("kestrel/fake", input.get(), settings));
    ASSERT_TRUE(calls.settings);
    EXPECT_NE(settings, calls.settings);
    EXPECT_EQ("44100", calls.settings->get("audio-sample-rate"));
    EXPECT_EQ("S16", calls.settings->get("audio-sample-format"));
    EXPECT_EQ("2", calls.settings->get("audio-channels-count"));
    EXPECT_EQ("3", calls.settings->get("audio-channel-layout"));
    EXPECT_EQ("mp2", calls.settings->get("audio-codec"));
    EXPECT_EQ("22050", settings->get("audio-sample-rate"));
    EXPECT_FALSE(settings->contains("audio-channels-count"));
}

TEST(EncoderQueue, AudioFlushSendsANullBlock) {
    const audio_format_ptr input = audio_format::create(44100, sample_format_s16, 2, 3);
    audio_encoder_queue_ptr queue =
        audio_encoder_queue_creator::create("kestrel/fake", input.get(), media_settings::create());
    calls = recorded_calls();
    queue->flush();
    ASSERT_EQ(1u, calls.sent.size());
    EXPECT_EQ(nullptr, calls.sent[0]);
    EXPECT_EQ(nullptr, queue->codec_context());
}

TEST(EncoderQueue, VideoDefaultsSendThePictureAndHaveNoContext) {
    video_encoder_queue_ptr queue =
        video_encoder_queue_creator::create("kestrel/fake", media_settings::create());
    calls = recorded_calls();
    queue->send_timed(video_data_timed_ptr());
    EXPECT_TRUE(calls.sent.empty());

    const boost::shared_ptr<video_data> picture = boost::make_shared<solid_picture>();
    const video_data_timed_ptr frame = boost::make_shared<video_data_timed>(picture, 40.0, 80.0);
    queue->send_timed(frame);
    ASSERT_EQ(1u, calls.sent.size());
    EXPECT_EQ(picture.get(), calls.sent[0]);
    EXPECT_EQ(nullptr, queue->codec_context());
    EXPECT_FALSE(queue->get_packet());
}

TEST(EncoderQueue, ErrorTextsCarryThePrefix) {
    EXPECT_STREQ("video encoder: encode video", video_encoder_queue::error("encode video").what());
    EXPECT_STREQ("audio encoder: open codec error",
                 audio_encoder_queue::error("open codec error").what());
    try {
        KESTREL_THROW(video_encoder_queue::error("invalid settings"));
    } catch (const errors::dt_error& e) {
        EXPECT_STREQ("video encoder: invalid settings", e.what());
    }
}
