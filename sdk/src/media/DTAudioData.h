#pragma once
// One block of samples in one audio format. Interleaved blocks hold frame
// after frame; planar blocks hold the channels one after another, channel c
// starting at c * size / channels.

#include "base/DTBase.h"
#include "base/DTTypes.h"
#include "media/DTAudioFormat.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>

namespace kestrel {

class audio_data;
typedef boost::shared_ptr<audio_data> audio_data_ptr;

class audio_data : public facade<audio_data> {
public:
    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual uint8_t* data() const = 0;
        // The sample of channel `channel` in frame `frame`.
        virtual uint8_t* at(int frame, int channel) const;
        virtual unsigned int size() const = 0;
        virtual int frame_size() const = 0;
        virtual unsigned int samples() const = 0;
        virtual int sample_format() const = 0;
        virtual uint64_t channel_layout() const = 0;
        virtual int channels() const = 0;
        virtual int bits_per_sample() const = 0;
        virtual uint8_t* lock() = 0;
        virtual void unlock() = 0;
    };

    virtual ~audio_data() = 0;

    uint8_t* data() const { return impl()->data(); }
    uint8_t* at(int frame, int channel) const { return impl()->at(frame, channel); }
    unsigned int size() const { return impl()->size(); }
    int frame_size() const { return impl()->frame_size(); }
    unsigned int samples() const { return impl()->samples(); }
    int sample_format() const { return impl()->sample_format(); }
    uint64_t channel_layout() const { return impl()->channel_layout(); }
    int channels() const { return impl()->channels(); }
    int bits_per_sample() const { return impl()->bits_per_sample(); }
    uint8_t* lock() { return impl()->lock(); }
    void unlock() { impl()->unlock(); }

protected:
    audio_data() : facade(nullptr) {}
    explicit audio_data(Impl* impl) : facade(impl) {}
};

// Sample storage that blocks adopt is made and freed by these two.
uint8_t* alloc_sample_bytes(std::size_t count);
void free_sample_bytes(uint8_t* bytes);

class audio_data_common_impl : public audio_data::Impl {
public:
    audio_data_common_impl() = default;
    ~audio_data_common_impl() override;

    uint8_t* data() const override { return data_; }
    unsigned int size() const override { return size_; }
    int frame_size() const override { return bits_per_sample_ / 8 * channels_; }
    unsigned int samples() const override { return samples_; }
    int sample_format() const override { return sample_format_; }
    uint64_t channel_layout() const override { return channel_layout_; }
    int channels() const override { return channels_; }
    int bits_per_sample() const override { return bits_per_sample_; }
    uint8_t* lock() override { return data_; }
    void unlock() override {}

    // Borrow, adopt or copy the bytes; any other mode changes nothing.
    void set_data(uint8_t* bytes, unsigned int size, dt_own_buffer_t mode);
    void set_format(int sample_rate, int channels, int sample_format, unsigned int bytes_per_frame,
                    uint64_t channel_layout);
    void reserve(unsigned int bytes);

private:
    void release();
    void count_samples(unsigned int bytes);

    uint8_t* data_ = nullptr;
    unsigned int capacity_ = 0;
    unsigned int size_ = 0;
    bool owns_ = false;
    unsigned int samples_ = 0;
    int sample_format_ = -1;
    uint64_t channel_layout_ = 0;
    int channels_ = 0;
    int bits_per_sample_ = 0;
    int sample_rate_ = 0;
    unsigned int bytes_per_frame_ = 0;
};

class audio_data_common : public audio_data {
public:
    audio_data_common();
    audio_data_common(const audio_format& format, uint8_t* bytes, unsigned int size,
                      dt_own_buffer_t mode);
    explicit audio_data_common(const audio_decoder_info& info);
    ~audio_data_common() override;
};

// A block that adopts bytes from alloc_sample_bytes; they are freed also
// when making the block fails.
audio_data_ptr adopt_sample_bytes(const audio_format& format, uint8_t* bytes, unsigned int size);

// Frames for a duration: ms / 1000 * rate, truncated toward zero (none for
// a negative or NaN length). These and create_silence_frames throw
// errors::invalid_argument for more bytes than a block can count.
void alloc_audio_for_duration(const audio_format& format, double milliseconds, uint8_t*& bytes,
                              unsigned int& size, int& frames);
// Silence: 0x80 for unsigned 8-bit samples, zero bytes otherwise.
audio_data_ptr create_silence(const audio_format& format, double milliseconds);
audio_data_ptr create_silence_frames(const audio_format& format, unsigned int frames);
audio_data_ptr create_audio_for_duration(const audio_format& format, double milliseconds);

} // namespace kestrel
