#pragma once
// Where audio players take their sound output from: PortAudio, unless a
// test installed a factory of its own. GUI thread only.

#include "multimedia/AudioOutput.h"

#include <functional>

namespace Multimedia {

typedef std::function<std::unique_ptr<AudioOutput>()> AudioOutputFactory;

// What every audio player constructed from now on uses; an empty factory
// brings PortAudio back.
void setAudioOutputFactory(AudioOutputFactory factory);
std::unique_ptr<AudioOutput> createAudioOutput();

} // namespace Multimedia
