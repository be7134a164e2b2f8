#include "DTGilSlideshowCore.h"

#include "DTGilSlideshowCache.h"
#include "DTKenBurnsRegistry.h"
#include "DTSlide.h"
#include "base/DTErrors.h"
#include "base/DTLog.h"

#include <boost/bind/bind.hpp>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <iostream>
#include <locale>
#include <sstream>

namespace kestrel {
namespace slideshow2 {

namespace {

// 2^27 pixels, far beyond any output (8K is 33 million): a frame height
// from a hostile settings map must not ask for gigabytes.
const double max_frame_pixels = 134217728.0;

// A frame of no area holds no pixels at all: Boost.GIL allocates for one
// 0 pixels wide or high and never gives that memory back.
boost::gil::rgb8_image_t frame_of(unsigned width, unsigned height) {
    if (width == 0 || height == 0)
        return boost::gil::rgb8_image_t();
    return boost::gil::rgb8_image_t(width, height);
}

void print_render_time(double t) {
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << "on_change_video_time : " << t << '\n';
    std::cout << line.str() << std::flush;
}

} // namespace

gil_slideshow_core::gil_slideshow_core()
    : show_audio_(boost::bind(&gil_slideshow_core::audio_duration, this)),
      composer_(target_frame_),
      cache_(new cache(*this)) {}

gil_slideshow_core::~gil_slideshow_core() = default;

void gil_slideshow_core::set_audio_track(audio_track_ptr track) {
    show_audio_.set_music(track);
    arm_fade_out();
}

void gil_slideshow_core::arm_fade_out() {
    if (!owner_)
        return;
    const double total = total_duration();
    const double tr = owner_->transition_duration_ms.load();
    show_audio_.set_fade(total - 2 * tr, 2 * tr - tr / 5);
}

double gil_slideshow_core::total_duration() {
    if (!owner_)
        return 0.0;
    const double slides_length = count() * owner_->slide_duration_ms.load();
    if (!owner_->align_to_audio)
        return slides_length;
    const double music = show_audio_.music_duration();
    return music <= DBL_MAX / 2 ? music : slides_length;
}

double gil_slideshow_core::slide_duration() { return total_duration() / count(); }

double gil_slideshow_core::audio_duration() {
    if (!owner_ || owner_->align_to_audio)
        return 0.0;
    return count() * owner_->slide_duration_ms.load();
}

double gil_slideshow_core::frame_rate() { return owner_ ? owner_->video_frame_rate.load() : 0.0; }

slide_ptr gil_slideshow_core::get_slide(unsigned index) {
    if (!owner_)
        KESTREL_THROW(errors::invalid_operation());
    return owner_->get_slide(index);
}

unsigned gil_slideshow_core::count() { return owner_ ? static_cast<unsigned>(owner_->count()) : 0u; }

void gil_slideshow_core::apply_settings(media_settings_ptr settings) {
    if (owner_)
        owner_->apply_settings(settings);
}

void gil_slideshow_core::on_change_video_format() {
    log_line(logger::info()) << "[gil_slideshow_core][on_change_video_format]" << std::endl;
    // The size is known at once (an encoder asks for it before the first
    // render); the frame takes it when the core lock is free.
    if (!ask_size_of_settings())
        return;
    change_when_free(format_change);
}

void gil_slideshow_core::change_when_free(unsigned changes) {
    {
        boost::lock_guard<boost::mutex> kept(kept_mutex_);
        kept_changes_ |= changes;
    }
    boost::unique_lock<boost::mutex> lock(core_mutex_, boost::try_to_lock);
    if (lock.owns_lock())
        make_kept_changes();
}

void gil_slideshow_core::make_kept_changes() {
    unsigned changes = 0;
    std::set<std::string> unanswered;
    {
        boost::lock_guard<boost::mutex> kept(kept_mutex_);
        std::swap(changes, kept_changes_);
        if (changes == 0)
            return;
        // A copy: the set asked last stays, and making it again changes nothing.
        if (changes & unanswered_change)
            unanswered = kept_unanswered_;
    }
    if (changes & unanswered_change) {
        boost::lock_guard<boost::mutex> guard(unanswered_mutex_);
        unanswered_photos_.swap(unanswered);
    }
    if (changes & format_change)
        create_target_frame(frame_width_, frame_height_);
    if (changes & timeline_change) {
        d_ = slide_duration();
        tr_ = owner_ ? owner_->transition_duration_ms.load() : tr_;
        arm_fade_out();
    }
    if (changes & (timeline_change | unanswered_change))
        cache_->reset();
    rendered_for_ = 0; // drawn before the changes
}

bool gil_slideshow_core::ask_size_of_settings() {
    if (!owner_)
        return false;
    const double h = owner_->frame_height.load();
    const dt_rational_t aspect = owner_->frame_aspect.load();
    if (aspect.den == 0) {
        log_line(logger::warning()) << "[gil_slideshow_core][on_change_video_format] invalid aspect"
                                    << std::endl;
        return false;
    }
    // Even sizes, the width rounded from the aspect. A negative height or
    // aspect gives an empty frame rather than a huge one.
    double height = std::trunc(h);
    height -= std::fmod(height, 2.0);
    height = height > 0.0 ? height : 0.0;
    double width = std::trunc(static_cast<double>(aspect.num) / aspect.den * height + 0.5);
    width -= std::fmod(width, 2.0);
    width = width > 0.0 ? width : 0.0;
    if (!(width * height <= max_frame_pixels)) {
        log_line(logger::warning()) << "[gil_slideshow_core][on_change_video_format] frame too large"
                                    << std::endl;
        return false;
    }
    frame_width_ = static_cast<unsigned>(width);
    frame_height_ = static_cast<unsigned>(height);
    return true;
}

void gil_slideshow_core::create_target_frame(unsigned width, unsigned height) {
    log_line(logger::info()) << "[gil_slideshow_core] create target frame " << width << "x" << height
                             << std::endl;
    if (target_width_ == width && target_height_ == height)
        return;
    target_width_ = width;
    target_height_ = height;
    boost::gil::rgb8_image_t resized = frame_of(width, height);
    target_frame_.swap(resized);
    composer_.clear();
    composer_.complete();
    // The cache decodes each photo for the frame it is drawn on: a picture
    // decoded for the old size (a preview's, say) would show the photo at
    // another scale, and what a frame shows would depend on which renders
    // came before.
    cache_->reset();
}

void gil_slideshow_core::on_change_timeline() {
    log_line(logger::info()) << "[gil_slideshow_core][on_change_timeline]" << std::endl;
    change_when_free(timeline_change);
}

void gil_slideshow_core::set_unanswered_photos(const std::set<std::string>& paths) {
    {
        // The set and its mark together: a render between them would take
        // the one without the other.
        boost::lock_guard<boost::mutex> kept(kept_mutex_);
        kept_unanswered_ = paths;
        kept_changes_ |= unanswered_change;
    }
    change_when_free(unanswered_change);
}

bool gil_slideshow_core::photo_unanswered(const std::string& path) const {
    boost::lock_guard<boost::mutex> lock(unanswered_mutex_);
    return !unanswered_photos_.empty() && unanswered_photos_.count(path) != 0;
}

unsigned long long gil_slideshow_core::new_reader_id() {
    static std::atomic<unsigned long long> last{0};
    return ++last;
}

void gil_slideshow_core::on_change_video_time(double t) { render_for(reader_ref(), t); }

void gil_slideshow_core::render_for(const reader_ref& reader, double t) {
    boost::lock_guard<boost::mutex> lock(core_mutex_);
    render_locked(reader, t);
}

void gil_slideshow_core::render_locked(const reader_ref& reader, double t) {
    print_render_time(t);
    make_kept_changes();
    // A failed draw still leaves the frame whole: it stands for t as well.
    rendered_for_ = reader.id;
    rendered_at_ = t;
    composer_.clear();
    // The frame is whole when the render ends, also when a draw fails.
    struct completion {
        gil_compose_frame& composer;
        const std::atomic<bool>*& given_up_of_render;
        ~completion() {
            composer.complete();
            given_up_of_render = nullptr;
        }
    } complete_frame{composer_, given_up_of_render_};
    given_up_of_render_ = reader.given_up;
    if (!owner_)
        return;
    const unsigned slides = count();
    const gil_compose_frame::transition r =
        gil_compose_frame::transition_at(gil_compose_frame::durations{d_, tr_}, t, slides);
    const double duration = slide_duration();
    draw_visible(slides, r.index_a, r.weight_a, r.time_a, duration);
    draw_visible(slides, r.index_b, r.weight_b, r.time_b, duration);
}

gil_slideshow_core::frame_ptr gil_slideshow_core::take_frame_for(const reader_ref& reader, double t) {
    make_kept_changes();
    if (reader.id == 0 || rendered_for_ != reader.id || !(rendered_at_ == t))
        render_locked(reader, t);
    rendered_for_ = 0;
    // The render that follows every take writes every pixel of the new
    // buffer; nothing reads it before.
    const auto taken = boost::make_shared<boost::gil::rgb8_image_t>(frame_of(target_width_, target_height_));
    taken->swap(target_frame_);
    return taken;
}

void gil_slideshow_core::draw_visible(unsigned slides, int index, double weight, double local_time,
                                      double duration) {
    if (index < 0 || static_cast<unsigned>(index) >= slides)
        return;
    slide_ptr shown;
    try {
        shown = owner_->get_slide(static_cast<unsigned>(index));
    } catch (const errors::failure&) {
        return; // removed while this frame was being drawn
    }
    const cache::picture_ptr picture = cache_->get(static_cast<unsigned>(index));
    if (picture && picture->width() != 0 && picture->height() != 0)
        photo_drawn_ = true;
    // Weight 0 adds nothing to any pixel: the frame is the same without
    // the pass (the slide was still asked for, so its neighbour loads ahead).
    if (!picture || picture->width() == 0 || picture->height() == 0 || weight == 0.0)
        return;
    const std::string name = motion_name(*shown);
    if (name.empty())
        return; // the photo went away after its picture was decoded
    draw_slide(picture, weight, local_time / duration, name);
}

std::string gil_slideshow_core::motion_name(const slide& shown) const {
    return owner_ && owner_->ken_burns_enabled ? shown.impl()->ken_burns_effect() : "static";
}

double gil_slideshow_core::progress_margin() const {
    // As the timeline has it: the fade takes half of the shorter of the
    // transition and the slide on either side of the boundary.
    const double half = 0.5 * std::min(tr_, d_);
    return d_ > 0 && half > 0 ? half / d_ : 0.0;
}

void gil_slideshow_core::draw_slide(const gil_compose_frame::picture_ptr& picture, double weight,
                                    double progress, const std::string& effect) {
    const ken_burns_ptr motion =
        create_ken_burns(static_cast<int>(target_frame_.width()), static_cast<int>(target_frame_.height()),
                         static_cast<int>(picture->width()), static_cast<int>(picture->height()), effect);
    const affine_transform S = motion->start();
    const affine_transform E = motion->end();
    // Not clamped: before its start and after its end (inside transitions)
    // the slide keeps moving along the same straight line.
    const affine_transform M = {S.a + (E.a - S.a) * progress, S.b + (E.b - S.b) * progress,
                                S.c + (E.c - S.c) * progress, S.d + (E.d - S.d) * progress,
                                S.e + (E.e - S.e) * progress, S.f + (E.f - S.f) * progress};
    composer_.draw(picture, M, weight);
}

} // namespace slideshow2
} // namespace kestrel
