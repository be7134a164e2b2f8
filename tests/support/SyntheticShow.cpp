#include "support/SyntheticShow.h"

#include "ffmpeg/DTFFPicture.h"
#include "sources/DTMediaSource.h"
#include "sources/DTVideoSourceBuffered.h"
#include "support/AudioSignalTrack.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestrel {
namespace test {

namespace {

video_data_ptr solid_picture(int width, int height, rgb_colour colour) {
    AVFramePtr frame = dt_create_picture(dt_pixel_format_rgb24, width, height);
    uint8_t* first_row = frame->data[0];
    for (int x = 0; x < width; ++x) {
        first_row[3 * x] = colour.red;
        first_row[3 * x + 1] = colour.green;
        first_row[3 * x + 2] = colour.blue;
    }
    for (int y = 1; y < height; ++y)
        std::memcpy(first_row + y * frame->linesize[0], first_row, 3 * width);
    return boost::make_shared<ff_video_data>(frame, width, height, dt_pixel_format_rgb24);
}

// Picture i covers [i x picture_ms, (i + 1) x picture_ms).
class colour_pictures : public video_source {
public:
    explicit colour_pictures(const show_spec& spec) : spec_(spec) {}

    double duration() const override { return spec_.duration_ms; }
    double position() const override { return position_; }
    double advance(double dt) override { return seek(position_ + dt); }
    bool enabled() const override { return true; }
    void set_enabled(bool) override {}
    video_data_timed_ptr read() override {
        if (position_ >= spec_.duration_ms)
            return video_data_timed_ptr();
        const int index = static_cast<int>(std::floor(position_ / spec_.picture_ms));
        const double start = index * spec_.picture_ms;
        position_ = start + spec_.picture_ms;
        return boost::make_shared<video_data_timed>(
            solid_picture(spec_.width, spec_.height, picture_colour(index)), spec_.picture_ms,
            start);
    }
    video_format_ptr format() const override {
        return video_format::create(spec_.width, spec_.height, dt_pixel_format_rgb24);
    }
    double frame_rate() const override { return 1000.0 / spec_.picture_ms; }

    double seek(double t) {
        position_ = std::max(0.0, std::min(t, spec_.duration_ms));
        return position_;
    }

private:
    show_spec spec_;
    double position_ = 0.0;
};

// Passes everything on and notes what the player asked for.
class recording_pictures : public video_source {
public:
    explicit recording_pictures(video_source* inner) : inner_(inner) {}

    double duration() const override { return inner_->duration(); }
    double position() const override { return inner_->position(); }
    double advance(double dt) override {
        advances_.push_back(dt);
        return inner_->advance(dt);
    }
    bool enabled() const override { return inner_->enabled(); }
    void set_enabled(bool enabled) override { inner_->set_enabled(enabled); }
    video_data_timed_ptr read() override {
        video_data_timed_ptr picture = inner_->read();
        if (picture) {
            read_.push_back(picture->start);
            if (observer_)
                observer_(picture->start);
        }
        return picture;
    }
    video_format_ptr format() const override { return inner_->format(); }
    double frame_rate() const override { return inner_->frame_rate(); }

    std::vector<double> advances_;
    std::vector<double> read_;
    std::function<void(double)> observer_;

private:
    video_source* inner_;
};

} // namespace

rgb_colour picture_colour(int index) {
    return rgb_colour{static_cast<uint8_t>(40 + (index * 67) % 200),
                      static_cast<uint8_t>(30 + (index * 101) % 210),
                      static_cast<uint8_t>(20 + (index * 37) % 220)};
}

struct synthetic_show::parts {
    explicit parts(const show_spec& spec, const audio_signal& tone)
        : pictures(spec),
          buffered(spec.read_ahead ? new video_source_buffered(&pictures) : nullptr),
          recording(buffered ? static_cast<video_source*>(buffered.get())
                             : static_cast<video_source*>(&pictures)),
          track(spec.sound_format ? *spec.sound_format
                                  : *audio_format::create(44100, sample_format_flt, 2, 3),
                tone, spec.duration_ms),
          sound(&track) {}

    colour_pictures pictures;
    std::unique_ptr<video_source_buffered> buffered;
    recording_pictures recording;
    signal_track track;
    audio_source_from_track sound;
};

synthetic_show::synthetic_show(const show_spec& spec)
    : spec_(spec),
      tone_(sine_tone(spec.sound_format ? spec.sound_format->sample_rate() : 44100, spec.tone_hz)),
      parts_(new parts(spec, tone_)) {
    if (parts_->buffered)
        parts_->buffered->start();
}

synthetic_show::~synthetic_show() = default;

video_source* synthetic_show::video() { return spec_.pictures ? &parts_->recording : nullptr; }

audio_source* synthetic_show::audio() { return spec_.sound ? &parts_->sound : nullptr; }

double synthetic_show::seek(double t) {
    seeks_.push_back(t);
    if (parts_->buffered)
        parts_->buffered->stop();
    parts_->pictures.seek(t);
    if (parts_->buffered)
        parts_->buffered->start();
    return parts_->track.seek(t);
}

const std::vector<double>& synthetic_show::advances() const { return parts_->recording.advances_; }

const std::vector<double>& synthetic_show::pictures_read() const { return parts_->recording.read_; }

void synthetic_show::on_picture_read(std::function<void(double start)> observer) {
    parts_->recording.observer_ = std::move(observer);
}

av_source_ptr make_synthetic_show(const show_spec& spec, synthetic_show** show) {
    synthetic_show* impl = new synthetic_show(spec);
    if (show)
        *show = impl;
    return boost::make_shared<av_source>(impl);
}

} // namespace test
} // namespace kestrel
