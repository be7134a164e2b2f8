#pragma once
// The stamps a container can place, checked for each packet before FFmpeg
// sees it: some of FFmpeg's muxers assert (abort the process) rather than
// fail on stamps they cannot store (mov/mp4 keep the presentation offset of
// a sample in 32 bits and abort in the trailer when the first one wrapped),
// and MPEG's hangs or aborts on a packet far before the file's start; AVI's
// fills a gap between two packets with an empty frame a tick, gigabytes
// for a far jump. All stamps in the stream's time base; AV_NOPTS_VALUE is
// "not set". A packet is refused with errors::invalid_argument, and its
// stamps then count for nothing. Used by one muxer on its caller's thread.

extern "C" {
#include <libavutil/rational.h>
}

#include <cstdint>
#include <vector>

namespace kestrel {

class ff_packet_stamps {
public:
    // Equal decoding stamps in a row are allowed only where the container
    // allows them (FFmpeg's AVFMT_TS_NONSTRICT).
    ff_packet_stamps(unsigned int streams, bool equal_dts_allowed);

    // Refuses a packet presented before it is decoded; one not decoded after
    // its stream's previous packet, or more than an hour after it, or
    // decoded after jumps of more than a second that skip more than an hour
    // in all; the first
    // of a stream stamped more than an hour away from 0; one presented so
    // long after it is decoded that the offset does not fit 32 bits; one
    // decoded more than a second before the file's first packet. The error
    // names the stream and the stamps. Records the packet's stamps otherwise.
    void admit(int stream, int64_t pts, int64_t dts, AVRational time_base);

private:
    // Per stream: the decoding stamp of its last packet, unset until it has one.
    std::vector<int64_t> last_dts_;
    // Per stream: microseconds skipped by its jumps so far.
    std::vector<int64_t> skipped_;
    bool equal_dts_allowed_;
    // Microseconds: the decoding time of the file's first packet.
    int64_t first_time_;
};

// `stamp` from one time base to another; errors::invalid_argument when a
// set stamp does not fit the new one.
int64_t ff_rescale_stamp(int64_t stamp, AVRational from, AVRational to);

} // namespace kestrel
