#pragma once
// The sound output of the program: PortAudio through its C++ binding, on
// the default output device with that device's low output latency, at the
// device's own rate (a JACK server's, say) or else the first of 44100,
// 48000 and 96000 Hz that it takes.
// PortAudio is initialised by the first look at the devices and terminated
// by letGo(), so that the next look sees a server that came back (JACK's
// host API, for one, knows only the server it met at initialisation).
//
// PortAudio is one per process and not made for two threads at once: every
// call into it, from any player's stream thread, holds one process-wide
// lock. A call that never returns keeps that lock; a call that cannot take
// it within a second throws, so a thread waits for PortAudio for a moment
// only. Once a stream is lost PortAudio is never terminated again: that
// would close the stream, and the JACK host API, its server gone, ends the
// process terminating; an output made since still opens new streams on it.
// Used by one stream thread (AudioOutput.h).

#include "multimedia/AudioOutput.h"

#include <portaudio.h>

#include <memory>

namespace Multimedia {

class PortAudioOutput : public AudioOutput {
public:
    PortAudioOutput() = default;
    ~PortAudioOutput() override;
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    bool hasOutputDevice() override;
    // Throws FormatRefused when the device takes no stereo float sound at
    // any of those rates, portaudio::PaException when PortAudio refuses the
    // stream otherwise.
    std::unique_ptr<AudioStream> openStream(const std::shared_ptr<SoundFeed>& feed) override;
    // The same for any callback, called with `user`, which is kept as long
    // as the stream may call it.
    std::unique_ptr<AudioStream> openCallbackStream(PaStreamCallback* callback, const std::shared_ptr<void>& user);
    void lose(std::unique_ptr<AudioStream> stream) override;
    void letGo() override;

private:
    bool initialized_ = false;
};

} // namespace Multimedia
