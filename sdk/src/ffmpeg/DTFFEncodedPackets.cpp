#include "DTFFEncodedPackets.h"

#include "DTFFMediaPacket.h"

#include <boost/make_shared.hpp>

namespace kestrel {

int ff_encoded_packets::receive(AVCodecContext* context, int media_type,
                                int64_t default_duration) {
    const dt_rational_t time_base(context->time_base.num, context->time_base.den);
    for (;;) {
        AVPacketPtr packet = dt_alloc_packet();
        const int result = avcodec_receive_packet(context, packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return 0;
        if (result < 0)
            return result;
        if (packet->duration <= 0 && default_duration > 0)
            packet->duration = default_duration;
        packets_.push(boost::make_shared<ff_media_packet>(packet, media_type, time_base));
    }
}

} // namespace kestrel
