#pragma once
// The packets an FFmpeg encoder has finished, queued until get_packet takes
// them, each stamped with the codec's time base.

#include "DTFFHandles.h"
#include "media/DTPacketQueue.h"

namespace kestrel {

class ff_encoded_packets {
public:
    // Takes every packet the codec has ready. A packet without a duration
    // gets `default_duration` when that is above 0. Returns 0, or the failed
    // avcodec_receive_packet result.
    int receive(AVCodecContext* context, int media_type, int64_t default_duration = 0);
    // The oldest packet, or an empty pointer.
    media_packet_ptr next() { return packets_.try_pop(); }

private:
    packet_queue packets_;
};

} // namespace kestrel
