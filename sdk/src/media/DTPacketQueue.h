#pragma once
// A first-in first-out queue of packets that producers and a consumer on
// different threads may share. With the default capacity it never makes a
// producer wait.

#include "media/DTMediaPacket.h"

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>

#include <cstdint>
#include <deque>
#include <limits>

namespace kestrel {

class packet_queue {
public:
    explicit packet_queue(uint32_t capacity = std::numeric_limits<uint32_t>::max())
        : capacity_(capacity) {}

    // Appends at the back, waiting for room while the queue is full.
    void push(const media_packet_ptr& packet);
    // The front packet, or an empty pointer when none is queued.
    media_packet_ptr try_pop();
    // The front packet; while none is queued, fill() is asked to queue more
    // (it returns false when nothing more will come: then an empty pointer).
    template <class Fill>
    media_packet_ptr take(Fill fill) {
        for (;;) {
            if (media_packet_ptr packet = try_pop())
                return packet;
            if (!fill())
                return media_packet_ptr();
        }
    }
    // Drops every queued packet.
    void clear();

private:
    boost::mutex mutex_;
    boost::condition_variable room_;
    std::deque<media_packet_ptr> packets_;
    const uint32_t capacity_;
};

} // namespace kestrel
