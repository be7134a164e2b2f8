#include "multimedia/AudioPlayer.h"

#include "componentmodel/EventTypes.h"

#include "audio/DTAudioFilterAmplify.h"
#include "media/DTMediaSettings.h"

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

const int outputChannels = SoundReader::channels;
const std::size_t outputFrameBytes = outputChannels * sizeof(float);
const int tickInterval = 25; // ms

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
    updateSoundAnswers();
    emit maxTimeChanged(maxTime());
    emit timeChanged(time(), true);
}

void AudioPlayer::openSound()
{
    // The last looks at the sound from this thread: from now on only the
    // reader touches it.
    kestrel::audio_source* sound = source_->audio();
    const double position = sound->position();
    baseTime_ = wholeMilliseconds(position);
    duration_ = wholeMilliseconds(sound->duration());
    if (!sound->format())
        throw std::runtime_error("the sound has no format");
    filter_ = kestrel::audio_filter_amplify::create(SoundReader::format().get());
    filter_->set_params(kestrel::media_settings::create<double>("gain", volume_ / 100.0));
    appliedVolume_ = volume_;
    soundVolume_.store(volume_);
    soundRanDry_.store(false);
    reader_ = std::make_unique<SoundReader>(source_, position, [this] {
        QMetaObject::invokeMethod(this, &AudioPlayer::updateSoundAnswers, Qt::QueuedConnection);
    });
    stream_ = output_->openStream(*this);
}

void AudioPlayer::releaseSound()
{
    if (stream_) {
        try {
            if (stream_->isActive())
                stream_->stop();
        } catch (const std::exception& error) {
            qWarning() << "[AudioPlayer] stopping the stream failed:" << error.what();
        }
        // Closing also aborts a stream that would not stop.
        try {
            stream_->close();
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
    duration_ = 0;
    // No callback runs any more: the reader may go.
    reader_.reset();
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
    updateSoundAnswers();
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

void AudioPlayer::startStream()
{
    soundRanDry_.store(false);
    // A stream that its callback ended must be stopped before it starts.
    if (!stream_->isStopped())
        stream_->stop();
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
    return state() == StopState ? 0 : duration_;
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
            stream_->stop();
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
            stream_->abort();
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
        baseTime_ = wholeMilliseconds(reader_->seek(static_cast<double>(value)));
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
    if (!reader_) {
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
        const SoundReader::Taken taken = reader_->take(frames);
        const unsigned long written = fillOutput(samples, frames, taken);
        if (written < frames && taken.ended) {
            postEndOfSound();
            return taken.failed ? paAbort : paComplete;
        }
        return paContinue;
    } catch (...) {
        writeSilence(samples, 0, frames);
        postEndOfSound();
        return paAbort;
    }
}

unsigned long AudioPlayer::fillOutput(float* output, unsigned long frames, const SoundReader::Taken& taken)
{
    writeSilence(output, 0, taken.silentBefore);
    unsigned long written = taken.silentBefore;
    const unsigned int available = taken.sound ? taken.sound->samples() : 0;
    if (available > 0) {
        applyVolumeForSound();
        filter_->push_back(taken.sound.get());
        const kestrel::audio_data_ptr block = filter_->pop(available);
        const std::size_t bytes =
            std::min<std::size_t>(block->size(), (frames - written) * outputFrameBytes);
        std::memcpy(output + written * outputChannels, block->data(), bytes);
        written += static_cast<unsigned long>(bytes / outputFrameBytes);
    }
    writeSilence(output, written, frames);
    return written;
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

void AudioPlayer::updateSoundAnswers()
{
    const bool answers = !reader_ || reader_->answers();
    if (answers == soundAnswers_)
        return;
    soundAnswers_ = answers;
    if (!answers)
        qWarning() << "[AudioPlayer] the sound does not answer: the preview goes on without it";
    emit soundAnswersChanged(answers);
}

bool AudioPlayer::soundReady(unsigned long frames) const
{
    return !reader_ || reader_->ready(frames);
}

bool AudioPlayer::pictureTurn(std::unique_lock<std::mutex>& turn)
{
    return !reader_ || reader_->pictureTurn(turn);
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
