#pragma once
// The sound process's looks for an output device, at next to no cost while
// none comes. PortAudio's look (every ALSA plugin loaded and probed, JACK
// asked for its server: a tenth of a second of processor and more) is made
// afresh only when one of the signs of a device has changed since (a sound
// card's device folder, the socket of the JACK server PortAudio would meet,
// a PulseAudio or PipeWire socket, an ALSA configuration file), again on
// each look for a few seconds after such a change (a server takes a moment
// to take clients), and at least every lookAgainAfter; any other look
// answers at once, from a few looks at file names, that there is still
// none. A look that found a device keeps its answer: the program ends the
// process to look afresh. What the sound libraries write on the standard
// streams during a look reaches standard error only when it differs from
// what the previous look wrote, so that a JACK library complaining of a
// server that is not there says so once. The sound process's main thread
// alone.

#include <chrono>
#include <string>
#include <vector>

namespace Multimedia {

class PortAudioOutput;

class SoundDeviceLooks {
public:
    static constexpr std::chrono::seconds lookAgainAfter{10};

    SoundDeviceLooks();

    // Whether `output` has an output device; may throw what its look
    // throws.
    bool look(PortAudioOutput& output);

private:
    // What the signs say now: for each, whether it is there, and which
    // file, of what age.
    std::string signs() const;
    // PortAudio's look afresh, what it writes kept back unless new.
    bool lookAfresh(PortAudioOutput& output);

    std::vector<std::string> signPaths_;
    bool looked_ = false;
    bool found_ = false;
    std::string signsLooked_; // as of the last look afresh
    std::string signsSeen_;   // as of the last look
    std::chrono::steady_clock::time_point lookedAt_;
    std::chrono::steady_clock::time_point changedAt_;
    std::string said_; // what the last look afresh wrote
};

} // namespace Multimedia
