#pragma once
// libx264 alone, set up exactly as the producer's output presets set it up,
// encoding pictures prepared beforehand (already YUV 4:2:0): the time and
// memory that a whole production is measured against.

#include "ffmpeg/DTFFHandles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct encoder_figures {
    int width = 0;
    int height = 0;
    double seconds = 0.0;
    size_t bytes = 0;
    double peak_mb = 0.0; // the process's peak (VmHWM) at the end
};

// The preset's video codec opened for `width` x `height` YUV 4:2:0
// pictures, 25 a second, with the preset's codec options. Throws
// std::runtime_error when FFmpeg fails, as the functions below do.
kestrel::AVCodecContextPtr open_encoder(const std::string& preset, int width, int height);

// Sends `frames` pictures to the open encoder, the given ones in turn again
// and again (their pts set 0, 1, ...), then flushes it; the packets'
// bytes.
size_t encode_frames(AVCodecContext* encoder, const std::vector<kestrel::AVFramePtr>& pictures, int frames);

// Encodes `frames` pictures, the prepared ones in turn again and again, 25
// a second with the preset's codec options; the time counts the encoding
// alone.
encoder_figures encode_prepared(const std::string& preset, int frames,
                                const std::vector<kestrel::AVFramePtr>& pictures);

// 25 smooth synthetic pictures at the preset's frame height and the width
// of `aspect`, panning a little from one to the next.
std::vector<kestrel::AVFramePtr> synthetic_pictures(const std::string& preset, double aspect);

// A packed RGB picture converted to YUV 4:2:0 as the producer converts it.
kestrel::AVFramePtr yuv_picture(const uint8_t* rgb, int line_size, int width, int height);

// encode_prepared over the synthetic pictures.
encoder_figures encode_alone(const std::string& preset, int frames, double aspect);

} // namespace bench
