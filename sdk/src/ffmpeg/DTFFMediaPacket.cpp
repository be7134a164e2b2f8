#include "DTFFMediaPacket.h"

namespace kestrel {

AVPacket* ff_media_packet::av_packet(const media_packet& packet) {
    auto* impl = dynamic_cast<const ff_media_packet_impl*>(packet.impl());
    return impl ? impl->packet().get() : nullptr;
}

} // namespace kestrel
