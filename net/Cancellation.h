#pragma once
// A switch that ends downloads from another thread. Copies share one switch.
// A stream that carries it as an option (urdl::istream::set_option) watches
// it from its open on: cancel() ends the open or the read in progress at
// once with operation_aborted, and every later open or read of that stream
// fails the same way without touching the network. cancel() from any
// thread, as often as wanted; it never waits for the streams.
// A default-made switch is one of its own, cancelled by nobody else.

#include <functional>
#include <memory>

namespace urdl {

class cancellation {
public:
    cancellation();

    void cancel() const;
    bool cancelled() const;

    // For the client's streams: `stop` runs once when the switch is
    // cancelled (at once, here, when it already is), and never after the
    // returned watch is gone. It runs on the cancelling thread under the
    // switch's lock, so it must only hand the stop over to the stream's
    // own thread (post it).
    class watch;
    std::unique_ptr<watch> on_cancel(std::function<void()> stop) const;

private:
    struct state;
    std::shared_ptr<state> state_;
};

class cancellation::watch {
public:
    ~watch();
    watch(const watch&) = delete;
    watch& operator=(const watch&) = delete;

private:
    friend class cancellation;
    watch(std::shared_ptr<state> switch_state, unsigned long id);

    std::shared_ptr<state> state_;
    unsigned long id_;
};

} // namespace urdl
