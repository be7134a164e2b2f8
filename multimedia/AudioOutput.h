#pragma once
// The sound device as a player's stream thread (StreamThread) sees it:
// whether there is an output device at all, and output streams (stereo,
// interleaved 32-bit float, at the rate the device or its server takes)
// that play a SoundFeed. The program uses PortAudio (PortAudioOutput); tests
// install a factory (AudioOutputFactory.h) that makes a fake whose
// callbacks they drive.
//
// An output is made on the GUI thread and from then on used by one stream
// thread alone. Any call may take as long as the sound system does (a
// server that went away may never answer), and every call but lose() may
// throw (PortAudio's errors as portaudio::PaException, a stream refused for
// its format as FormatRefused).

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace Multimedia {

class SoundFeed;

// The output takes none of the stream formats offered; what() says why.
class FormatRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AudioStream {
public:
    // A stream not closed yet is closed here, errors logged.
    virtual ~AudioStream() = default;

    // Frames a second: the rate the output took.
    virtual double rate() const = 0;
    virtual void start() = 0;
    // Stops at once, dropping queued sound.
    virtual void abort() = 0;
    // Aborts a stream that runs, then closes it.
    virtual void close() = 0;
    // Started, and not ended since by its callback or its output.
    virtual bool isActive() const = 0;
    // Plays run `run` of `feed` (the stream's) from now on, the sound queued
    // before dropped (as hold() does). By default the stream is aborted and
    // started again (a stream that its callback ended must be), then the
    // run begun.
    virtual void startRun(SoundFeed& feed, std::uint64_t run);
    // The run ends where it was heard: sound queued ahead and not yet heard
    // is dropped (the feed told how far the run was heard: SoundFeed::
    // runHeard), and the stream runs on, silent. By default nothing: the
    // feed plays silence outside a run, and a device's own buffer holds a
    // moment only.
    virtual void hold() {}
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Looks at the devices, afresh after letGo(): false when there is no
    // output device at all.
    virtual bool hasOutputDevice() = 0;
    // An open, not started stream on the default output device, playing
    // `feed` (kept as long as the stream may call it).
    virtual std::unique_ptr<AudioStream> openStream(const std::shared_ptr<SoundFeed>& feed) = 0;
    // A stream that is never to be called again, not even closed: a call
    // into it did not return in time, and closing it may never return or
    // end the process. The output keeps it (and the feed it may still
    // call) for good.
    virtual void lose(std::unique_ptr<AudioStream> stream) = 0;
    // No stream of this output is open any more: the sound system may be
    // let go, and looked at afresh by the next call.
    virtual void letGo() = 0;
};

} // namespace Multimedia
