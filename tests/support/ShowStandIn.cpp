#include "support/ShowStandIn.h"

#include "audio/DTAudioTrackFadeOut.h"
#include "base/DTLog.h"
#include "base/DTNumberText.h"
#include "ffmpeg/DTFFPicture.h"
#include "sources/DTMediaSource.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

namespace kestrel {
namespace test {

struct show_stand_in::state {
    show_stand_in_options options;
    std::atomic<int> width{320};
    std::atomic<int> height{240};
    std::atomic<double> frame_rate{25.0};
    std::atomic<int> applied{0};
    std::atomic<int> read{0};
    mutable std::mutex mutex; // buffering, hook
    std::vector<bool> buffering;
    std::function<void(int)> hook;
};

namespace {

int even(int value) { return value % 2 ? value - 1 : value; }

// "4/3" or a plain number; false for a zero denominator.
bool parse_aspect(const std::string& text, double& aspect) {
    const std::string::size_type slash = text.find('/');
    if (slash == std::string::npos) {
        aspect = text::from_text<double>(text);
        return true;
    }
    const int w = text::from_text<int>(text.substr(0, slash));
    const int h = text::from_text<int>(text.substr(slash + 1));
    if (h == 0)
        return false;
    aspect = static_cast<double>(w) / h;
    return true;
}

class colour_source : public video_source {
public:
    explicit colour_source(show_stand_in::state& state) : state_(state) {}

    double duration() const override { return state_.options.duration_ms; }
    double position() const override { return position_; }
    double advance(double dt) override { return position_ = std::min(position_ + dt, duration()); }
    bool enabled() const override { return true; }
    void set_enabled(bool) override {}
    double frame_rate() const override { return state_.frame_rate; }
    video_format_ptr format() const override {
        return video_format::create(state_.width, state_.height, AV_PIX_FMT_RGB24);
    }

    void seek(double t) { position_ = t; }

    video_data_timed_ptr read() override {
        const double frame_ms = 1000.0 / state_.frame_rate;
        const double left = duration() - position_;
        if (left <= 1e-9)
            return video_data_timed_ptr();
        const double start = position_;
        const double length = std::min(frame_ms, left);
        position_ += length;
        const int index = state_.read++;
        video_data_timed_ptr frame = boost::make_shared<video_data_timed>(
            picture(show_stand_in::slide_colour(
                static_cast<int>(start / state_.options.slide_ms))),
            length, start);
        std::function<void(int)> hook;
        {
            std::lock_guard<std::mutex> lock(state_.mutex);
            hook = state_.hook;
        }
        if (hook)
            hook(index);
        return frame;
    }

private:
    video_data_ptr picture(const rgb& colour) const {
        const int width = state_.width;
        const int height = state_.height;
        AVFramePtr frame = dt_create_picture(AV_PIX_FMT_RGB24, width, height);
        uint8_t* first = frame->data[0];
        for (int x = 0; x < width; ++x) {
            first[3 * x] = colour.r;
            first[3 * x + 1] = colour.g;
            first[3 * x + 2] = colour.b;
        }
        for (int y = 1; y < height; ++y)
            std::memcpy(first + static_cast<std::ptrdiff_t>(y) * frame->linesize[0], first,
                        static_cast<size_t>(3 * width));
        return boost::make_shared<ff_video_data>(frame, width, height, AV_PIX_FMT_RGB24);
    }

    show_stand_in::state& state_;
    double position_ = 0.0;
};

class show_pair : public av_source::Impl {
public:
    explicit show_pair(const boost::shared_ptr<show_stand_in::state>& state)
        : state_(state), video_(*state) {
        const show_stand_in_options& options = state->options;
        if (options.music) {
            fade_.reset(new audio_track_fade_out(options.music.get()));
            fade_->set_params(options.duration_ms - options.fade_ms, options.fade_ms, 0.0);
            audio_.reset(new audio_source_from_track(fade_.get()));
        }
    }

    video_source* video() override { return &video_; }
    audio_source* audio() override { return audio_.get(); }
    double seek(double t) override {
        video_.seek(t);
        if (state_->options.music)
            state_->options.music->seek(t);
        return t;
    }
    void apply_settings(media_settings_ptr settings) override {
        ++state_->applied;
        if (settings->contains("video-frame-rate"))
            state_->frame_rate = settings->get<double>("video-frame-rate");
        double aspect = static_cast<double>(state_->width) / state_->height;
        if (settings->contains("frame-aspect") &&
            !parse_aspect(settings->get("frame-aspect"), aspect)) {
            log_line(logger::warning()) << "[show_stand_in] invalid aspect" << std::endl;
            return;
        }
        const int height = settings->contains("frame-height")
                               ? even(static_cast<int>(settings->get<double>("frame-height")))
                               : state_->height.load();
        state_->height = height;
        state_->width = even(static_cast<int>(height * aspect + 0.5));
    }

private:
    boost::shared_ptr<show_stand_in::state> state_;
    colour_source video_;
    std::unique_ptr<audio_track_fade_out> fade_;
    std::unique_ptr<audio_source> audio_;
};

} // namespace

show_stand_in::show_stand_in(const show_stand_in_options& options)
    : state_(boost::make_shared<state>()) {
    state_->options = options;
    source_ = boost::make_shared<av_source>(new show_pair(state_));
}

show_stand_in::~show_stand_in() = default;

boost::function<void(bool)> show_stand_in::buffering_switch() {
    const boost::shared_ptr<state> shared = state_;
    return [shared](bool on) {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->buffering.push_back(on);
    };
}

rgb show_stand_in::slide_colour(int slide) {
    static const rgb colours[] = {{200, 30, 30}, {30, 30, 200}, {30, 200, 30}, {230, 230, 230}};
    return colours[static_cast<unsigned int>(slide) % 4];
}

rgb show_stand_in::colour_at(double start_ms) const {
    return slide_colour(static_cast<int>(start_ms / state_->options.slide_ms));
}

double show_stand_in::luma_of(const rgb& colour) {
    return 16.0 + (65.481 * colour.r + 128.553 * colour.g + 24.966 * colour.b) / 255.0;
}

int show_stand_in::width() const { return state_->width; }
int show_stand_in::height() const { return state_->height; }
double show_stand_in::frame_rate() const { return state_->frame_rate; }
int show_stand_in::settings_applied() const { return state_->applied; }
int show_stand_in::pictures_read() const { return state_->read; }

std::vector<bool> show_stand_in::buffering_calls() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->buffering;
}

void show_stand_in::on_read(const std::function<void(int)>& hook) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->hook = hook;
}

slideshow2::slideshow_produce::progress_callback production_watch::progress() {
    return [this](double percent, video_data_ptr preview) {
        std::lock_guard<std::mutex> lock(mutex_);
        percents_.push_back(percent);
        previews_.push_back(preview);
    };
}

slideshow2::slideshow_produce::finished_callback production_watch::finished() {
    return [this](slideshow2::slideshow_produce::Result result) {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = result;
        ++finished_calls_;
        finished_.notify_all();
    };
}

int production_watch::wait_result(double seconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait_for(lock, std::chrono::duration<double>(seconds),
                       [this] { return finished_calls_ > 0; });
    return result_;
}

int production_watch::finished_calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_calls_;
}

std::vector<double> production_watch::percents() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return percents_;
}

std::vector<video_data_ptr> production_watch::previews() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return previews_;
}

int run_production(show_stand_in& show, const std::string& path, media_settings_ptr settings,
                   production_watch& watch, std::string* log) {
    if (log)
        testing::internal::CaptureStdout();
    slideshow2::slideshow_produce_ptr producer = slideshow2::slideshow_produce_creator::create(
        show.source(), slideshow2::slideshow_ptr(), show.buffering_switch(), path, settings);
    producer->produce(watch.progress(), watch.finished());
    const int result = watch.wait_result();
    producer.reset();
    if (log)
        *log = testing::internal::GetCapturedStdout();
    return result;
}

} // namespace test
} // namespace kestrel
