#include "media/DTAudioData.h"

#include "media/DTDecoderInfo.h"

#include <boost/make_shared.hpp>

#include <climits>
#include <cmath>
#include <cstring>

namespace kestrel {

audio_data::Impl::~Impl() = default;

audio_data::~audio_data() = default;

uint8_t* audio_data::Impl::at(int frame, int channel) const {
    const int bytes_per_sample = bits_per_sample() / 8;
    return data() + frame * frame_size() + channel * bytes_per_sample;
}

uint8_t* alloc_sample_bytes(std::size_t count) { return new uint8_t[count]; }

void free_sample_bytes(uint8_t* bytes) { delete[] bytes; }

audio_data_common_impl::~audio_data_common_impl() { release(); }

void audio_data_common_impl::release() {
    if (owns_)
        free_sample_bytes(data_);
    data_ = nullptr;
    owns_ = false;
}

void audio_data_common_impl::count_samples(unsigned int bytes) {
    // A format without bytes per frame holds no whole frames.
    samples_ = bytes_per_frame_ ? bytes / bytes_per_frame_ : 0;
}

void audio_data_common_impl::set_data(uint8_t* bytes, unsigned int size, dt_own_buffer_t mode) {
    switch (mode) {
    case dt_buffer_copy: {
        uint8_t* storage = alloc_sample_bytes(size);
        if (bytes && size)
            std::memcpy(storage, bytes, size);
        release();
        data_ = storage;
        capacity_ = size_ = size;
        owns_ = true;
        count_samples(size_);
        break;
    }
    case dt_buffer_borrow:
    case dt_buffer_adopt:
        release();
        data_ = bytes;
        capacity_ = size_ = size;
        owns_ = mode == dt_buffer_adopt;
        count_samples(size_);
        break;
    default:
        count_samples(capacity_);
        break;
    }
}

void audio_data_common_impl::set_format(int sample_rate, int channels, int sample_format,
                                        unsigned int bytes_per_frame, uint64_t channel_layout) {
    sample_rate_ = sample_rate;
    channels_ = channels;
    sample_format_ = sample_format;
    bits_per_sample_ = sample_format_bits(sample_format);
    bytes_per_frame_ = bytes_per_frame;
    channel_layout_ = channel_layout;
    count_samples(size_);
}

void audio_data_common_impl::reserve(unsigned int bytes) {
    if (capacity_ >= bytes)
        return;
    uint8_t* storage = alloc_sample_bytes(bytes);
    if (data_ && size_)
        std::memcpy(storage, data_, size_);
    release();
    data_ = storage;
    capacity_ = bytes;
    owns_ = true;
}

audio_data_common::audio_data_common() : audio_data(new audio_data_common_impl()) {}

audio_data_common::audio_data_common(const audio_format& format, uint8_t* bytes,
                                     unsigned int size, dt_own_buffer_t mode) {
    auto* impl = new audio_data_common_impl();
    reset_impl(impl);
    impl->set_format(format.sample_rate(), format.channels(), format.sample_format(),
                     format.bytes_per_frame(), format.channel_layout());
    impl->set_data(bytes, size, mode);
}

audio_data_common::audio_data_common(const audio_decoder_info& info) {
    auto* impl = new audio_data_common_impl();
    reset_impl(impl);
    impl->set_format(info.sample_rate(), info.channels(), info.sample_format(),
                     static_cast<unsigned int>(info.block_align()), info.channel_layout());
}

audio_data_common::~audio_data_common() = default;

namespace {
// The bytes of `frames` frames; errors::invalid_argument when a block could
// not count them.
unsigned int block_bytes(const audio_format& format, double frames) {
    const double bytes = frames * format.bytes_per_frame();
    if (!(bytes <= static_cast<double>(UINT_MAX)))
        KESTREL_THROW(errors::invalid_argument());
    return static_cast<unsigned int>(bytes);
}
} // namespace

void alloc_audio_for_duration(const audio_format& format, double milliseconds, uint8_t*& bytes,
                              unsigned int& size, int& frames) {
    // Negative and NaN lengths hold nothing.
    const double wanted = std::trunc(milliseconds / 1000.0 * format.sample_rate());
    const double counted = wanted > 0.0 ? wanted : 0.0;
    size = block_bytes(format, counted);
    if (counted > INT_MAX)
        KESTREL_THROW(errors::invalid_argument());
    frames = static_cast<int>(counted);
    bytes = alloc_sample_bytes(size);
}

audio_data_ptr adopt_sample_bytes(const audio_format& format, uint8_t* bytes, unsigned int size) {
    try {
        return boost::make_shared<audio_data_common>(format, bytes, size, dt_buffer_adopt);
    } catch (...) {
        free_sample_bytes(bytes);
        throw;
    }
}

namespace {
audio_data_ptr silence_in(const audio_format& format, uint8_t* bytes, unsigned int size) {
    // Unsigned 8-bit samples are silent at their middle value, packed or planar.
    const int sample_format = format.sample_format();
    const int zero = sample_format == sample_format_u8 || sample_format == sample_format_u8p ? 0x80 : 0;
    std::memset(bytes, zero, size);
    return adopt_sample_bytes(format, bytes, size);
}
} // namespace

audio_data_ptr create_silence(const audio_format& format, double milliseconds) {
    uint8_t* bytes;
    unsigned int size;
    int frames;
    alloc_audio_for_duration(format, milliseconds, bytes, size, frames);
    return silence_in(format, bytes, size);
}

audio_data_ptr create_silence_frames(const audio_format& format, unsigned int frames) {
    const unsigned int size = block_bytes(format, frames);
    return silence_in(format, alloc_sample_bytes(size), size);
}

audio_data_ptr create_audio_for_duration(const audio_format& format, double milliseconds) {
    uint8_t* bytes;
    unsigned int size;
    int frames;
    alloc_audio_for_duration(format, milliseconds, bytes, size, frames);
    return adopt_sample_bytes(format, bytes, size);
}

} // namespace kestrel
