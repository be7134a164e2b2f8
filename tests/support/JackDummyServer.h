#pragma once
// A JACK server of its own for sound tests on machines without a sound
// card: `jackd --no-realtime -d dummy -r 44100 -p 512` under a name unique
// to this process, which consumes sound in real time like a device. While
// it lives it is the default server of the process (JACK_DEFAULT_SERVER),
// so PortAudio, initialised after it started, finds it as its default
// output. Not thread-safe; one at a time.

#include <string>
#include <sys/types.h>

namespace kestrel {
namespace test {

class jack_dummy_server {
public:
    // Throws std::runtime_error when jackd does not start or answer in 10 s.
    jack_dummy_server();
    // Ends the server and waits for it; restores the environment.
    ~jack_dummy_server();
    jack_dummy_server(const jack_dummy_server&) = delete;
    jack_dummy_server& operator=(const jack_dummy_server&) = delete;

    const std::string& name() const { return name_; }

private:
    bool answers() const;
    void stop();

    std::string name_;
    pid_t pid_ = -1;
    bool had_default_ = false;
    std::string previous_default_;
};

} // namespace test
} // namespace kestrel
