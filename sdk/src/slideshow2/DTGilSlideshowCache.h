#pragma once
// The renderer's photo cache: the decoded pictures of up to three slides,
// each decoded from its photo's file as large as its slide's motion shows
// it at the most (transitions included), so that no frame enlarges it,
// never larger than the photo and within the scaler's limit of pixels
// (DTMotionDecodeSize.h). Asked for
// slide i, it returns the picture at once when a slot holds it; otherwise
// it claims the oldest slot, loads slide i there and slide i + 1 ahead in
// the next oldest. On a hit it loads slide i + 1 ahead once, when no slot
// holds it yet, never in the slot being returned.
//
// Threads: get() runs on the renderer's thread under the core lock and
// waits until the slot is ready. The loads run on the cache's loader
// thread, one after another in the order they were started (the slide
// asked for before the one ahead), so that decoding takes the memory of
// one photo at a time and always from the same thread's heap; the thread
// starts with the first load and is joined by the destructor, so it never
// outlives the cache or the slideshow it reads. A load takes only its
// slot's lock and the slide list's lock, never the core lock. Every load
// marks its slot ready, also when the slide is gone or its photo cannot be
// decoded (the picture is then empty: the slide draws nothing). A photo
// that cannot be read is kept in its slot with the reason, and every get()
// of that slot adds it to the core's record of unreadable photos, so that
// a frame drawn from a slot loaded earlier reports it too; so is a damaged
// photo, which is drawn as far as it could be read. A photo the core
// holds as unanswered is never opened: its slot gets no picture and the
// reason "does not answer", as one that cannot be read, also while its
// slide has no photo yet (named by the path it was asked to open). Reads
// are given up (files/DTAbandonableRead.h) while set_reads_interrupted is on and
// when the cache goes: a load given up marks its slot ready with no
// picture and no record, and for no slide, so that the slide is loaded
// again when next asked for. A get() waiting for it gets that empty
// picture while the reads are still stopped or when it renders for a
// reader given up (gil_slideshow_core::render_given_up); otherwise the stop
// was meant for another reader, and the slide is loaded again for it, so
// that what a reader draws never depends on another's stop. A load
// decodes into a picture of its own and swaps it in under the slot lock,
// and only while the slot is still claimed for it: a load overtaken by a
// reset or a new claim is dropped.

#include "DTGilSlideshowCore.h"
#include "DTUnreadablePhotos.h"
#include "files/DTAbandonableRead.h"

#include <boost/shared_ptr.hpp>
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/thread.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestrel {
namespace slideshow2 {

class gil_slideshow_core::cache : private boost::noncopyable {
public:
    typedef boost::shared_ptr<const boost::gil::rgb8_image_t> picture_ptr;
    typedef boost::shared_ptr<const unreadable_photo> failure_ptr;

    static const unsigned slot_count = 3;
    static const uint32_t no_index = 0xffffffffu;

    // What a slot holds, for inspection.
    struct slot_state {
        uint32_t index;
        bool ready;
        int age;        // loads started since this slot's own
        bool requested; // the renderer asked for it since it was loaded
    };

    // Reads the slide count, the slides and the frame width from `core`.
    explicit cache(gil_slideshow_core& core);
    ~cache();

    // Waits until the slide's slot is ready. An empty picture draws nothing;
    // a photo that could not be read goes to the core's record first.
    picture_ptr get(unsigned index);
    // Claims `slot` for slide `index` and queues its load. A loader thread
    // that cannot start leaves the slot empty and throws the thread
    // library's resource error.
    void start_load(unsigned index, unsigned slot);
    // Largest age; ties go to the lower slot number.
    unsigned oldest_slot();
    // The first slot holding or loading `index`, or -1.
    int find_slot(unsigned index);
    // Every slot back to empty; running loads finish unseen.
    void reset();
    // Who stops the loads' reads: the slideshow's production, or its
    // preview's read-ahead while it stops. Each holds its own switch, so
    // that one switching off never lets the other's stop wait.
    enum class reads_stopper { production, preview };
    // On: the loads' reads give up at once, one under way included, until
    // every stopper is off. Any thread.
    void set_reads_interrupted(bool on, reads_stopper by = reads_stopper::production);
    bool reads_interrupted() const { return interruption_->on(); }

    slot_state state(unsigned slot) const;
    // Loads still running.
    std::size_t running_loads() const;

private:
    struct slot {
        mutable boost::mutex mutex;
        boost::condition_variable became_ready;
        picture_ptr picture;
        failure_ptr failure; // the photo that could not be read, and why
        bool ready = false;
        uint32_t index = no_index;
        int age = 0;
        bool requested = false;
        // Counts claims and resets; a load publishes only under its own.
        unsigned long long claim = 0;
    };

    // What the load needs of the renderer, taken when it is queued: the
    // loader never takes the core lock.
    struct load_request {
        unsigned index;
        unsigned slot;
        unsigned long long claim;
        unsigned frame_width;
        unsigned frame_height;
        double progress_margin;
    };

    // One claim (or hit) and wait for slide `index`; `given_up`: its load
    // was given up, the picture empty.
    picture_ptr wait_for_slide(unsigned index, bool& given_up);
    unsigned oldest_slot_except(unsigned taken);
    void loader_loop();
    void load(const load_request& request);
    // Sets `path` to the photo's file before it reads it, and `damage` to
    // why the picture shows it only in part.
    picture_ptr decode(const load_request& request, std::string& path, std::string& damage);
    // `abandoned`: the load was given up; the slot holds no slide.
    void publish(unsigned slot, unsigned long long claim, unsigned index, picture_ptr picture,
                 failure_ptr failure, bool abandoned);
    bool still_claimed(unsigned slot, unsigned long long claim) const;
    // Pictures that left their slot are decoded into again (the scaler
    // keeps a buffer of the right size), so that loads do not allocate and
    // free a picture each.
    void keep_spare(picture_ptr& dropped);
    boost::shared_ptr<boost::gil::rgb8_image_t> take_spare();

    gil_slideshow_core& core_;
    slot slots_[slot_count];
    boost::mutex cache_mutex_; // serialises the ageing of the slots

    boost::mutex spares_mutex_;
    std::vector<boost::shared_ptr<boost::gil::rgb8_image_t>> spares_;

    mutable boost::mutex loads_mutex_; // the queue, the count and closing
    boost::condition_variable load_queued_;
    std::deque<load_request> loads_;
    std::size_t loading_ = 0; // taken from the queue, not yet published
    bool closing_ = false;
    const read_interruption_ptr interruption_ = std::make_shared<read_interruption>();
    boost::mutex stoppers_mutex_;
    bool stopped_by_[2] = {false, false}; // by reads_stopper
    boost::thread loader_;
};

} // namespace slideshow2
} // namespace kestrel
