#include "DTUnreadablePhotos.h"

#include <boost/thread/lock_guard.hpp>

namespace kestrel {
namespace slideshow2 {

bool operator==(const unreadable_photo& left, const unreadable_photo& right) {
    return left.path == right.path && left.reason == right.reason && left.partly_shown == right.partly_shown &&
           left.refusal == right.refusal;
}

void unreadable_photo_record::add(const unreadable_photo& photo) {
    boost::lock_guard<boost::mutex> lock(mutex_);
    if (paths_.insert(photo.path).second)
        photos_.push_back(photo);
}

std::vector<unreadable_photo> unreadable_photo_record::take() {
    std::vector<unreadable_photo> taken;
    boost::lock_guard<boost::mutex> lock(mutex_);
    taken.swap(photos_);
    paths_.clear();
    return taken;
}

} // namespace slideshow2
} // namespace kestrel
