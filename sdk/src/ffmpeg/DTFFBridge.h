#pragma once
// Where the library's FFmpeg-free code reaches FFmpeg: one maker per
// FFmpeg-backed kind, declared without FFmpeg's headers. FFmpeg is a private
// dependency of the library, compiled against only by the sources of this
// folder; the rest of the library includes this header instead of theirs.
// Each maker throws what the made object's constructor throws.

#include "base/DTTypes.h"
#include "encoders/DTMediaMuxer.h"
#include "media/DTAudioConvert.h"
#include "media/DTPictureConvert.h"
#include "media/DTVideoData.h"

#include <string>
#include <vector>

namespace kestrel {

// An FFmpeg resampler (ff_swresample) from source to target format.
audio_convert_ptr create_ff_audio_convert(const audio_format* source, const audio_format* target);

// FFmpeg's writer of the container ("mp4", "avi", ...) over the opened
// encoders' codec contexts, in stream order.
media_muxer_ptr create_ff_media_muxer(const std::string& container, const std::string& path,
                                      std::vector<void*> codecs);

// FFmpeg's scaler; flags are SWS_* scaling flags.
picture_convert_ptr create_ff_picture_convert(int src_width, int src_height,
                                              dt_pixel_format_t src_format, int dst_width,
                                              int dst_height, dt_pixel_format_t dst_format,
                                              int flags);

// A deep copy of any picture into a new FFmpeg-backed one.
video_data_ptr create_ff_video_data_copy(const video_data::Impl& source);

// The fraction nearest to value whose terms are at most max_term (FFmpeg's
// av_d2q): 1.7777 with 255 gives 16/9.
dt_rational_t ff_nearest_rational(double value, int max_term);

} // namespace kestrel
