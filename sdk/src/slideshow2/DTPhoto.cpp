#include "DTPhoto.h"

namespace kestrel {
namespace slideshow2 {

void photo::Impl::load(unsigned int side, double filter, bool fit_height) {
    do_load(side, filter, fit_height);
    boost::mutex::scoped_lock lock(record_mutex_);
    last_load_.valid = true;
    last_load_.side = side;
    last_load_.filter = filter;
    last_load_.fit_height = fit_height;
}

void photo::Impl::load(unsigned int side, bool fit_height) { load(side, 0.0, fit_height); }

void photo::Impl::load(unsigned int side, double filter) { load(side, filter, false); }

void photo::Impl::load(unsigned int side) { load(side, 0.0, false); }

void photo::Impl::reload() {
    const load_record record = last_load();
    if (record.valid)
        do_load(record.side, record.filter, record.fit_height);
}

photo::Impl::load_record photo::Impl::last_load() const {
    boost::mutex::scoped_lock lock(record_mutex_);
    return last_load_;
}

} // namespace slideshow2
} // namespace kestrel
