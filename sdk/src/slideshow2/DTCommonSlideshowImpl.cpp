#include "DTCommonSlideshowImpl.h"

#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "base/DTNumberText.h"

#include <boost/throw_exception.hpp>

#include <algorithm>
#include <stdexcept>

namespace kestrel {
namespace slideshow2 {

common_slideshow_impl::common_slideshow_impl(slide_factory_t factory)
    : slide_factory(std::move(factory)) {}

// Slides go last and in list order, after the layers above (and the
// renderer that reads them) are gone.
common_slideshow_impl::~common_slideshow_impl() {
    slide_factory.clear();
    for (slide_ptr& entry : slides)
        entry.reset();
    slides.clear();
}

void common_slideshow_impl::fail_index(const char* line_start, std::size_t index) const {
    log_line(logger::error()) << line_start << text::to_text(static_cast<unsigned long long>(index))
                              << " (slides count: "
                              << text::to_text(static_cast<unsigned long long>(slides.size()))
                              << ")" << std::endl;
    KESTREL_THROW(errors::failure("invalid index"));
}

slide_ptr common_slideshow_impl::insert_slide(std::size_t index) {
    slide_ptr made;
    {
        boost::mutex::scoped_lock lock(slides_mutex);
        if (index > slides.size())
            fail_index("[common_slideshow_impl::insert_slide] invalid index ", index);
        made = slide_factory();
        if (!made)
            KESTREL_THROW(errors::invalid_pointer());
        slides.insert(slides.begin() + static_cast<std::ptrdiff_t>(index), made);
    }
    on_change_timeline();
    return made;
}

void common_slideshow_impl::move_slide(std::size_t from, std::size_t to) {
    {
        boost::mutex::scoped_lock lock(slides_mutex);
        if (from >= slides.size())
            fail_index("[common_slideshow_impl::move_slide] invalid index 'from' ", from);
        if (to >= slides.size())
            fail_index("[common_slideshow_impl::move_slide] invalid index 'to' ", to);
        // Taking the slide out and putting it back at `to` is one rotation
        // of the range between the two positions; nothing is allocated.
        const auto first = slides.begin();
        const auto at_from = first + static_cast<std::ptrdiff_t>(from);
        const auto at_to = first + static_cast<std::ptrdiff_t>(to);
        if (from < to)
            std::rotate(at_from, at_from + 1, at_to + 1);
        else if (to < from)
            std::rotate(at_to, at_from, at_from + 1);
    }
    on_change_timeline();
}

void common_slideshow_impl::remove_slide(std::size_t index) {
    // A slide whose last holder was the list is destroyed after the lock is
    // released: its teardown must not run under the list lock.
    slide_ptr removed;
    {
        boost::mutex::scoped_lock lock(slides_mutex);
        if (index >= slides.size())
            fail_index("[common_slideshow_impl::remove_slide] invalid index ", index);
        removed.swap(slides[index]);
        slides.erase(slides.begin() + static_cast<std::ptrdiff_t>(index));
    }
    removed.reset();
    on_change_timeline();
}

slide_ptr common_slideshow_impl::get_slide(std::size_t index) {
    boost::mutex::scoped_lock lock(slides_mutex);
    if (index >= slides.size())
        fail_index("[common_slideshow_impl::get_slide] invalid index ", index);
    return slides[index];
}

std::size_t common_slideshow_impl::count() {
    boost::mutex::scoped_lock lock(slides_mutex);
    return slides.size();
}

std::size_t common_slideshow_impl::index_of(slide_ptr slide) const {
    boost::mutex::scoped_lock lock(slides_mutex);
    const auto found = std::find(slides.begin(), slides.end(), slide);
    if (!slide || found == slides.end()) {
        log_line(logger::error()) << "[common_slideshow_impl::index_of] slide not found "
                                  << std::endl;
        BOOST_THROW_EXCEPTION(std::runtime_error("slide not found"));
    }
    return static_cast<std::size_t>(found - slides.begin());
}

void common_slideshow_impl::clear() {
    std::vector<slide_ptr> removed;
    {
        boost::mutex::scoped_lock lock(slides_mutex);
        removed.swap(slides);
    }
    for (slide_ptr& entry : removed)
        entry.reset();
    on_change_timeline();
}

} // namespace slideshow2
} // namespace kestrel
