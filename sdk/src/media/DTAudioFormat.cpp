#include "media/DTAudioFormat.h"

#include "media/DTDecoderInfo.h"

#include <boost/make_shared.hpp>

#include <cstring>

namespace kestrel {

namespace {
const char* const sample_format_names[] = {"U8",  "S16",  "S32",  "FLT",  "DBL",
                                           "U8P", "S16P", "S32P", "FLTP", "DBLP"};
const int sample_format_bit_table[] = {8, 16, 32, 32, 64, 8, 16, 32, 32, 64};
const int sample_format_count = 10;

bool known(int sample_format) {
    return static_cast<unsigned int>(sample_format) < static_cast<unsigned int>(sample_format_count);
}
} // namespace

int sample_format_bits(int sample_format) {
    return known(sample_format) ? sample_format_bit_table[sample_format] : -1;
}

bool sample_format_is_planar(int sample_format) {
    return sample_format >= sample_format_u8p && sample_format <= sample_format_dblp;
}

std::string sample_format_name(int sample_format) {
    return known(sample_format) ? sample_format_names[sample_format] : std::string();
}

int sample_format_from_name(const char* name) {
    if (!name)
        return -1;
    for (int i = 0; i < sample_format_count; ++i)
        if (std::strcmp(name, sample_format_names[i]) == 0)
            return i;
    return -1;
}

int sample_format_from_name(const std::string& name) { return sample_format_from_name(name.c_str()); }

audio_format_ptr audio_format::create(int sample_rate, int sample_format, int channels,
                                      uint64_t channel_layout) {
    return boost::make_shared<audio_format>(
        new Impl(sample_format, channel_layout, channels, sample_rate));
}

audio_format_ptr audio_format::create(int sample_rate, int sample_format, int channels) {
    return create(sample_rate, sample_format, channels, 0);
}

audio_format_ptr audio_format::create(const audio_decoder_info& info) {
    return create(info.sample_rate(), info.sample_format(), info.channels(), info.channel_layout());
}

audio_format_ptr audio_format::copy(const audio_format& other) {
    return create(other.sample_rate(), other.sample_format(), other.channels(),
                  other.channel_layout());
}

int audio_format::bits_per_sample() const { return sample_format_bits(sample_format()); }

unsigned int audio_format::bytes_per_frame() const {
    if (!known(sample_format()) || channels() <= 0)
        return 0;
    return static_cast<unsigned int>(bits_per_sample() / 8 * channels());
}

unsigned int audio_format::bytes_for_samples(unsigned int frames) const {
    return static_cast<unsigned int>(bits_per_sample()) * frames / 8u *
           static_cast<unsigned int>(channels());
}

bool audio_format::operator==(const audio_format& other) const {
    return sample_rate() == other.sample_rate() && sample_format() == other.sample_format() &&
           channels() == other.channels() && channel_layout() == other.channel_layout();
}

media_settings_ptr audio_format_to_media_settings(const audio_format* format) {
    media_settings_ptr settings = media_settings::create();
    if (!format)
        return settings;
    settings->set("audio-sample-rate", format->sample_rate())
        ->set("audio-sample-format", sample_format_name(format->sample_format()))
        ->set("audio-channels-count", format->channels())
        ->set("audio-channel-layout", static_cast<long long>(format->channel_layout()));
    return settings;
}

audio_format_ptr media_settings_to_audio_format(media_settings_ptr settings) {
    const media_settings_ptr copy = media_settings::clone(settings);
    const uint64_t layout =
        static_cast<uint64_t>(copy->get<long long>("audio-channel-layout", 0LL));
    const int channels = copy->get<int>("audio-channels-count");
    const int sample_format = sample_format_from_name(copy->get("audio-sample-format"));
    const int sample_rate = copy->get<int>("audio-sample-rate");
    return audio_format::create(sample_rate, sample_format, channels, layout);
}

} // namespace kestrel
