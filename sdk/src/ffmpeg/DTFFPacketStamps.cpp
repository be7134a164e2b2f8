#include "DTFFPacketStamps.h"

#include "base/DTErrors.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

#include <limits>
#include <string>

namespace kestrel {

namespace {

// How far from 0 a stream may begin, and how far one packet may be decoded
// after its stream's previous one. Encoders start at or a few frames
// before 0 (reordering, codec delay), a show never starts later and its
// packets follow each other closely; an hour leaves room for any of that
// while keeping the first packet's stamps, and the offsets between them,
// inside the 32 bits mov/mp4 store them in for every time base up to
// 1/596523, and bounds what a muxer makes of one gap (AVI's fills it with
// an empty frame a tick of the stream's time base: 90 000 at 1/25).
const int64_t most_seconds_apart = 3600;

// A jump: a packet decoded more than a second after its stream's previous
// one, which no encoder hands over. A stream's jumps together may skip at
// most an hour (most_seconds_apart), or many of them, each below the hour,
// would still have AVI fill gigabytes from a few kilobytes. Microseconds.
const int64_t shortest_jump = AV_TIME_BASE;

// How far a packet may be decoded before the file's first one, in
// microseconds.
const int64_t most_reordering = AV_TIME_BASE;

[[noreturn]] void refuse(const std::string& why) {
    KESTREL_THROW(errors::invalid_argument("muxer : " + why));
}

std::string stamp_text(int64_t stamp) {
    return stamp == AV_NOPTS_VALUE ? "unset" : std::to_string(stamp);
}

int64_t magnitude(int64_t stamp) { return stamp < 0 ? -stamp : stamp; }

// b - a without overflow, for a <= b.
uint64_t distance(int64_t a, int64_t b) {
    return static_cast<uint64_t>(b) - static_cast<uint64_t>(a);
}

} // namespace

ff_packet_stamps::ff_packet_stamps(unsigned int streams, bool equal_dts_allowed)
    : last_dts_(streams, AV_NOPTS_VALUE), skipped_(streams, 0),
      equal_dts_allowed_(equal_dts_allowed), first_time_(AV_NOPTS_VALUE) {}

void ff_packet_stamps::admit(int stream, int64_t pts, int64_t dts, AVRational time_base) {
    int64_t& last_dts = last_dts_.at(static_cast<std::size_t>(stream));
    // The refused packet's stamps, for whoever reads the error.
    auto refuse_packet = [&](const char* why) {
        refuse(why + std::string(" (stream ") + std::to_string(stream) + ": pts " +
               stamp_text(pts) + ", dts " + stamp_text(dts) + ", previous dts " +
               stamp_text(last_dts) + ", time base " + std::to_string(time_base.num) + "/" +
               std::to_string(time_base.den) + ")");
    };
    // Where the decoding stamp is missing FFmpeg takes the presentation
    // stamp for it.
    const int64_t decoded = dts != AV_NOPTS_VALUE ? dts : pts;
    if (pts != AV_NOPTS_VALUE && dts != AV_NOPTS_VALUE) {
        if (pts < dts)
            refuse_packet("packet presented before it is decoded");
        if (distance(dts, pts) > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
            refuse_packet("packet presented too long after it is decoded");
    }
    if (decoded == AV_NOPTS_VALUE)
        return;
    const int64_t most = av_rescale_q(most_seconds_apart, AVRational{1, 1}, time_base);
    if (last_dts == AV_NOPTS_VALUE) {
        if (magnitude(decoded) > most || (pts != AV_NOPTS_VALUE && magnitude(pts) > most))
            refuse_packet("stream starts more than an hour away from 0");
    } else if (decoded < last_dts || (decoded == last_dts && !equal_dts_allowed_)) {
        refuse_packet("packet not decoded after the previous one of its stream");
    } else if (distance(last_dts, decoded) > static_cast<uint64_t>(most)) {
        refuse_packet("packet decoded more than an hour after the previous one of its stream");
    } else {
        // Within the hour, so the gap rescales without overflow.
        const int64_t gap = av_rescale_q(decoded - last_dts, time_base, AVRational{1, AV_TIME_BASE});
        int64_t& skipped = skipped_.at(static_cast<std::size_t>(stream));
        if (gap > shortest_jump && skipped + gap > most_seconds_apart * AV_TIME_BASE)
            refuse_packet("packets of the stream skip more than an hour in all");
        if (gap > shortest_jump)
            skipped += gap;
    }
    const int64_t time = av_rescale_q(decoded, time_base, AVRational{1, AV_TIME_BASE});
    if (first_time_ != AV_NOPTS_VALUE && time < first_time_ - most_reordering)
        refuse_packet("packet decoded long before the file's first one");

    if (first_time_ == AV_NOPTS_VALUE)
        first_time_ = time;
    last_dts = decoded;
}

int64_t ff_rescale_stamp(int64_t stamp, AVRational from, AVRational to) {
    if (stamp == AV_NOPTS_VALUE)
        return stamp;
    const int64_t rescaled = av_rescale_q(stamp, from, to);
    // av_rescale_q answers an overflow with INT64_MIN, which is "not set".
    if (rescaled == AV_NOPTS_VALUE)
        refuse("stamp out of range");
    return rescaled;
}

} // namespace kestrel
