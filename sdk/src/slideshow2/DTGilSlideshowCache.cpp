#include "DTGilSlideshowCache.h"

#include "DTMotionDecodeSize.h"
#include "DTSlide.h"
#include "base/DTLog.h"
#include "files/DTFailureReason.h"
#include "image/DTPhotoScale.h"
#include "slideshow2/DTPhoto.h"

#include <boost/make_shared.hpp>

#include <cerrno>
#include <exception>
#include <stdexcept>

#include <malloc.h>

namespace kestrel {
namespace slideshow2 {

const unsigned gil_slideshow_core::cache::slot_count;
const uint32_t gil_slideshow_core::cache::no_index;

gil_slideshow_core::cache::cache(gil_slideshow_core& core) : core_(core) {}

gil_slideshow_core::cache::~cache() {
    // A load waiting for a file that does not answer must not hold us.
    interruption_->set(true);
    {
        boost::lock_guard<boost::mutex> lock(loads_mutex_);
        closing_ = true;
    }
    load_queued_.notify_all();
    if (loader_.joinable())
        loader_.join();
}

int gil_slideshow_core::cache::find_slot(unsigned index) {
    for (unsigned i = 0; i < slot_count; ++i) {
        boost::lock_guard<boost::mutex> lock(slots_[i].mutex);
        if (slots_[i].index == index)
            return static_cast<int>(i);
    }
    return -1;
}

unsigned gil_slideshow_core::cache::oldest_slot_except(unsigned taken) {
    unsigned oldest = slot_count;
    int oldest_age = 0;
    for (unsigned i = 0; i < slot_count; ++i) {
        if (i == taken)
            continue;
        boost::lock_guard<boost::mutex> lock(slots_[i].mutex);
        if (oldest == slot_count || slots_[i].age > oldest_age) {
            oldest = i;
            oldest_age = slots_[i].age;
        }
    }
    return oldest;
}

unsigned gil_slideshow_core::cache::oldest_slot() { return oldest_slot_except(slot_count); }

void gil_slideshow_core::cache::start_load(unsigned index, unsigned slot_number) {
    {
        boost::lock_guard<boost::mutex> ageing(cache_mutex_);
        for (slot& each : slots_) {
            boost::lock_guard<boost::mutex> lock(each.mutex);
            ++each.age;
        }
    }
    slot& claimed = slots_[slot_number];
    unsigned long long claim = 0;
    picture_ptr dropped; // released outside the lock
    {
        boost::lock_guard<boost::mutex> lock(claimed.mutex);
        claimed.ready = false;
        claimed.index = index;
        claimed.age = 0;
        claimed.requested = false;
        claim = ++claimed.claim;
        dropped.swap(claimed.picture);
        claimed.failure.reset();
    }
    keep_spare(dropped);

    const load_request request = {index,
                                  slot_number,
                                  claim,
                                  static_cast<unsigned>(core_.target_frame().width()),
                                  static_cast<unsigned>(core_.target_frame().height()),
                                  core_.progress_margin()};
    try {
        boost::lock_guard<boost::mutex> lock(loads_mutex_);
        if (!loader_.joinable())
            loader_ = boost::thread([this] { loader_loop(); });
        loads_.push_back(request);
    } catch (...) {
        // Nobody will load the slot: leave it empty rather than claimed
        // by a load that never comes.
        boost::lock_guard<boost::mutex> lock(claimed.mutex);
        if (claimed.claim == claim) {
            claimed.index = no_index;
            ++claimed.claim;
        }
        throw;
    }
    load_queued_.notify_one();
}

void gil_slideshow_core::cache::loader_loop() {
    const read_interruption_scope reading(interruption_);
    for (;;) {
        load_request request;
        {
            boost::unique_lock<boost::mutex> lock(loads_mutex_);
            while (loads_.empty() && !closing_)
                load_queued_.wait(lock);
            if (closing_)
                return; // what is still queued goes unloaded with the cache
            request = loads_.front();
            loads_.pop_front();
            ++loading_;
        }
        load(request);
        boost::unique_lock<boost::mutex> lock(loads_mutex_);
        // The decode's buffers were freed just now: give their pages back,
        // so that the memory between loads is that of the pictures alone;
        // not for a cache that goes, whose end (a window's) waits for this.
        if (!closing_) {
            lock.unlock();
            malloc_trim(0);
            lock.lock();
        }
        --loading_;
    }
}

bool gil_slideshow_core::cache::still_claimed(unsigned slot_number, unsigned long long claim) const {
    boost::lock_guard<boost::mutex> lock(slots_[slot_number].mutex);
    return slots_[slot_number].claim == claim;
}

gil_slideshow_core::cache::picture_ptr gil_slideshow_core::cache::get(unsigned index) {
    for (;;) {
        bool given_up = false;
        const picture_ptr picture = wait_for_slide(index, given_up);
        // A stop of the reads is meant for a reader given up (a read-ahead
        // left behind by a seek), or for all while it lasts (a production's
        // stop): only their slides stay empty, so that their renders end.
        if (!given_up || interruption_->on() || core_.render_given_up())
            return picture;
        log_line(logger::info()) << "[gil_slideshow_core::cache] slide " << index
                                 << " loaded again: a stop meant for another reader gave its load up" << std::endl;
    }
}

gil_slideshow_core::cache::picture_ptr gil_slideshow_core::cache::wait_for_slide(unsigned index, bool& given_up) {
    int found = find_slot(index);
    const unsigned long long next = static_cast<unsigned long long>(index) + 1;
    const bool has_next = next < core_.count();
    if (found >= 0) {
        bool first_request = false;
        {
            boost::lock_guard<boost::mutex> lock(slots_[found].mutex);
            first_request = !slots_[found].requested;
            slots_[found].requested = true;
        }
        if (first_request && has_next && find_slot(index + 1) < 0)
            start_load(index + 1, oldest_slot_except(static_cast<unsigned>(found)));
    } else {
        found = static_cast<int>(oldest_slot());
        start_load(index, static_cast<unsigned>(found));
        if (has_next)
            start_load(index + 1, oldest_slot());
    }
    slot& waited = slots_[found];
    picture_ptr picture;
    failure_ptr failure;
    {
        boost::unique_lock<boost::mutex> lock(waited.mutex);
        while (!waited.ready)
            waited.became_ready.wait(lock);
        picture = waited.picture;
        failure = waited.failure;
        // Only a load given up leaves its slot ready for no slide: nothing
        // else claims a slot while a render waits.
        given_up = waited.index != index;
    }
    if (failure)
        core_.unreadable_photos().add(*failure);
    return picture;
}

void gil_slideshow_core::cache::set_reads_interrupted(bool on, reads_stopper by) {
    boost::lock_guard<boost::mutex> lock(stoppers_mutex_);
    stopped_by_[static_cast<int>(by)] = on;
    const bool any = stopped_by_[0] || stopped_by_[1];
    // Switched on again when on already: a wait that began since gives up too.
    if (any || interruption_->on())
        interruption_->set(any);
}

void gil_slideshow_core::cache::reset() {
    for (slot& each : slots_) {
        picture_ptr dropped;
        {
            boost::lock_guard<boost::mutex> lock(each.mutex);
            each.ready = false;
            each.index = no_index;
            each.age = 0;
            each.requested = false;
            ++each.claim;
            dropped.swap(each.picture);
            each.failure.reset();
        }
        keep_spare(dropped);
    }
}

gil_slideshow_core::cache::slot_state gil_slideshow_core::cache::state(unsigned slot_number) const {
    const slot& each = slots_[slot_number];
    boost::lock_guard<boost::mutex> lock(each.mutex);
    return slot_state{each.index, each.ready, each.age, each.requested};
}

std::size_t gil_slideshow_core::cache::running_loads() const {
    boost::lock_guard<boost::mutex> lock(loads_mutex_);
    return loads_.size() + loading_;
}

void gil_slideshow_core::cache::load(const load_request& request) {
    const unsigned index = request.index;
    picture_ptr picture;
    failure_ptr unreadable;
    bool abandoned = false;
    std::string path, damage;
    try {
        // A load overtaken while it waited in the queue has nothing to do.
        if (still_claimed(request.slot, request.claim))
            picture = decode(request, path, damage);
        if (!damage.empty())
            unreadable = boost::make_shared<unreadable_photo>(unreadable_photo{path, damage, true});
    } catch (const read_interrupted&) {
        log_line(logger::info()) << "[gil_slideshow_core::cache] load of slide " << index << " ("
                                 << log_quoted(path) << ") given up" << std::endl;
        picture.reset();
        abandoned = true;
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        log_line(logger::warning()) << "[gil_slideshow_core::cache] load of slide " << index << " ("
                                    << log_quoted(path) << ") failed : " << errors::log_text_of(failure)
                                    << std::endl;
        picture.reset();
        if (!path.empty())
            unreadable = boost::make_shared<unreadable_photo>(unreadable_photo{path, errors::reason_of(failure), false, refusal_of(failure)});
    }
    publish(request.slot, request.claim, index, picture, unreadable, abandoned);
}

gil_slideshow_core::cache::picture_ptr gil_slideshow_core::cache::decode(const load_request& request,
                                                                         std::string& path, std::string& damage) {
    const slide_ptr shown = core_.get_slide(request.index);
    const photo_ptr source = shown ? shown->impl()->photo() : photo_ptr();
    path = source ? source->desc().url : shown ? shown->impl()->photo_path() : std::string();
    // Not read at all: a photo that did not answer may hang whoever asks.
    if (core_.photo_unanswered(path))
        KESTREL_THROW(refusal_failure(file_refusal::does_not_answer));
    if (!source)
        return picture_ptr();
    image::gil::photo_file file;
    image::gil::set_photo_desc(file, source->desc());
    // The photo's own size, as it is drawn: the file's header at full scale.
    const auto side_for = [&](const std::string& motion) {
        return motion_decode_side(static_cast<int>(request.frame_width), static_cast<int>(request.frame_height),
                                  image::gil::photo_file_width(file), image::gil::photo_file_height(file),
                                  motion, request.progress_margin, image::gil::max_scaled_pixels);
    };
    unsigned side = 0;
    try {
        side = side_for(core_.motion_name(*shown));
    } catch (const std::runtime_error&) {
        // A motion name the registry does not know fails where the slide
        // is drawn; the picture is sized as for a photo that stands still.
        side = side_for("static");
    }
    const boost::shared_ptr<boost::gil::rgb8_image_t> picture = take_spare();
    image::gil::scale_photo_unfiltered(file, *picture, side, false);
    damage = file.damage();
    return picture;
}

void gil_slideshow_core::cache::keep_spare(picture_ptr& dropped) {
    // Only a picture nobody else holds any more: the renderer may still be
    // drawing one it took from the slot before.
    if (dropped && dropped.unique()) {
        boost::lock_guard<boost::mutex> lock(spares_mutex_);
        if (spares_.empty())
            spares_.push_back(boost::const_pointer_cast<boost::gil::rgb8_image_t>(dropped));
    }
    dropped.reset();
}

boost::shared_ptr<boost::gil::rgb8_image_t> gil_slideshow_core::cache::take_spare() {
    boost::lock_guard<boost::mutex> lock(spares_mutex_);
    if (spares_.empty())
        return boost::make_shared<boost::gil::rgb8_image_t>();
    const boost::shared_ptr<boost::gil::rgb8_image_t> spare = spares_.back();
    spares_.pop_back();
    return spare;
}

void gil_slideshow_core::cache::publish(unsigned slot_number, unsigned long long claim, unsigned index,
                                        picture_ptr picture, failure_ptr failure, bool abandoned) {
    slot& target = slots_[slot_number];
    {
        boost::lock_guard<boost::mutex> lock(target.mutex);
        if (target.claim != claim)
            return; // overtaken: the slot belongs to a newer claim or a reset
        target.picture.swap(picture);
        target.failure = failure;
        target.ready = true;
        target.index = abandoned ? no_index : index;
    }
    target.became_ready.notify_all();
    // `picture` now holds what the slot held before, released here.
}

} // namespace slideshow2
} // namespace kestrel
