#include "OpenedSlides.h"

#include "image/DTPhotoDescText.h"
#include "slideshow2/DTPhotoManager.h"
#include "slideshow2/DTSlide.h"
#include "slideshow2/DTSlideProperties.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace kestrel {
namespace test {

namespace {

struct answers {
    std::mutex mutex;
    std::condition_variable arrived;
    std::size_t count = 0;
    std::size_t opened = 0;
};

} // namespace

std::string motion_properties(const std::string& motion) {
    slideshow2::slide_properties_t properties;
    properties.ken_burns = slideshow2::ken_burns_desc_to_xml({motion, motion});
    properties.photo_properties = image::photo_desc_to_xml(image::photo_desc());
    return slideshow2::slide_properties_to_xml(properties);
}

std::size_t open_slides(slideshow2::slideshow::Impl& show, const std::vector<std::string>& paths,
                        const std::string& motion) {
    const std::string properties = motion.empty() ? std::string() : motion_properties(motion);
    const auto seen = std::make_shared<answers>();
    {
        // Joined when it goes: every load has ended by then.
        const slideshow2::photo_manager_ptr manager =
            slideshow2::photo_manager::create(media_settings::create("max-side-length", "64"));
        for (const std::string& path : paths) {
            const slideshow2::slide_ptr slide = show.insert_slide(show.count());
            slide->open_photo(manager, path, media_settings_ptr(),
                              [seen](slideshow2::slide::OpenResult result) {
                                  std::lock_guard<std::mutex> lock(seen->mutex);
                                  ++seen->count;
                                  if (result == slideshow2::slide::opened)
                                      ++seen->opened;
                                  seen->arrived.notify_all();
                              },
                              properties);
        }
        std::unique_lock<std::mutex> lock(seen->mutex);
        if (!seen->arrived.wait_for(lock, std::chrono::minutes(1),
                                    [&] { return seen->count == paths.size(); }))
            throw std::runtime_error("photos still opening after a minute");
    }
    return seen->opened;
}

} // namespace test
} // namespace kestrel
