#pragma once
// The slideshow's frames as a video source: each read returns the frame
// for its position, rendered ahead by the read before (a picture of its
// own: the reader may keep it), stamped [position, position + length) with
// length = min(1000 / frame rate, total - position), moves the position
// on by that length and renders the frame for the new position. Start
// times are running sums of the lengths, never rounded; the last frame
// ends exactly at the show's total. Reads at or past the end give an
// empty pointer.
//
// Threads: one reader at a time (the caller's thread, or the read-ahead
// thread of a buffered source, never both: the seek stops that thread
// first). Sources over one renderer may read side by side: each takes only
// a frame rendered for itself at its position, drawing it again when
// another's render stands in the frame. The frame is taken under the
// renderer's lock; the render that follows takes the lock itself. A render
// failure passes out of read or set_position after the position has moved.

#include "DTGilSlideshowCore.h"
#include "sources/DTMediaSource.h"

#include <boost/noncopyable.hpp>

#include <atomic>

namespace kestrel {
namespace slideshow2 {

class video_source_from_image : public video_source, private boost::noncopyable {
public:
    // The core must outlive the source.
    explicit video_source_from_image(gil_slideshow_core& core);
    ~video_source_from_image() override;

    double duration() const override;
    double position() const override { return position_; }
    // Moves by dt and renders there; returns the new position.
    double advance(double dt) override;
    bool enabled() const override { return true; }
    void set_enabled(bool) override {}
    video_data_timed_ptr read() override;
    // RGB24 at the target frame's size.
    video_format_ptr format() const override;
    double frame_rate() const override;

    // Moves to t and renders the frame for t.
    void set_position(double t);
    // Moves to t; the frame for t is rendered by the next read or advance,
    // on the reader's thread (a photo's file may not answer meanwhile).
    void move_to(double t);
    // For a reader given up (a read-ahead left to end on its own): renders
    // nothing more, so that it keeps the renderer busy no longer; reads end
    // at once, and a render under way leaves out a photo whose load a stop
    // of the reads gave up. Any thread.
    void stop_rendering() { stopped_ = true; }

private:
    gil_slideshow_core& core_;
    std::atomic<double> position_{0.0};
    std::atomic<bool> stopped_{false};
    const gil_slideshow_core::reader_ref reader_{gil_slideshow_core::new_reader_id(), &stopped_};
};

} // namespace slideshow2
} // namespace kestrel
