#include "support/AudioSignals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace kestrel {
namespace test {

namespace {

const double pi = 3.14159265358979323846;

template <class T>
T clamp_round(double value, double scale) {
    const double scaled = std::nearbyint(value * scale);
    const double low = static_cast<double>(std::numeric_limits<T>::min());
    const double high = static_cast<double>(std::numeric_limits<T>::max());
    return static_cast<T>(std::min(high, std::max(low, scaled)));
}

void write_sample(uint8_t* at, int sample_format, double value) {
    switch (sample_format % 5) {
    case sample_format_u8: {
        const uint8_t v = static_cast<uint8_t>(clamp_round<int8_t>(value, 128.0) + 128);
        std::memcpy(at, &v, 1);
        break;
    }
    case sample_format_s16: {
        const int16_t v = clamp_round<int16_t>(value, 32768.0);
        std::memcpy(at, &v, sizeof v);
        break;
    }
    case sample_format_s32: {
        const int32_t v = clamp_round<int32_t>(value, 2147483648.0);
        std::memcpy(at, &v, sizeof v);
        break;
    }
    case sample_format_flt: {
        const float v = static_cast<float>(value);
        std::memcpy(at, &v, sizeof v);
        break;
    }
    default: {
        std::memcpy(at, &value, sizeof value);
        break;
    }
    }
}

double read_sample(const uint8_t* at, int sample_format) {
    switch (sample_format % 5) {
    case sample_format_u8:
        return (static_cast<int>(*at) - 128) / 128.0;
    case sample_format_s16: {
        int16_t v;
        std::memcpy(&v, at, sizeof v);
        return v / 32768.0;
    }
    case sample_format_s32: {
        int32_t v;
        std::memcpy(&v, at, sizeof v);
        return v / 2147483648.0;
    }
    case sample_format_flt: {
        float v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    default: {
        double v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    }
}

// Where one sample lies in a block of `frames` frames.
std::size_t sample_offset(int sample_format, int channels, unsigned int frames,
                          unsigned int frame, int channel) {
    const std::size_t bytes = static_cast<std::size_t>(sample_format_bits(sample_format) / 8);
    if (sample_format_is_planar(sample_format))
        return (static_cast<std::size_t>(channel) * frames + frame) * bytes;
    return (static_cast<std::size_t>(frame) * channels + channel) * bytes;
}

} // namespace

audio_data_ptr make_audio(const audio_format& format, unsigned int frames,
                          const audio_signal& signal, unsigned int first_frame) {
    if (format.bytes_per_frame() == 0)
        throw std::invalid_argument("make_audio: a format without whole frames");
    const unsigned int size = frames * format.bytes_per_frame();
    uint8_t* bytes = alloc_sample_bytes(size);
    for (unsigned int frame = 0; frame < frames; ++frame)
        for (int channel = 0; channel < format.channels(); ++channel)
            write_sample(bytes + sample_offset(format.sample_format(), format.channels(), frames,
                                               frame, channel),
                         format.sample_format(), signal(first_frame + frame, channel));
    return adopt_sample_bytes(format, bytes, size);
}

audio_signal sine_tone(int sample_rate, double frequency, double amplitude) {
    return [=](unsigned int frame, int channel) {
        return amplitude * std::sin(2.0 * pi * frequency * (channel + 1) * frame / sample_rate);
    };
}

audio_signal channel_marker() {
    return [](unsigned int frame, int channel) {
        const double value = ((frame % 1023) + 1) / 2048.0;
        return channel == 0 ? value : -value / (1 << (channel - 1));
    };
}

double sample_at(const audio_data& block, unsigned int frame, int channel) {
    if (frame >= block.samples() || channel < 0 || channel >= block.channels())
        throw std::out_of_range("sample_at: no such sample");
    return read_sample(block.data() + sample_offset(block.sample_format(), block.channels(),
                                                    block.samples(), frame, channel),
                       block.sample_format());
}

std::vector<double> channel_samples(const audio_data& block, int channel) {
    std::vector<double> samples(block.samples());
    for (unsigned int frame = 0; frame < block.samples(); ++frame)
        samples[frame] = sample_at(block, frame, channel);
    return samples;
}

} // namespace test
} // namespace kestrel
