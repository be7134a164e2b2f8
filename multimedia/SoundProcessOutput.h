#pragma once
// The program's sound output: every call into the sound library is made
// by a sound process (SoundProcess.h) of its own, so that whatever a sound
// server or the library does ends or holds that process alone. The process
// is started by the first look at the devices after the output was let go
// (a fresh process is a fresh look: JACK's host API knows only the server
// it met as it started), and ended as the output is let go, unless it
// found no device: it then keeps looking, at little cost, for the next
// looks. A stream whose process does not answer a call in time
// (StreamThread::hungAfter and a moment) fails and its process is killed;
// a process that has ended, or whose stream has played nothing for three
// seconds since it started, ends its stream (no longer active), and a lost
// stream's process is killed.
// Used by one stream thread (AudioOutput.h).

#include "multimedia/AudioOutput.h"

#include <QString>

namespace Multimedia {

class SoundConnection;

class SoundProcessOutput : public AudioOutput {
public:
    // `program` runs runSoundProcess() when started with soundProcessOption,
    // and the launcher (componentmodel/ProgramLauncher.h).
    explicit SoundProcessOutput(const QString& program);
    ~SoundProcessOutput() override;
    SoundProcessOutput(const SoundProcessOutput&) = delete;
    SoundProcessOutput& operator=(const SoundProcessOutput&) = delete;

    bool hasOutputDevice() override;
    std::unique_ptr<AudioStream> openStream(const std::shared_ptr<SoundFeed>& feed) override;
    void lose(std::unique_ptr<AudioStream> stream) override;
    void letGo() override;

private:
    const QString program_;
    std::shared_ptr<SoundConnection> connection_;
    bool found_ = false; // a look of the process found a device
};

} // namespace Multimedia
