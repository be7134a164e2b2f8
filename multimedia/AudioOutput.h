#pragma once
// The sound device as a player's stream thread (StreamThread) sees it:
// whether there is an output device at all, and output streams (44100 Hz,
// stereo, interleaved 32-bit float) that play a SoundFeed. The program uses
// PortAudio (PortAudioOutput); tests install a factory
// (AudioOutputFactory.h) that makes a fake whose callbacks they drive.
//
// An output is made on the GUI thread and from then on used by one stream
// thread alone. Any call may take as long as the sound system does (a
// server that went away may never answer), and every call but lose() may
// throw (PortAudio's errors as portaudio::PaException).

#include <memory>

namespace Multimedia {

class SoundFeed;

class AudioStream {
public:
    // A stream not closed yet is closed here, errors logged.
    virtual ~AudioStream() = default;

    virtual void start() = 0;
    // Stops at once, dropping queued sound.
    virtual void abort() = 0;
    // Aborts a stream that runs, then closes it.
    virtual void close() = 0;
    // Started, and not ended since by its callback or its output.
    virtual bool isActive() const = 0;
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
