#include "slideshow2/DTSlideshowProduce.h"

#include "DTLog.h"
#include "slideshow2/DTSlideshowProduceSimple.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

slideshow_produce::Impl::~Impl() = default;

slideshow_produce::~slideshow_produce() { delete impl_; }

slideshow_produce_ptr slideshow_produce_creator::create(const av_source_ptr& source,
                                                        const slideshow_ptr& slideshow,
                                                        const buffering_switch& set_buffered,
                                                        const std::string& output_path,
                                                        media_settings_ptr settings) {
    log_line(logger::info()) << "[slideshow_produce_creator]" << std::endl;
    return boost::make_shared<slideshow_produce_simple>(source, slideshow, set_buffered,
                                                        output_path, settings);
}

} // namespace slideshow2
} // namespace kestrel
