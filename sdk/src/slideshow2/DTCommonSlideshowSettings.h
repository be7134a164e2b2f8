#pragma once
// The slideshow's seven settings, read from a settings map by
// apply_settings, and the hooks that make the renderer recompute its frame
// size (on_change_video_format) or its timeline (on_change_timeline).
//
// Units: frames per second, pixels, milliseconds; the aspect is frame width
// over frame height. Frame values are stored as they come (zero, negative,
// NaN): what they mean for a frame is the renderer's matter. Durations must
// be finite, from 0 to one day (86400 s).
//
// Threads: settings_mutex is held while one key is stored and its hooks run
// (lock order: settings, render core, slide list). The renderer reads the
// fields on its own threads without that lock; every field is atomic, so a
// read never sees half of a write.
//
// Errors: an unreadable value (a duration out of its range too) throws
// boost::bad_lexical_cast, a ratio text
// with other than one "/" errors::invalid_operation; keys before it stay
// applied, the failing key and the ones after it change nothing.

#include "DTCommonSlideshowImpl.h"
#include "base/DTTypes.h"

#include <boost/thread/mutex.hpp>

#include <atomic>

namespace kestrel {
namespace slideshow2 {

class common_slideshow_settings_impl : public common_slideshow_impl {
public:
    explicit common_slideshow_settings_impl(slide_factory_t factory);

    // Applies the keys the map holds, in a fixed order; an empty pointer
    // changes nothing.
    void apply_settings(media_settings_ptr settings) override;

    std::atomic<double> video_frame_rate{0.0};           // "video-frame-rate"
    std::atomic<dt_rational_t> frame_aspect{dt_rational_t()}; // "frame-aspect", 0/1
    std::atomic<double> frame_height{0.0};               // "frame-height", whole pixels
    std::atomic<double> slide_duration_ms{0.0};          // "slide-duration", seconds in
    std::atomic<bool> ken_burns_enabled{false};          // "ken-burns"
    std::atomic<bool> align_to_audio{false};             // "align-to-audio"
    std::atomic<double> transition_duration_ms{0.0};     // "transition-duration", seconds in

protected:
    // Called after the frame rate, the aspect or the height changed.
    virtual void on_change_video_format() = 0;

private:
    boost::mutex settings_mutex;
};

} // namespace slideshow2
} // namespace kestrel
