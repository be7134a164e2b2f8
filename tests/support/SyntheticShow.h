#pragma once
// A show made in the test: solid-colour pictures of a known colour each
// (packed RGB24) for a given time, and a tone (AudioSignals' sine_tone) in
// a given sound format. What the player does to it is recorded: seeks,
// advances and the start of every picture handed out. Pictures may be read
// ahead on a thread of their own, as the slideshow does in buffered mode.
// Recording and seeking belong to the thread that reads pictures; the sound
// may be read on another.

#include "media/DTAudioFormat.h"
#include "sources/DTAVSource.h"
#include "support/AudioSignals.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kestrel {
namespace test {

struct rgb_colour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    bool operator==(const rgb_colour& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

// Neighbouring pictures differ in every channel.
rgb_colour picture_colour(int index);

struct show_spec {
    int width = 64;
    int height = 36;
    double picture_ms = 40.0;
    double duration_ms = 2000.0; // of the pictures and of the sound
    bool pictures = true;
    bool sound = true;
    bool read_ahead = false;
    double tone_hz = 440.0;
    // Null: 44100 Hz interleaved float stereo.
    audio_format_ptr sound_format;
};

class synthetic_show : public av_source::Impl {
public:
    explicit synthetic_show(const show_spec& spec);
    ~synthetic_show() override;

    video_source* video() override;
    audio_source* audio() override;
    double seek(double t) override;
    void apply_settings(media_settings_ptr) override {}

    const show_spec& spec() const { return spec_; }
    const audio_signal& tone() const { return tone_; }
    const std::vector<double>& seeks() const { return seeks_; }
    const std::vector<double>& advances() const;
    // Start times of the pictures handed out, in order.
    const std::vector<double>& pictures_read() const;
    // Called with the start of every picture handed out, as it goes.
    void on_picture_read(std::function<void(double start)> observer);

private:
    struct parts;
    show_spec spec_;
    audio_signal tone_;
    std::vector<double> seeks_;
    std::unique_ptr<parts> parts_;
};

// `show` (optional) receives the implementation, which the source owns.
av_source_ptr make_synthetic_show(const show_spec& spec, synthetic_show** show = nullptr);

} // namespace test
} // namespace kestrel
