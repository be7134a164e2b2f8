#pragma once
// A track that plays a test signal for a given time, so that what comes out
// of wrappers (proxy, fade-out, sources) can be compared sample by sample.

#include "audio/DTAudioTrack.h"
#include "support/AudioSignals.h"

namespace kestrel {
namespace test {

class signal_track : public audio_track {
public:
    signal_track(const audio_format& format, const audio_signal& signal, double duration_ms);

    double duration() const override { return duration_; }
    double position() const override;
    double advance(double dt) override;
    double seek(double t) override;
    // round(duration x rate) frames, fewer at the end.
    audio_data_timed_ptr read(double duration) override;
    audio_format_ptr format() const override { return format_; }

    unsigned int reads() const { return reads_; }

private:
    long long frame_at(double t) const;

    audio_format_ptr format_;
    audio_signal signal_;
    double duration_;
    long long frame_ = 0;
    unsigned int reads_ = 0;
};

} // namespace test
} // namespace kestrel
