#include "multimedia/AudioOutputFactory.h"

#include "multimedia/PortAudioOutput.h"

namespace Multimedia {

namespace {
AudioOutputFactory& installedFactory()
{
    static AudioOutputFactory factory;
    return factory;
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
    return std::make_unique<PortAudioOutput>();
}

} // namespace Multimedia
