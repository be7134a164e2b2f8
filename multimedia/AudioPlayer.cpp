#include "multimedia/AudioPlayer.h"

#include "componentmodel/EventTypes.h"

#include "DTAudioFilterAmplify.h"
#include "DTMediaSettings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimerEvent>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace Multimedia {

namespace {

// Guards the stream times of every player: the sound thread writes them,
// the GUI thread reads them. A plain pthread mutex, so that the thread
// sanitizer sees it.
std::mutex clockMutex;

const int outputRate = 44100;
const int outputChannels = 2;
const uint64_t outputLayout = 3; // front left, front right
const std::size_t outputFrameBytes = outputChannels * sizeof(float);
const int tickInterval = 25; // ms
// A source that keeps answering with blocks without samples is treated as
// run dry rather than spinning the sound thread forever.
const int maxEmptyBlocks = 64;

qint64 wholeMilliseconds(double ms)
{
    return static_cast<qint64>(ms); // truncates towards zero
}

void writeSilence(float* output, unsigned long fromFrame, unsigned long frames)
{
    if (output && fromFrame < frames)
        std::fill(output + fromFrame * outputChannels, output + frames * outputChannels, 0.0f);
}

} // namespace

AudioPlayer::AudioPlayer(QObject* parent) : Player(parent), output_(createAudioOutput()) {}

AudioPlayer::~AudioPlayer()
{
    // No signal from here: a derived player's slots are already gone.
    tearDown();
    output_.reset();
}

void AudioPlayer::setSource(kestrel::av_source_ptr source)
{
    if (state() != StopState)
        tearDown();
    source_ = source && source->audio() ? source : kestrel::av_source_ptr();

    bool opened = false;
    if (source_) {
        try {
            if (output_ && output_->hasOutputDevice()) {
                openSound();
                opened = true;
            }
        } catch (const std::exception& error) {
            qWarning() << "[AudioPlayer] the sound cannot be played:" << error.what();
            releaseSound();
        }
    }
    setState(opened ? PauseState : StopState);
    const bool deviceMissing = source_ && !opened;
    if (deviceMissing != soundDeviceMissing_) {
        soundDeviceMissing_ = deviceMissing;
        emit soundDeviceMissingChanged(deviceMissing);
    }
    emit maxTimeChanged(maxTime());
    emit timeChanged(time(), true);
}

void AudioPlayer::openSound()
{
    kestrel::audio_source* sound = source_->audio();
    baseTime_ = wholeMilliseconds(sound->position());
    const kestrel::audio_format_ptr soundFormat = sound->format();
    if (!soundFormat)
        throw std::runtime_error("the sound has no format");
    const kestrel::audio_format_ptr outputFormat = kestrel::audio_format::create(
        outputRate, kestrel::sample_format_flt, outputChannels, outputLayout);
    const kestrel::audio_format_ptr sourceFormat = kestrel::audio_format::copy(*soundFormat);
    converter_ = kestrel::create_audio_convert(outputFormat.get(), sourceFormat.get());
    filter_ = kestrel::audio_filter_amplify::create(outputFormat.get());
    filter_->set_params(kestrel::media_settings::create<double>("gain", volume_ / 100.0));
    appliedVolume_ = volume_;
    soundVolume_.store(volume_);
    soundRanDry_.store(false);
    stream_ = output_->openStream(*this);
}

void AudioPlayer::releaseSound()
{
    if (stream_) {
        try {
            if (stream_->isActive())
                stopGivingUpReads([this] { stream_->stop(); });
        } catch (const std::exception& error) {
            qWarning() << "[AudioPlayer] stopping the stream failed:" << error.what();
        }
        // Closing also aborts a stream that would not stop.
        try {
            stopGivingUpReads([this] { stream_->close(); });
        } catch (const std::exception& error) {
            qWarning() << "[AudioPlayer] closing the stream failed:" << error.what();
        }
        stream_.reset();
    }
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        firstStreamTime_ = -1.0;
        lastStreamTime_ = -1.0;
    }
    baseTime_ = 0;
    converter_.reset();
    filter_.reset();
    stopTimer();
}

void AudioPlayer::tearDown()
{
    releaseSound();
    source_.reset();
}

void AudioPlayer::failSound(const char* operation, const std::exception& error)
{
    qWarning() << "[AudioPlayer]" << operation << "failed:" << error.what();
    releaseSound();
    setState(StopState);
    emit maxTimeChanged(maxTime());
    emit timeChanged(time(), true);
}

template <class Step>
bool AudioPlayer::stepOrStop(const char* operation, Step step)
{
    try {
        step();
        return true;
    } catch (const std::exception& error) {
        failSound(operation, error);
        return false;
    }
}

template <class Stop>
void AudioPlayer::stopGivingUpReads(Stop stop)
{
    struct GivenUp {
        explicit GivenUp(kestrel::read_interruption& reads) : reads(reads) { reads.set(true); }
        ~GivenUp() { reads.set(false); }
        kestrel::read_interruption& reads;
    } givenUp(*reads_);
    stop();
}

void AudioPlayer::startStream()
{
    soundRanDry_.store(false);
    // A stream that its callback ended must be stopped before it starts.
    if (!stream_->isStopped())
        stopGivingUpReads([this] { stream_->stop(); });
    stream_->start();
}

void AudioPlayer::stopTimer()
{
    if (timerId_ != -1)
        killTimer(timerId_);
    timerId_ = -1;
}

qint64 AudioPlayer::maxTime() const
{
    if (state() == StopState)
        return 0;
    return wholeMilliseconds(source_->audio()->duration());
}

qint64 AudioPlayer::time() const
{
    if (state() == StopState)
        return 0;
    qint64 t = baseTime_;
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        if (lastStreamTime_ != -1.0 && firstStreamTime_ != -1.0)
            t = baseTime_ + wholeMilliseconds((lastStreamTime_ - firstStreamTime_) * 1000.0);
    }
    return std::min(t, maxTime());
}

void AudioPlayer::play()
{
    if (state() != PauseState)
        return;
    if (!stepOrStop("starting the sound", [this] { startStream(); }))
        return;
    timerId_ = startTimer(tickInterval);
    setState(PlayState);
}

void AudioPlayer::pause()
{
    if (state() != PlayState)
        return;
    const bool stopped = stepOrStop("stopping the sound", [this] {
        if (stream_->isActive())
            stopGivingUpReads([this] { stream_->stop(); });
    });
    if (!stopped)
        return;
    {
        // No callback runs any more; the lock only keeps the rule simple.
        std::lock_guard<std::mutex> lock(clockMutex);
        baseTime_ += wholeMilliseconds((lastStreamTime_ - firstStreamTime_) * 1000.0);
        firstStreamTime_ = -1.0;
        lastStreamTime_ = -1.0;
    }
    stopTimer();
    setState(PauseState);
}

void AudioPlayer::setTime(qint64 value)
{
    if (state() == StopState || value == time())
        return;
    if (value < 0 || value > maxTime())
        value = 0;
    seekTo(value);
}

void AudioPlayer::seekTo(qint64 value)
{
    const bool aborted = stepOrStop("stopping the sound for a seek", [this] {
        if (stream_->isActive())
            stopGivingUpReads([this] { stream_->abort(); });
    });
    if (!aborted)
        return;
    soundRanDry_.store(false);
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        firstStreamTime_ = -1.0;
        lastStreamTime_ = -1.0;
    }
    const bool sought = stepOrStop("seeking the source", [this, value] {
        source_->seek(static_cast<double>(value));
        baseTime_ = wholeMilliseconds(source_->audio()->position());
    });
    if (!sought)
        return;
    if (state() == PlayState && !stepOrStop("restarting the sound", [this] { startStream(); }))
        return;
    emit timeChanged(time(), true);
}

void AudioPlayer::setVolume(int value)
{
    if (value == volume_)
        return;
    volume_ = value;
    soundVolume_.store(value);
    emit volumeChanged(value);
}

void AudioPlayer::setMuted(bool value)
{
    if (value == muted_)
        return;
    muted_ = value;
    emit mutedChanged(value);
}

int AudioPlayer::streamCallback(const void* /*input*/, void* output, unsigned long frames,
                                const PaStreamCallbackTimeInfo* timeInfo,
                                PaStreamCallbackFlags /*flags*/)
{
    float* samples = static_cast<float*>(output);
    if (!source_) {
        writeSilence(samples, 0, frames);
        return paAbort;
    }
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        const double now = timeInfo ? timeInfo->currentTime : 0.0;
        if (lastStreamTime_ == -1.0)
            firstStreamTime_ = lastStreamTime_ = now;
        // A host's stream time is an estimate (JACK's, from its cycles)
        // that may step back a little when a cycle comes late; the sound
        // played only moves on, and so does the time shown.
        lastStreamTime_ = std::max(lastStreamTime_, now);
    }
    try {
        const kestrel::read_interruption_scope reading(reads_);
        if (fillOutput(samples, frames) < frames) {
            postEndOfSound();
            return paComplete;
        }
        return paContinue;
    } catch (...) {
        writeSilence(samples, 0, frames);
        // A read given up by the player's own stop is no end of the sound.
        if (!reads_->on())
            postEndOfSound();
        return paAbort;
    }
}

unsigned long AudioPlayer::fillOutput(float* output, unsigned long frames)
{
    applyVolumeForSound();
    kestrel::audio_source* sound = source_->audio();
    const double blockDuration = frames * 1000.0 / outputRate;
    int emptyBlocks = 0;
    while (converter_->size() < frames) {
        const kestrel::audio_data_timed_ptr block = sound->read(blockDuration);
        if (!block || !block->data)
            break;
        if (block->data->samples() > 0) {
            converter_->push_back(block->data.get());
            emptyBlocks = 0;
        } else if (++emptyBlocks == maxEmptyBlocks) {
            break;
        }
    }

    const unsigned long available = std::min<unsigned long>(converter_->size(), frames);
    unsigned long written = 0;
    if (available > 0) {
        filter_->push_back(converter_->pop(static_cast<unsigned int>(available)).get());
        const kestrel::audio_data_ptr block = filter_->pop(static_cast<unsigned int>(available));
        const std::size_t bytes = std::min<std::size_t>(block->size(), frames * outputFrameBytes);
        std::memcpy(output, block->data(), bytes);
        written = static_cast<unsigned long>(bytes / outputFrameBytes);
    }
    writeSilence(output, written, frames);
    return available;
}

void AudioPlayer::applyVolumeForSound()
{
    const int wanted = soundVolume_.load();
    if (wanted == appliedVolume_)
        return;
    filter_->set_params(kestrel::media_settings::create<double>("gain", wanted / 100.0));
    appliedVolume_ = wanted;
}

void AudioPlayer::postEndOfSound()
{
    soundRanDry_.store(true);
    QCoreApplication::postEvent(this, new QEvent(ComponentModel::EventTypes::endOfSound));
}

bool AudioPlayer::event(QEvent* e)
{
    if (e->type() != ComponentModel::EventTypes::endOfSound)
        return Player::event(e);
    // A notice that a seek or a new source overtook is stale.
    if (soundRanDry_.exchange(false)) {
        pause();
        if (state() != StopState)
            seekTo(0);
        emit completed();
    }
    return true;
}

void AudioPlayer::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == timerId_)
        emit timeChanged(time(), false);
    Player::timerEvent(e);
}

} // namespace Multimedia
