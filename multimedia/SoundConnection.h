#pragma once
// The program's end of one sound process (SoundProcess.h), started from
// the launcher (componentmodel/ProgramLauncher.h), so that it holds none of
// the program's files. A thread of the connection's own (the pump) writes
// every word to the process and reads its words: the answers to asks, and
// what each callback of its stream played, from which the pump fills the
// process's queue a little ahead by calling the feed's stream callback.
// The stream time it gives each callback is how much of the epoch's sound
// has been heard by then, in seconds (so the preview's clock is what was
// heard, and stands while nothing is). An epoch is filled once the process
// has answered its start, which says how much of the epoch before its
// stream took: the feed then knows where the sound of the run it played
// there stops (SoundFeed::runHeard). Sound that is coming but not read yet
// is waited for while the process has enough queued to play meanwhile:
// made now, it would be silence in its place.
//
// Every ask waits for its answer within a bound: a process that does not
// answer in time is killed, and so is one whose words cannot be written or
// that says what is no word of it (SoundMessages::fitsTell). A connection
// whose process has ended (killed, or ended by the sound library) fails
// every ask at once. Asks come from one thread at a time; the destructor
// kills the process and joins the pump, which ends in a moment.

#include "multimedia/SoundProcessMessages.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace Multimedia {

class SoundFeed;

class SoundConnection {
public:
    // Starts the process `program`; throws std::runtime_error when it
    // cannot.
    explicit SoundConnection(const QString& program);
    ~SoundConnection();
    SoundConnection(const SoundConnection&) = delete;
    SoundConnection& operator=(const SoundConnection&) = delete;

    // The answer to `ask` (with `payload`) within `bound`. Throws
    // FormatRefused when the output refused the format, std::runtime_error
    // when the call failed otherwise, the process ended or did not answer
    // in time (it is then killed).
    int ask(SoundMessages::Ask ask, std::chrono::milliseconds bound, const void* payload = nullptr,
            std::size_t size = 0);
    // Asks the process to open its stream: the rate it plays at; as ask().
    double open(std::chrono::milliseconds bound);
    // Asks the process to play a new epoch from now on, what it queued
    // dropped (its stream started the first time): `feed`'s sound, sent
    // ahead, in which run `run` has begun (0: none, the feed plays
    // silence); as ask().
    int start(std::shared_ptr<SoundFeed> feed, std::uint64_t run, std::chrono::milliseconds bound);
    // No sound is sent from now on.
    void stopFeeding();
    bool ended() const;
    // The process's stream called back within `silence`, or has not been
    // started for that long.
    bool callsBack(std::chrono::milliseconds silence) const;
    // Kills the process: every ask fails from now on.
    void end();

private:
    struct State;
    // Queues the ask, runs `queued` on the state under its lock, and waits.
    int call(SoundMessages::Ask ask, std::chrono::milliseconds bound, const void* payload, std::size_t size,
             const std::function<void(State&, std::uint64_t)>& queued);
    static void pump(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
    std::thread pump_;
};

} // namespace Multimedia
