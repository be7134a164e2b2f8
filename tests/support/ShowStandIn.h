#pragma once
// A stand-in for a slideshow's pair of sources, for producer tests: solid
// colour pictures, one colour per slide, at the frame size and rate that
// applied settings ask for (computed the way the slideshow computes them),
// and optionally music faded out to silence over the show's end. It counts
// what the producer asks of it; the counters may be read from any thread.

#include "audio/DTAudioTrack.h"
#include "slideshow2/DTSlideshowProduce.h"
#include "sources/DTAVSource.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace kestrel {
namespace test {

struct rgb {
    uint8_t r, g, b;
};

struct show_stand_in_options {
    double duration_ms = 1000.0;
    double slide_ms = 500.0;
    // Null: the pair has no audio source at all.
    audio_track_ptr music;
    // The music fades out over the show's last fade_ms.
    double fade_ms = 500.0;
};

class show_stand_in {
public:
    explicit show_stand_in(const show_stand_in_options& options);
    ~show_stand_in();

    const av_source_ptr& source() const { return source_; }
    // Records each switch of buffering, as a slideshow's switch would act.
    boost::function<void(bool)> buffering_switch();

    // Red, blue, green and white, in turn.
    static rgb slide_colour(int slide);
    // The colour of the picture that starts at `start` ms.
    rgb colour_at(double start_ms) const;
    // 8-bit limited-range luma of a colour, as FFmpeg's scaler makes it.
    static double luma_of(const rgb& colour);

    int width() const;
    int height() const;
    double frame_rate() const;
    int settings_applied() const;
    int pictures_read() const;
    std::vector<bool> buffering_calls() const;
    // Runs on the reading thread after picture `index` is made.
    void on_read(const std::function<void(int index)>& hook);

    struct state;

private:
    boost::shared_ptr<state> state_;
    av_source_ptr source_;
};

// Gathers what a producer reports on its worker thread.
class production_watch {
public:
    slideshow2::slideshow_produce::progress_callback progress();
    slideshow2::slideshow_produce::finished_callback finished();

    // The result, waiting up to `seconds` for it; -1 when none came.
    int wait_result(double seconds = 120.0);
    int finished_calls() const;
    std::vector<double> percents() const;
    std::vector<video_data_ptr> previews() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    int result_ = -1;
    int finished_calls_ = 0;
    std::vector<double> percents_;
    std::vector<video_data_ptr> previews_;
};

// Makes a producer of the show into `path`, runs it to its end and releases
// it; returns the result (-1 for none) and, when `log` is given, the log
// lines written meanwhile.
int run_production(show_stand_in& show, const std::string& path, media_settings_ptr settings,
                   production_watch& watch, std::string* log);

} // namespace test
} // namespace kestrel
