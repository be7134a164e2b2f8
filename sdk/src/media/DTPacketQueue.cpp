#include "media/DTPacketQueue.h"

namespace kestrel {

void packet_queue::push(const media_packet_ptr& packet) {
    boost::unique_lock<boost::mutex> lock(mutex_);
    while (packets_.size() >= capacity_)
        room_.wait(lock);
    packets_.push_back(packet);
}

media_packet_ptr packet_queue::try_pop() {
    media_packet_ptr packet;
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        if (packets_.empty())
            return packet;
        packet = packets_.front();
        packets_.pop_front();
    }
    room_.notify_one();
    return packet;
}

void packet_queue::clear() {
    std::deque<media_packet_ptr> dropped;
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        dropped.swap(packets_);
    }
    room_.notify_all();
}

} // namespace kestrel
