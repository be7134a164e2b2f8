#pragma once
// The audio players made while it lives play through the sound process the
// tests start (TestSoundProcess.cpp, multimedia/SoundProcess.h).

#include "multimedia/AudioOutputFactory.h"

namespace Multimedia {
namespace test {

struct ThroughSoundProcess {
    ThroughSoundProcess() { setSoundProcessProgram(QStringLiteral(LUMIVISTA_TEST_SOUND)); }
    ~ThroughSoundProcess() { setSoundProcessProgram(QString()); }
    ThroughSoundProcess(const ThroughSoundProcess&) = delete;
    ThroughSoundProcess& operator=(const ThroughSoundProcess&) = delete;
};

} // namespace test
} // namespace Multimedia
