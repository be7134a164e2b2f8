#include "sources/DTMediaSource.h"

namespace kestrel {

media_source::~media_source() = default;

video_source::answer video_source::read_now(video_data_timed_ptr& picture) {
    picture = read();
    return picture ? answer::picture : answer::end;
}

double video_source_proxy::duration() const { return target_ ? target_->duration() : 0.0; }

double video_source_proxy::position() const { return target_ ? target_->position() : 0.0; }

double video_source_proxy::advance(double dt) { return target_ ? target_->advance(dt) : 0.0; }

bool video_source_proxy::enabled() const { return target_ && target_->enabled(); }

void video_source_proxy::set_enabled(bool enabled) {
    if (target_)
        target_->set_enabled(enabled);
}

video_data_timed_ptr video_source_proxy::read() {
    return target_ ? target_->read() : video_data_timed_ptr();
}

bool video_source_proxy::picture_at_hand() const { return !target_ || target_->picture_at_hand(); }

video_source::answer video_source_proxy::read_now(video_data_timed_ptr& picture) {
    picture.reset();
    return target_ ? target_->read_now(picture) : answer::end;
}

video_format_ptr video_source_proxy::format() const {
    return target_ ? target_->format() : video_format_ptr();
}

double video_source_proxy::frame_rate() const { return target_ ? target_->frame_rate() : 0.0; }

} // namespace kestrel
