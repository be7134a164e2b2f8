#pragma once
// A JACK client of the test that hears what the program plays on the
// default JACK server (support/JackDummyServer.h): the first two audio
// outputs of every other client but the server's are connected to its two
// inputs as they appear (connectNew, asked often from the test's thread),
// and what its left input hears is taken as the clock music of
// MusicFiles.h: every `stride`th sample, when it was heard on the steady
// clock (its cycle's start and its place in the cycle), its frame on the
// server's count and the time in the music it tells (-1: silence; other
// music tells some time). When the server reported a cycle missed (an
// xrun) is kept too. Heard on JACK's process thread, read on the test's.

#include "support/MusicFiles.h"

#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace Multimedia {
namespace test {

class JackListener {
public:
    using Clock = std::chrono::steady_clock;
    struct Heard {
        Clock::time_point at;
        std::uint64_t frame;
        double musicMs; // -1: silence
    };
    static const jack_nframes_t stride = 16;

    JackListener()
    {
        client_ = jack_client_open("lumivista-test-ears", JackNoStartServer, nullptr);
        if (!client_)
            throw std::runtime_error("the listener cannot reach the JACK server");
        inputs_[0] = jack_port_register(client_, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        inputs_[1] = jack_port_register(client_, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        rate_ = jack_get_sample_rate(client_);
        jack_set_process_callback(client_, &JackListener::process, this);
        jack_set_xrun_callback(client_, &JackListener::xrun, this);
        if (!inputs_[0] || !inputs_[1] || jack_activate(client_) != 0) {
            jack_client_close(client_);
            throw std::runtime_error("the listener cannot listen");
        }
    }
    ~JackListener() { jack_client_close(client_); }
    JackListener(const JackListener&) = delete;
    JackListener& operator=(const JackListener&) = delete;

    double rate() const { return rate_; }

    void connectNew()
    {
        const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        if (!ports)
            return;
        const std::string own = std::string(jack_get_client_name(client_)) + ":";
        std::string client;
        int place = 0;
        for (const char** port = ports; *port; ++port) {
            const std::string name = *port;
            const std::string owner = name.substr(0, name.find(':') + 1);
            if (owner == own || owner == "system:")
                continue;
            place = owner == client ? place + 1 : 0;
            client = owner;
            if (place < 2 && !jack_port_connected_to(inputs_[place], name.c_str()))
                jack_connect(client_, name.c_str(), jack_port_name(inputs_[place]));
        }
        jack_free(ports);
    }

    std::vector<Heard> heard() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return heard_;
    }
    bool heardSound() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::any_of(heard_.begin(), heard_.end(), [](const Heard& h) { return h.musicMs >= 0.0; });
    }

    std::vector<Clock::time_point> xruns() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return xruns_;
    }

private:
    static int xrun(void* self)
    {
        auto& listener = *static_cast<JackListener*>(self);
        std::lock_guard<std::mutex> lock(listener.mutex_);
        listener.xruns_.push_back(Clock::now());
        return 0;
    }
    static int process(jack_nframes_t frames, void* self)
    {
        auto& listener = *static_cast<JackListener*>(self);
        const Clock::time_point cycle = Clock::now();
        const auto* left = static_cast<const float*>(jack_port_get_buffer(listener.inputs_[0], frames));
        std::lock_guard<std::mutex> lock(listener.mutex_);
        // The server's count may stand still for a cycle that came late:
        // then it goes on from the cycle before.
        const std::uint64_t first = std::max<std::uint64_t>(listener.next_, jack_last_frame_time(listener.client_));
        for (jack_nframes_t i = 0; i < frames; i += stride) {
            const auto offset = std::chrono::duration<double>(double(i) / listener.rate_);
            listener.heard_.push_back(Heard{cycle + std::chrono::duration_cast<Clock::duration>(offset), first + i,
                                            kestrel::test::clock_file_ms(left[i])});
        }
        listener.next_ = first + frames;
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* inputs_[2] = {nullptr, nullptr};
    double rate_ = 0.0;
    mutable std::mutex mutex_;
    std::vector<Heard> heard_;
    std::uint64_t next_ = 0; // the frame after the last cycle's
    std::vector<Clock::time_point> xruns_;
};

} // namespace test
} // namespace Multimedia
