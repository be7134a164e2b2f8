#include "multimedia/PortAudioOutput.h"

#include "multimedia/BoundedWaits.h"
#include "multimedia/SoundFeed.h"

#include <QDebug>

#include <portaudiocpp/PortAudioCpp.hxx>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace Multimedia {

namespace {

const int outputChannels = 2;
// Tried after the device's own rate, in this order.
const double usualRates[] = {44100.0, 48000.0, 96000.0};
// How long a call waits for PortAudio while another thread's call holds it.
const std::chrono::milliseconds portAudioPatience(1000);

// Never destroyed: a thread left in a call into PortAudio may hold the lock
// as the process ends.
std::mutex& portAudioMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

// Lost streams, with the feeds they may still call: kept for good, under a
// lock of their own (PortAudio's may be held for good).
struct LostStreams {
    std::mutex mutex;
    std::vector<std::unique_ptr<AudioStream>> streams;
};
LostStreams& lostStreams()
{
    static auto* lost = new LostStreams;
    return *lost;
}

// Set once a stream was lost: terminating PortAudio would close it.
std::atomic<bool> keptForGood{false};

std::unique_lock<std::mutex> holdPortAudio()
{
    std::unique_lock<std::mutex> lock(portAudioMutex(), std::defer_lock);
    if (!lockWithin(lock, portAudioPatience))
        throw std::runtime_error("PortAudio is held by a call that has not returned");
    return lock;
}

// A call into PortAudio, holding it.
template <class Call>
auto held(Call call)
{
    const auto lock = holdPortAudio();
    return call();
}

class PortAudioStream : public AudioStream {
public:
    PortAudioStream(const portaudio::StreamParameters& parameters, PaStreamCallback* callback,
                    std::shared_ptr<void> user)
        : rate_(parameters.sampleRate()),
          user_(std::move(user)),
          stream_(std::make_unique<portaudio::CFunCallbackStream>(parameters, callback, user_.get()))
    {
    }

    // The binding closes on its destruction, without PortAudio's lock: a
    // stream not closed by now is closed here, or, when PortAudio is held
    // elsewhere, left open rather than closed beside another call, with
    // what its callback plays kept for good.
    ~PortAudioStream() override
    {
        try {
            close();
        } catch (const std::exception& error) {
            qWarning() << "[PortAudioOutput] closing the stream failed:" << error.what();
            if (stream_->isOpen()) {
                stream_.release();
                new std::shared_ptr<void>(user_);
            }
        }
    }

    double rate() const override { return rate_; }
    void start() override { held([this] { stream_->start(); }); }
    void abort() override { held([this] { stream_->abort(); }); }
    void close() override { held([this] { stream_->close(); }); }
    bool isActive() const override { return held([this] { return stream_->isActive(); }); }

private:
    const double rate_;
    const std::shared_ptr<void> user_; // outlives the stream
    std::unique_ptr<portaudio::CFunCallbackStream> stream_;
};

bool refusesFormat(PaError error)
{
    return error == paInvalidSampleRate || error == paSampleFormatNotSupported || error == paInvalidChannelCount;
}

// The rates to try: the device's own, then the usual ones.
std::vector<double> ratesFor(double own)
{
    std::vector<double> rates;
    if (own > 0.0)
        rates.push_back(own);
    for (const double rate : usualRates)
        if (rate != own)
            rates.push_back(rate);
    return rates;
}

int feedCallback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* timeInfo,
                 PaStreamCallbackFlags flags, void* feed)
{
    return static_cast<SoundFeed*>(feed)->streamCallback(input, output, frames, timeInfo, flags);
}

} // namespace

PortAudioOutput::~PortAudioOutput()
{
    try {
        letGo();
    } catch (const std::exception& error) {
        qWarning() << "[PortAudioOutput] PortAudio did not end cleanly:" << error.what();
    }
}

bool PortAudioOutput::hasOutputDevice()
{
    const auto lock = holdPortAudio();
    if (!initialized_) {
        portaudio::System::initialize();
        initialized_ = true;
    }
    return Pa_GetDefaultOutputDevice() != paNoDevice;
}

std::unique_ptr<AudioStream> PortAudioOutput::openStream(const std::shared_ptr<SoundFeed>& feed)
{
    return openCallbackStream(&feedCallback, feed);
}

std::unique_ptr<AudioStream> PortAudioOutput::openCallbackStream(PaStreamCallback* callback,
                                                                 const std::shared_ptr<void>& user)
{
    if (!hasOutputDevice())
        throw std::runtime_error("no default sound output device");
    const auto lock = holdPortAudio();
    portaudio::Device& device = portaudio::System::instance().defaultOutputDevice();
    const portaudio::DirectionSpecificStreamParameters output(
        device, outputChannels, portaudio::FLOAT32, true, device.defaultLowOutputLatency(), nullptr);
    // Opened at once at the first rate it takes: a look whether it would
    // take one costs as much as an opening (a client of a JACK server, say).
    PaError refusal = paNoError;
    std::string tried;
    for (const double rate : ratesFor(device.defaultSampleRate())) {
        const portaudio::StreamParameters parameters(portaudio::DirectionSpecificStreamParameters::null(), output,
                                                     rate, paFramesPerBufferUnspecified, paNoFlag);
        try {
            return std::make_unique<PortAudioStream>(parameters, callback, user);
        } catch (const portaudio::PaException& error) {
            if (!refusesFormat(error.paError()))
                throw;
            refusal = error.paError();
            tried += (tried.empty() ? "" : ", ") + std::to_string(long(rate));
        }
    }
    throw FormatRefused("the sound output takes no stereo 32-bit float sound at " + tried +
                        " Hz: " + Pa_GetErrorText(refusal));
}

void PortAudioOutput::lose(std::unique_ptr<AudioStream> stream)
{
    keptForGood = true;
    LostStreams& lost = lostStreams();
    std::lock_guard<std::mutex> lock(lost.mutex);
    lost.streams.push_back(std::move(stream));
}

void PortAudioOutput::letGo()
{
    if (!initialized_ || keptForGood)
        return;
    const auto lock = holdPortAudio();
    initialized_ = false;
    portaudio::System::terminate();
}

} // namespace Multimedia
