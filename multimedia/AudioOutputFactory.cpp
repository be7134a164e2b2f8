#include "multimedia/AudioOutputFactory.h"

#include "multimedia/PortAudioOutput.h"
#include "multimedia/SoundProcessOutput.h"

namespace Multimedia {

namespace {
AudioOutputFactory& installedFactory()
{
    static AudioOutputFactory factory;
    return factory;
}

QString& soundProcessProgram()
{
    static QString program;
    return program;
}
} // namespace

void setAudioOutputFactory(AudioOutputFactory factory)
{
    installedFactory() = std::move(factory);
}

std::unique_ptr<AudioOutput> createAudioOutput()
{
    if (installedFactory())
        return installedFactory()();
    if (!soundProcessProgram().isEmpty())
        return std::make_unique<SoundProcessOutput>(soundProcessProgram());
    return std::make_unique<PortAudioOutput>();
}

void setSoundProcessProgram(const QString& program)
{
    soundProcessProgram() = program;
}

} // namespace Multimedia
