#pragma once
// The life of a player's output stream, on a thread of its own: opened,
// started, started again for each run, closed, and another opened in its
// place. The player says what it wants (want: a stream playing a feed, and
// the run the feed plays, 0 for none) and never waits: the thread gets
// there one call at a time and reports what the player must know through
// `report`, which must only post.
//
// An open stream always runs, playing silence outside a run, so that an
// output that goes away is seen whatever the player does: the thread looks
// every 200 ms whether its stream still runs. A run that ends (want with
// run 0) holds the stream: what it queued ahead and has not played is
// dropped (AudioStream::hold), and the player told. (PortAudio's JACK
// host API waits ten minutes to stop a stream whose server has gone, then
// ends the process as it closes it; a stopped one ends the process at
// once.)
//
// Nothing here waits on the caller's thread. A call that never returns
// holds this thread alone; what the player wants meanwhile waits for it. A
// stream whose callbacks ended without its feed ending them (a stream that
// no longer calls back is given two seconds to show it), or a call into
// which failed after taking longer than hungAfter, is lost: never called
// again, kept by the output for good. The output is let go whenever no
// stream is open, so the next look at it is a fresh one. A stream that
// could not be opened is tried again about every second while its feed is
// wanted; a feed whose stream once started gets no second stream (the
// player makes a new feed).
//
// The destructor lets the thread go: it closes its stream (one that no
// longer calls back is left as it is), lets the output go and ends on its
// own, owning all it touches; the destructor joins it only if it ends
// within a moment.

#include "multimedia/AudioOutput.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace Multimedia {

class SoundFeed;

class StreamThread {
public:
    enum class Step {
        NoDevice,   // no output device at all; looked for again in a second
        OpenFailed, // the stream could not be opened; tried again in a second
        Refused,    // the output takes none of the stream's formats (why);
                    // tried again in a second
        Opened,     // a stream of the feed is open and runs, playing silence
        Started,    // it was started again for the run
        Held,       // the run ended: its feed knows where its sound stopped
        Lost,       // it failed or its output went away: the feed gets no
                    // other stream
    };
    struct Report {
        Step step;
        std::uint64_t feed; // SoundFeed::id()
        std::uint64_t run;
        std::string why;
    };

    static constexpr std::chrono::milliseconds hungAfter{3000};

    StreamThread(std::unique_ptr<AudioOutput> output, std::function<void(const Report&)> report);
    ~StreamThread();
    StreamThread(const StreamThread&) = delete;
    StreamThread& operator=(const StreamThread&) = delete;

    // A stream playing `feed` (none: null), started for `run`. GUI thread.
    void want(std::shared_ptr<SoundFeed> feed, std::uint64_t run);

    // How many stream threads have not ended yet, let go ones included.
    static int alive();

private:
    struct Shared;
    struct Current;
    static void run(const std::shared_ptr<Shared>& shared);
    // One call towards what is wanted; false when there is none to make now.
    static bool step(Shared& s, Current& c);
    static void open(Shared& s, Current& c, const std::shared_ptr<SoundFeed>& feed);
    static void startRun(Shared& s, Current& c, std::uint64_t run);
    static void hold(Shared& s, Current& c);
    static void close(Shared& s, Current& c, bool quitting);
    // The output may let the sound system go (AudioOutput::letGo).
    static void letGo(Shared& s, Current& c);
    // Whether the stream still runs, unless its feed ended it; lost if not.
    static void look(Shared& s, Current& c);
    // The stream no longer runs though it was started and its feed did not
    // end it: its output did.
    static bool endedByOutput(Current& c);
    // Runs a call into the stream; false when it failed, the stream then
    // broken, or lost when the call took longer than hungAfter.
    template <class Call>
    static bool streamCall(Current& c, const char* doing, Call call);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace Multimedia
