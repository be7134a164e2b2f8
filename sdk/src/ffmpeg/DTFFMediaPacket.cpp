#include "DTFFMediaPacket.h"

#include "base/DTErrors.h"

#include <cstring>

namespace kestrel {

AVPacket* ff_media_packet::av_packet(const media_packet& packet) {
    auto* impl = dynamic_cast<const ff_media_packet_impl*>(packet.impl());
    return impl ? impl->packet().get() : nullptr;
}

AVPacketPtr dt_decoder_packet(const media_packet& packet) {
    AVPacketPtr local = dt_alloc_packet();
    if (const AVPacket* source = ff_media_packet::av_packet(packet)) {
        if (av_packet_ref(local.get(), source) < 0)
            KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("av_packet_ref"));
        return local;
    }
    const int size = packet.data() && packet.size() > 0 ? packet.size() : 0;
    if (av_new_packet(local.get(), size) < 0)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("av_new_packet"));
    if (size > 0)
        std::memcpy(local->data, packet.data(), static_cast<std::size_t>(size));
    local->pts = packet.pts();
    local->dts = packet.dts();
    local->duration = packet.duration();
    local->flags = packet.flags();
    return local;
}

} // namespace kestrel
