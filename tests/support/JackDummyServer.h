#pragma once
// A JACK server of its own for sound tests on machines without a sound card:
// `jackd --no-realtime -d dummy -r <rate> -p <period>` under a name of its
// own (the process's id, a count and a random part: a run in parallel, or one
// whose process's id was used before, never meets a server of another that is
// still ending), which consumes sound in real time like a device. While it
// lives it is the default server of the process (JACK_DEFAULT_SERVER), so
// PortAudio, initialised after it started, finds it as its default output; it
// may also be named so first and started later, as a server that comes while
// a program looks for one. The server ends in order with the thread that made
// it, also when the test process dies unasked. A start first frees the places
// in JACK's registry that servers of test processes now gone were killed in.
// Not thread-safe; one at a time.

#include <string>
#include <sys/types.h>

namespace kestrel {
namespace test {

class jack_dummy_server {
public:
    // `period`: frames a cycle. Throws std::runtime_error when jackd does
    // not start or answer in 10 s.
    explicit jack_dummy_server(int rate = 44100, bool start_now = true, int period = 512);
    // Ends the server and waits for it (frees its name in JACK's registry
    // when it was killed, and what clients that never closed left);
    // restores the environment.
    ~jack_dummy_server();
    jack_dummy_server(const jack_dummy_server&) = delete;
    jack_dummy_server& operator=(const jack_dummy_server&) = delete;

    const std::string& name() const { return name_; }
    // Starts the server named at construction; throws as the constructor
    // does.
    void start();
    // Ends the server by `signal` now (SIGKILL after 5 s) and waits for it,
    // as the session may end a sound server under a program.
    void end(int signal);

private:
    // Removes what its clients left in /dev/shm.
    void forget_clients() const;

    std::string name_;
    int rate_;
    int period_;
    pid_t pid_ = -1;
    bool left_registered_ = false; // killed: its name still takes a place
    bool had_default_ = false;
    std::string previous_default_;
};

} // namespace test
} // namespace kestrel
