#pragma once
// The sound device as the audio player sees it: whether there is a default
// output, and one output stream per opened source (44100 Hz, stereo,
// interleaved 32-bit float) whose callback is AudioPlayer::streamCallback.
// The program uses PortAudio (PortAudioOutput); tests install a factory that
// makes a fake whose callbacks they drive themselves.
//
// Streams are opened, started, stopped, aborted and closed on the GUI
// thread only; stop and abort return once no callback runs any more. Every
// operation may throw (PortAudio errors as portaudio::PaException); the
// audio player catches them.

#include <functional>
#include <memory>

namespace Multimedia {

class AudioPlayer;

class AudioStream {
public:
    virtual ~AudioStream() = default;

    virtual void start() = 0;
    // Lets queued sound play out, then stops.
    virtual void stop() = 0;
    // Stops at once, dropping queued sound.
    virtual void abort() = 0;
    virtual void close() = 0;
    // Started and not yet ended by the callback.
    virtual bool isActive() const = 0;
    // Never started, or stopped or aborted since; a stream that its
    // callback ended is neither active nor stopped.
    virtual bool isStopped() const = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    virtual bool hasOutputDevice() const = 0;
    // An open, not started stream on the default output device.
    virtual std::unique_ptr<AudioStream> openStream(AudioPlayer& player) = 0;
};

typedef std::function<std::unique_ptr<AudioOutput>()> AudioOutputFactory;

// What every audio player constructed from now on uses; an empty factory
// brings PortAudio back. GUI thread only.
void setAudioOutputFactory(AudioOutputFactory factory);
std::unique_ptr<AudioOutput> createAudioOutput();

} // namespace Multimedia
