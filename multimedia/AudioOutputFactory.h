#pragma once
// Where audio players take their sound output from: a sound process
// (SoundProcessOutput.h) once the program has said which program that is,
// unless a test installed a factory of its own; PortAudio in this process
// where neither was (tests). GUI thread only.

#include "multimedia/AudioOutput.h"

#include <QString>

#include <functional>

namespace Multimedia {

typedef std::function<std::unique_ptr<AudioOutput>()> AudioOutputFactory;

// What every audio player constructed from now on uses; an empty factory
// brings PortAudio back.
void setAudioOutputFactory(AudioOutputFactory factory);
std::unique_ptr<AudioOutput> createAudioOutput();
// The program started as the sound process; empty: none.
void setSoundProcessProgram(const QString& program);

} // namespace Multimedia
