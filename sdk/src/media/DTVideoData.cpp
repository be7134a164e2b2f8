#include "media/DTVideoData.h"

#include "ffmpeg/DTFFBridge.h"

namespace kestrel {

video_data::Impl::~Impl() = default;

video_data::~video_data() = default;

video_data_ptr video_data::Impl::copy() const { return create_ff_video_data_copy(*this); }

} // namespace kestrel
