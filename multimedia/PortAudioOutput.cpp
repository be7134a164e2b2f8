#include "multimedia/PortAudioOutput.h"

#include "multimedia/AudioPlayer.h"

#include <QDebug>

#include <portaudiocpp/PortAudioCpp.hxx>

#include <stdexcept>

namespace Multimedia {

namespace {

const int outputChannels = 2;
const double outputSampleRate = 44100.0;

class PortAudioStream : public AudioStream {
public:
    PortAudioStream(const portaudio::StreamParameters& parameters, AudioPlayer& player)
        : stream_(parameters, player, &AudioPlayer::streamCallback)
    {
    }

    // The binding's destructor closes again, which does nothing once closed.
    ~PortAudioStream() override
    {
        try {
            stream_.close();
        } catch (const std::exception& error) {
            qWarning() << "[PortAudioOutput] closing the stream failed:" << error.what();
        }
    }

    void start() override { stream_.start(); }
    void stop() override { stream_.stop(); }
    void abort() override { stream_.abort(); }
    void close() override { stream_.close(); }
    bool isActive() const override { return stream_.isActive(); }
    bool isStopped() const override { return stream_.isStopped(); }

private:
    portaudio::MemFunCallbackStream<AudioPlayer> stream_;
};

} // namespace

PortAudioOutput::PortAudioOutput()
{
    try {
        portaudio::System::initialize();
        initialized_ = true;
    } catch (const std::exception& error) {
        qWarning() << "[PortAudioOutput] PortAudio did not start:" << error.what();
    }
}

PortAudioOutput::~PortAudioOutput()
{
    if (!initialized_)
        return;
    try {
        portaudio::System::terminate();
    } catch (const std::exception& error) {
        qWarning() << "[PortAudioOutput] PortAudio did not end cleanly:" << error.what();
    }
}

bool PortAudioOutput::hasOutputDevice() const
{
    return initialized_ && Pa_GetDefaultOutputDevice() != paNoDevice;
}

std::unique_ptr<AudioStream> PortAudioOutput::openStream(AudioPlayer& player)
{
    if (!hasOutputDevice())
        throw std::runtime_error("no default sound output device");
    portaudio::Device& device = portaudio::System::instance().defaultOutputDevice();
    const portaudio::DirectionSpecificStreamParameters output(
        device, outputChannels, portaudio::FLOAT32, true, device.defaultLowOutputLatency(),
        nullptr);
    const portaudio::StreamParameters parameters(
        portaudio::DirectionSpecificStreamParameters::null(), output, outputSampleRate,
        paFramesPerBufferUnspecified, paNoFlag);
    return std::make_unique<PortAudioStream>(parameters, player);
}

} // namespace Multimedia
