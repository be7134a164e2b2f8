#include "DTVideoData.h"

#include "ffmpeg/DTFFPicture.h"

#include <boost/make_shared.hpp>

namespace kestrel {

video_data::Impl::~Impl() = default;

video_data::~video_data() = default;

video_data_ptr video_data::Impl::copy() const { return boost::make_shared<ff_video_data>(*this); }

} // namespace kestrel
