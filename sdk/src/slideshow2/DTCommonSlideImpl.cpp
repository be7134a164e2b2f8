#include "DTCommonSlideImpl.h"

#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "files/DTFailureReason.h"
#include "image/DTPhotoDescText.h"
#include "slideshow2/DTKenBurnsRegistry.h"
#include "slideshow2/DTPhoto.h"

#include <boost/make_shared.hpp>
#include <boost/thread/mutex.hpp>

#include <exception>

namespace kestrel {
namespace slideshow2 {

struct common_slide_impl::state {
    mutable boost::mutex mutex;
    photo_ptr photo;
    ken_burns_desc names;
    // What the latest open was asked to open.
    std::string path;
    // Why the latest open found no photo; empty after a success.
    refused_file open_failure;
    // Counts the opens; a completion stores its photo only when it belongs
    // to the latest one.
    unsigned long long opens = 0;
};

namespace {

void log_warning(const char* text) { log_line(logger::warning()) << text << std::endl; }

// Reads an earlier properties text over the fresh names and the default
// description; whatever cannot be read keeps its value.
void read_properties(const std::string& text, ken_burns_desc& names, image::photo_desc& stored) {
    slide_properties_t properties;
    if (!slide_properties_from_xml(text, properties)) {
        log_warning("[open_photo] deserialize slide properties error");
        return;
    }
    if (!ken_burns_desc_from_xml(properties.ken_burns, names))
        log_warning("[open_photo] deserialize ken burns error");
    if (!image::photo_desc_from_xml(properties.photo_properties, stored))
        log_warning("[open_photo] deserialize photo desc error");
}

} // namespace

common_slide_impl::common_slide_impl() : state_(boost::make_shared<state>()) {}

common_slide_impl::~common_slide_impl() = default;

ControllerPtr common_slide_impl::open_photo(photo_manager_ptr manager, const std::string& path,
                                            media_settings_ptr settings, slide::open_callback on_open,
                                            const std::string& properties) {
    if (!manager)
        KESTREL_THROW(errors::invalid_pointer());

    ken_burns_desc names;
    ken_burns_draw draw = ken_burns_draw_for(path);
    names.landscape = random_ken_burns_name(ken_burns_kind_landscape, draw);
    names.portrait = random_ken_burns_name(ken_burns_kind_portrait, draw);
    image::photo_desc stored;
    if (!properties.empty())
        read_properties(properties, names, stored);

    unsigned long long open_number;
    {
        boost::mutex::scoped_lock lock(state_->mutex);
        state_->names = names;
        state_->path = path;
        open_number = ++state_->opens;
    }
    const boost::weak_ptr<state> target(state_);
    const int rotation = stored.transform.rotate;
    return manager->open_explained(
        path, settings,
        [target, open_number, rotation, on_open](photo_manager::OpenResult result, photo_ptr loaded,
                                                 const refused_file& reason) {
            complete_open(target, open_number, rotation, on_open, result, loaded, reason);
        });
}

void common_slide_impl::complete_open(const boost::weak_ptr<state>& target, unsigned long long open_number,
                                      int stored_rotation, const slide::open_callback& on_open,
                                      photo_manager::OpenResult result, photo_ptr loaded, refused_file reason) {
    slide::OpenResult answer = slide::not_opened;
    if (const boost::shared_ptr<state> slide = target.lock()) {
        if (result != photo_manager::opened)
            loaded.reset();
        if (loaded && image::rotation_to_quarter_turns(stored_rotation) != 0) {
            try {
                loaded->impl()->rotate(stored_rotation);
            } catch (...) {
                reason = refused_file{file_refusal::none, errors::reason_of(std::current_exception())};
                log_line(logger::warning()) << "[open_photo] stored rotation failed: " << reason.words << std::endl;
                loaded.reset();
            }
        }
        boost::mutex::scoped_lock lock(slide->mutex);
        if (slide->opens == open_number) {
            slide->photo = loaded;
            slide->open_failure = loaded ? refused_file() : reason;
            if (loaded)
                answer = slide::opened;
        }
    }
    if (on_open)
        on_open(answer);
}

std::string common_slide_impl::get_properties() const {
    photo_ptr current;
    ken_burns_desc names;
    snapshot(current, names);
    if (!current) {
        log_warning("[common_slide_impl::get_properties] : empty photo");
        return std::string();
    }
    slide_properties_t properties;
    properties.ken_burns = ken_burns_desc_to_xml(names);
    properties.photo_properties = image::photo_desc_to_xml(current->desc());
    return slide_properties_to_xml(properties);
}

void common_slide_impl::rotate(int code) {
    if (const photo_ptr current = photo())
        current->impl()->rotate(code);
}

video_data_ptr common_slide_impl::thumbnail() const {
    const photo_ptr current = photo();
    if (!current)
        return video_data_ptr();
    if (!current->impl()) {
        log_line(logger::error()) << "[common_slide_impl::thumbnail] : impl == NULL" << std::endl;
        KESTREL_THROW(errors::unexpected());
    }
    return current->impl()->picture();
}

std::string common_slide_impl::ken_burns_effect() const {
    photo_ptr current;
    ken_burns_desc names;
    snapshot(current, names);
    if (!current)
        return std::string();
    // A square photo counts as landscape.
    return current->impl()->width() >= current->impl()->height() ? names.landscape : names.portrait;
}

void common_slide_impl::snapshot(photo_ptr& current, ken_burns_desc& names) const {
    boost::mutex::scoped_lock lock(state_->mutex);
    current = state_->photo;
    names = state_->names;
}

photo_ptr common_slide_impl::photo() const {
    boost::mutex::scoped_lock lock(state_->mutex);
    return state_->photo;
}

std::string common_slide_impl::photo_path() const {
    boost::mutex::scoped_lock lock(state_->mutex);
    return state_->path;
}

refused_file common_slide_impl::open_failure() const {
    boost::mutex::scoped_lock lock(state_->mutex);
    return state_->open_failure;
}

std::string common_slide_impl::photo_damage() const {
    const photo_ptr current = photo();
    return current ? current->impl()->damage() : std::string();
}

} // namespace slideshow2
} // namespace kestrel
