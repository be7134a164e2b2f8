#pragma once
// Audio filters: buffers that change the samples of every block pushed into
// them. Whatever the stream's format, a filter converts what is pushed to
// interleaved 32-bit float (full scale -1.0 to +1.0), processes it there,
// clips it to full scale and converts it back; pops hand out processed
// frames in the filter's own format. Parameters come in a settings map.

#include "media/DTAudioBuffer.h"
#include "media/DTAudioConvert.h"
#include "media/DTMediaSettings.h"

#include <boost/shared_ptr.hpp>

namespace kestrel {

class audio_filter;
typedef boost::shared_ptr<audio_filter> audio_filter_ptr;

class audio_filter : public audio_buffer {
public:
    class Impl : public audio_buffer::Impl {
    public:
        virtual void set_params(const media_settings* settings) = 0;
    };

    explicit audio_filter(Impl* impl) : audio_buffer(impl), filter_impl_(impl) {}

    void set_params(const media_settings* settings) { filter_impl_->set_params(settings); }
    void set_params(const media_settings_ptr& settings) { set_params(settings.get()); }

private:
    // The same object that the buffer base owns, seen as a filter.
    Impl* filter_impl_;
};

// The conversions around the processing, shared by every filter.
class audio_filter_float_impl : public audio_filter::Impl {
public:
    // Throws errors::invalid_pointer for a null format.
    explicit audio_filter_float_impl(const audio_format* format);

    void push_back(const audio_data* block) override;
    // Bytes that are already interleaved float of the filter's rate and
    // channels.
    void push(const uint8_t* bytes, unsigned int size) override;
    audio_data_ptr pop(unsigned int frames) override { return from_float_->pop(frames); }
    audio_format_ptr format() const override { return from_float_->format(); }
    unsigned int size() const override { return from_float_->size(); }

protected:
    // Changes interleaved float frames in place.
    virtual void process(float* samples, int channels, unsigned int frames) = 0;

    // y clipped to full scale; NaN stays NaN.
    static float clip(double y) {
        if (y > 1.0)
            return 1.0f;
        if (y < -1.0)
            return -1.0f;
        return static_cast<float>(y);
    }

    const audio_format& own_format() const { return *format_; }

private:
    void process_pushed();

    audio_convert_ptr to_float_;
    audio_convert_ptr from_float_;
    audio_format_ptr format_;
    audio_format_ptr float_format_;
};

} // namespace kestrel
