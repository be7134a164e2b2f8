#include "DTFFChannelLayout.h"

namespace kestrel {

AVChannelLayout ff_channel_layout(uint64_t mask, int channels) {
    AVChannelLayout layout{};
    if (mask != 0 && av_popcount64(mask) == channels &&
        av_channel_layout_from_mask(&layout, mask) == 0)
        return layout;
    av_channel_layout_default(&layout, channels);
    return layout;
}

uint64_t ff_channel_mask(const AVChannelLayout& layout) {
    return layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
}

} // namespace kestrel
