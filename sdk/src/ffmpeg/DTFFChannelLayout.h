#pragma once
// The library keeps channel layouts as 64-bit masks; FFmpeg takes an
// AVChannelLayout. These two functions are the only crossing.

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/common.h>
}

#include <cstdint>

namespace kestrel {

// The mask's layout when it names exactly `channels` channels, otherwise
// FFmpeg's default layout for the channel count (a mask of 0 means "the
// default"; one that disagrees with the count cannot describe the samples).
AVChannelLayout ff_channel_layout(uint64_t mask, int channels);

// The mask of a layout in FFmpeg's native channel order, else 0.
uint64_t ff_channel_mask(const AVChannelLayout& layout);

} // namespace kestrel
