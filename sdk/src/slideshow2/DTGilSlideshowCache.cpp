#include "DTGilSlideshowCache.h"

#include "DTLog.h"
#include "DTSlide.h"
#include "image/DTPhotoScale.h"
#include "slideshow2/DTPhoto.h"

#include <boost/make_shared.hpp>

#include <exception>

namespace kestrel {
namespace slideshow2 {

const unsigned gil_slideshow_core::cache::slot_count;
const uint32_t gil_slideshow_core::cache::no_index;

gil_slideshow_core::cache::cache(gil_slideshow_core& core) : core_(core) {}

gil_slideshow_core::cache::~cache() {
    closing_ = true;
    std::list<loader> running;
    {
        boost::lock_guard<boost::mutex> lock(loaders_mutex_);
        running.swap(loaders_);
    }
    for (loader& entry : running)
        entry.thread.join();
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
    reap_loaders();
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
    }
    dropped.reset();

    const unsigned frame_width = static_cast<unsigned>(core_.target_frame().width());
    try {
        boost::lock_guard<boost::mutex> lock(loaders_mutex_);
        loaders_.emplace_back();
        loader& entry = loaders_.back();
        entry.finished = std::make_shared<std::atomic<bool>>(false);
        const auto finished = entry.finished;
        try {
            entry.thread = boost::thread([this, index, slot_number, claim, frame_width, finished] {
                load(index, slot_number, claim, frame_width);
                finished->store(true);
            });
        } catch (...) {
            loaders_.pop_back();
            throw;
        }
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
}

gil_slideshow_core::cache::picture_ptr gil_slideshow_core::cache::get(unsigned index) {
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
    boost::unique_lock<boost::mutex> lock(waited.mutex);
    while (!waited.ready)
        waited.became_ready.wait(lock);
    return waited.picture;
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
        }
    }
}

gil_slideshow_core::cache::slot_state gil_slideshow_core::cache::state(unsigned slot_number) const {
    const slot& each = slots_[slot_number];
    boost::lock_guard<boost::mutex> lock(each.mutex);
    return slot_state{each.index, each.ready, each.age, each.requested};
}

std::size_t gil_slideshow_core::cache::running_loads() const {
    boost::lock_guard<boost::mutex> lock(loaders_mutex_);
    std::size_t running = 0;
    for (const loader& entry : loaders_)
        running += entry.finished->load() ? 0 : 1;
    return running;
}

void gil_slideshow_core::cache::reap_loaders() {
    std::list<loader> finished;
    {
        boost::lock_guard<boost::mutex> lock(loaders_mutex_);
        for (auto it = loaders_.begin(); it != loaders_.end();) {
            const auto current = it++;
            if (current->finished->load())
                finished.splice(finished.end(), loaders_, current);
        }
    }
    for (loader& entry : finished)
        entry.thread.join();
}

void gil_slideshow_core::cache::load(unsigned index, unsigned slot_number, unsigned long long claim,
                                     unsigned frame_width) {
    picture_ptr picture;
    try {
        picture = decode(index, frame_width);
    } catch (const std::exception& e) {
        log_line(logger::warning()) << "[gil_slideshow_core::cache] load of slide " << index
                                    << " failed : " << e.what() << std::endl;
    } catch (...) {
        log_line(logger::warning()) << "[gil_slideshow_core::cache] load of slide " << index
                                    << " failed" << std::endl;
    }
    publish(slot_number, claim, index, picture);
}

gil_slideshow_core::cache::picture_ptr gil_slideshow_core::cache::decode(unsigned index,
                                                                         unsigned frame_width) {
    if (closing_)
        return picture_ptr();
    const slide_ptr shown = core_.get_slide(index);
    const photo_ptr source = shown ? shown->impl()->photo() : photo_ptr();
    if (!source)
        return picture_ptr();
    image::gil::photo_file file;
    image::gil::set_photo_desc(file, source->desc());
    const unsigned side = static_cast<unsigned>(1.2 * frame_width);
    const bool fit_height = source->impl()->width() < source->impl()->height();
    const auto picture = boost::make_shared<boost::gil::rgb8_image_t>();
    image::gil::scale_photo_unfiltered(file, *picture, side, fit_height);
    return picture;
}

void gil_slideshow_core::cache::publish(unsigned slot_number, unsigned long long claim, unsigned index,
                                        picture_ptr picture) {
    slot& target = slots_[slot_number];
    {
        boost::lock_guard<boost::mutex> lock(target.mutex);
        if (target.claim != claim)
            return; // overtaken: the slot belongs to a newer claim or a reset
        target.picture.swap(picture);
        target.ready = true;
        target.index = index;
    }
    target.became_ready.notify_all();
    // `picture` now holds what the slot held before, released here.
}

} // namespace slideshow2
} // namespace kestrel
