#pragma once
// The sound output of the program: PortAudio through its C++ binding, on
// the default output device with that device's low output latency.
// Construction initialises PortAudio (a failure is logged and leaves the
// output without a device); destruction terminates it exactly once, after
// every stream opened through it has been destroyed. GUI thread only.

#include "multimedia/AudioOutput.h"

namespace Multimedia {

class PortAudioOutput : public AudioOutput {
public:
    PortAudioOutput();
    ~PortAudioOutput() override;
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    bool hasOutputDevice() const override;
    // Throws portaudio::PaException when PortAudio refuses the stream.
    std::unique_ptr<AudioStream> openStream(AudioPlayer& player) override;

private:
    bool initialized_ = false;
};

} // namespace Multimedia
