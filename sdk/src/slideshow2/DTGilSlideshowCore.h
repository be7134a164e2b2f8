#pragma once
// The renderer of one slideshow. It answers the show's lengths, owns the
// show's sound (the music or silence, faded out at the end of the show)
// and the target frame, and renders the frame for any show time: the one
// or two slides visible then, each photo taken from the three-slot photo
// cache, moved along its Ken Burns motion and added with its fade weight.
//
// Units: milliseconds; frame sizes in pixels (RGB, 3 bytes a pixel, packed
// rows). Owned by value by the slideshow implementation, which sets itself
// as owner right after constructing it and outlives it.
//
// Threads: renders run on the thread that reads or seeks the slideshow's
// video (its read-ahead thread while buffered). The core lock is held for
// every render, frame-size change, timeline change and copy of the frame
// (lock order: settings, core, show sound, slide list); the lengths take
// no core lock. A render may hold it while a photo's file does not answer:
// a change of size, timeline or unanswered photos asked meanwhile (from the
// window's thread, say) never waits for it, but is kept and made by the
// next render before it draws. A slide whose photo is missing or cannot be decoded draws
// nothing, so its time is black, and the photo goes to the record of
// unreadable photos (DTUnreadablePhotos.h); an unknown motion name throws
// std::runtime_error "effect not found" out of the render, lock released.

#include "DTCommonSlideshowSettings.h"
#include "DTGilComposeFrame.h"
#include "DTShowAudioTrack.h"
#include "DTUnreadablePhotos.h"

#include <boost/gil/image.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/locks.hpp>
#include <boost/thread/mutex.hpp>

#include <atomic>
#include <memory>
#include <set>
#include <string>

namespace kestrel {
namespace slideshow2 {

class gil_slideshow_core : private boost::noncopyable {
public:
    class cache;
    typedef common_slideshow_settings_impl owner_type;

    gil_slideshow_core();
    ~gil_slideshow_core();

    void set_owner(owner_type* owner) { owner_ = owner; }

    // An empty track removes the music (silence instead); re-arms the fade.
    void set_audio_track(audio_track_ptr track);

    double total_duration();
    double slide_duration();
    // 0.0 with align-to-audio (the music sets the length), else
    // count x slide duration.
    double audio_duration();
    double frame_rate();
    // The faded show sound, for the audio source.
    show_audio_track& show_audio() { return show_audio_; }

    slide_ptr get_slide(unsigned index);
    unsigned count();
    void apply_settings(media_settings_ptr settings);

    // Resizes the target frame from the frame height and aspect settings.
    void on_change_video_format();
    // Takes the slide and transition durations for rendering, re-arms the
    // fade and empties the photo cache.
    void on_change_timeline();
    // Both made now when no render holds the core lock, else by the next
    // render.

    // Who a render is for: a reader's number, never used by another reader
    // (0: nobody's), and whether the reader was given up (a read-ahead left
    // behind by a seek), so that a photo load a stop gave up is made again
    // only for a reader still read.
    struct reader_ref {
        unsigned long long id = 0;
        const std::atomic<bool>* given_up = nullptr;
    };
    // A number for a new reader; any thread.
    static unsigned long long new_reader_id();

    // Renders the frame for show time t; first writes the line
    // "on_change_video_time : <t>" to standard output.
    void on_change_video_time(double t);
    // The same, for `reader`, whose take then finds it drawn.
    void render_for(const reader_ref& reader, double t);

    // Logs the size; a new size gets a new frame, black until drawn, and
    // empties the photo cache (its pictures were decoded for the old size).
    // The size asked for stays as it is: a later one may already be asked.
    void create_target_frame(unsigned width, unsigned height);
    void draw_slide(const gil_compose_frame::picture_ptr& picture, double weight, double progress,
                    const std::string& effect);
    // The motion the slide plays: "static" with Ken Burns off, else its own
    // for its photo's orientation (empty without a photo).
    std::string motion_name(const slide& shown) const;
    // How far before its start and after its end a slide is drawn, as a
    // fraction of the slide: half a transition. Under the core lock.
    double progress_margin() const;

    typedef boost::shared_ptr<const boost::gil::rgb8_image_t> frame_ptr;

    // For the video source: the lock that guards the frame, the frame and
    // the size last asked for (a frame 0 wide or high holds no pixels:
    // 0 x 0), which the frame has from the next render on. The size is read
    // without the lock, which a render holds while it waits for a photo's
    // file.
    boost::mutex& frame_mutex() { return core_mutex_; }
    const boost::gil::rgb8_image_t& target_frame() const { return target_frame_; }
    unsigned frame_width() const { return frame_width_; }
    unsigned frame_height() const { return frame_height_; }
    // The frame for show time t, handed over whole instead of copied; a
    // new buffer of the same size takes its place, to be filled by the
    // next render. The frame rendered last is taken when it is `reader`'s
    // for t and no change was made since; otherwise (another reader, a
    // given-up read-ahead say, drew over it) it is drawn again first, so
    // that what one reader takes never depends on another's renders.
    // Under frame_mutex().
    frame_ptr take_frame_for(const reader_ref& reader, double t);
    cache& photo_cache() { return *cache_; }
    // The photos that renders needed and could not read; its own lock.
    unreadable_photo_record& unreadable_photos() { return unreadable_photos_; }
    // Whether a render drew a photo since the last call; forgets it.
    bool take_photo_drawn() { return photo_drawn_.exchange(false); }
    // The photos no render may read (slideshow::Impl::set_unanswered_photos),
    // in place of the earlier ones; empties the photo cache, whose slots
    // were loaded under the earlier set. Made as the changes above.
    void set_unanswered_photos(const std::set<std::string>& paths);
    // Whether the photo at `path` is one of them; its own lock.
    bool photo_unanswered(const std::string& path) const;
    // Whether the render under way is for a reader given up. Under the core
    // lock.
    bool render_given_up() const { return given_up_of_render_ && given_up_of_render_->load(); }

private:
    enum change : unsigned { format_change = 1, timeline_change = 2, unanswered_change = 4 };
    // Keeps the change, then makes what is kept if the core lock is free.
    void change_when_free(unsigned changes);
    // Makes the changes kept while a render held the core lock, as they
    // would have been made had the lock been free. Under the core lock.
    void make_kept_changes();
    // Renders under the core lock, the frame then standing as reader's for t.
    void render_locked(const reader_ref& reader, double t);
    // The frame size the settings ask for, as frame_width() and
    // frame_height(); false (nothing asked) for sizes that make no frame.
    bool ask_size_of_settings();
    void arm_fade_out();
    // Draws nothing for a slide that left the list or has no picture.
    void draw_visible(unsigned count, int index, double weight, double local_time, double duration);

    owner_type* owner_ = nullptr;
    show_audio_track show_audio_;
    boost::gil::rgb8_image_t target_frame_;
    boost::mutex core_mutex_;
    gil_compose_frame composer_;
    unreadable_photo_record unreadable_photos_; // filled by the cache
    std::atomic<bool> photo_drawn_{false};
    mutable boost::mutex unanswered_mutex_; // taken alone, under any other
    std::set<std::string> unanswered_photos_;
    boost::mutex kept_mutex_; // taken alone
    unsigned kept_changes_ = 0;
    std::set<std::string> kept_unanswered_;
    // Destroyed first: its loaders are joined while the rest still stands.
    std::unique_ptr<cache> cache_;
    std::atomic<unsigned> frame_width_{0}, frame_height_{0}; // as last asked for
    unsigned target_width_ = 0, target_height_ = 0;           // of the target frame; under the core lock
    // Whose render the target frame holds (a reader's number), and of what
    // time; under the core lock. No reader's once taken or changed.
    unsigned long long rendered_for_ = 0;
    double rendered_at_ = 0.0;
    // The given-up mark of the reader whose render is under way; under the
    // core lock.
    const std::atomic<bool>* given_up_of_render_ = nullptr;
    double d_ = 4.0;  // slide duration for rendering
    double tr_ = 1.0; // transition duration for rendering
};

} // namespace slideshow2
} // namespace kestrel
