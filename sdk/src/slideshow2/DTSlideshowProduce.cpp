#include "slideshow2/DTSlideshowProduce.h"

#include "base/DTLog.h"
#include "slideshow2/DTSlideshow.h"
#include "slideshow2/DTSlideshowProduceSimple.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

slideshow_produce::Impl::~Impl() = default;

slideshow_produce_ptr slideshow_produce_creator::create(const av_source_ptr& source,
                                                        const slideshow_ptr& slideshow,
                                                        const buffering_switch& set_buffered,
                                                        const std::string& output_path,
                                                        media_settings_ptr settings) {
    log_line(logger::info()) << "[slideshow_produce_creator]" << std::endl;
    return boost::make_shared<slideshow_produce_simple>(source, slideshow, set_buffered,
                                                        output_path, settings);
}

slideshow_produce_ptr slideshow_produce_creator::create(const slideshow_ptr& slideshow,
                                                        const std::string& output_path,
                                                        media_settings_ptr settings) {
    if (!slideshow)
        return create(av_source_ptr(), slideshow, buffering_switch(), output_path, settings);
    // The producer keeps the slideshow as long as it may switch it.
    slideshow2::slideshow* const show = slideshow.get();
    return create(slideshow->av_source(), slideshow,
                  [show](bool buffered) { show->set_buffered(buffered); }, output_path, settings);
}

} // namespace slideshow2
} // namespace kestrel
