#include "multimedia/AudioPlayer.h"

#include "multimedia/AudioOutputFactory.h"

#include "componentmodel/EventTypes.h"
#include "componentmodel/GuardedReceiver.h"

#include <QDebug>
#include <QTimerEvent>

#include <algorithm>
#include <stdexcept>

namespace Multimedia {

namespace {

const int tickInterval = 25; // ms
// How often a sound output that does not answer is given a new stream.
const std::chrono::milliseconds newStreamEvery(1000);

qint64 wholeMilliseconds(double ms)
{
    return static_cast<qint64>(ms); // truncates towards zero
}

// What the stream thread did, handed to the GUI thread.
class StreamStepEvent : public QEvent {
public:
    explicit StreamStepEvent(const StreamThread::Report& report)
        : QEvent(ComponentModel::EventTypes::soundStreamStep), report(report)
    {
    }
    const StreamThread::Report report;
};

} // namespace

constexpr std::chrono::milliseconds AudioPlayer::silencePatience;

AudioPlayer::AudioPlayer(QObject* parent)
    : Player(parent), receiver_(std::make_shared<ComponentModel::GuardedReceiver>(this))
{
    const std::shared_ptr<ComponentModel::GuardedReceiver> receiver = receiver_;
    streams_ = std::make_unique<StreamThread>(createAudioOutput(), [receiver](const StreamThread::Report& report) {
        receiver->post(std::make_unique<StreamStepEvent>(report));
    });
}

AudioPlayer::~AudioPlayer()
{
    // No signal from here: a derived player's slots are already gone.
    receiver_->close();
    tearDown();
    streams_.reset();
}

void AudioPlayer::setSource(kestrel::av_source_ptr source)
{
    // Stopped for want of a device, it still holds its sound.
    tearDown();
    source_ = source && source->audio() ? source : kestrel::av_source_ptr();

    bool opened = false;
    if (source_) {
        try {
            openSound();
            opened = true;
        } catch (const std::exception& error) {
            qWarning() << "[AudioPlayer] the sound cannot be played:" << error.what();
            releaseSound();
        }
    }
    setState(opened ? PauseState : StopState);
    if (soundDeviceMissing_) {
        soundDeviceMissing_ = false;
        emit soundDeviceMissingChanged(false);
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
    reader_ = std::make_unique<SoundReader>(source_, position, [this] {
        QMetaObject::invokeMethod(this, &AudioPlayer::updateSoundAnswers, Qt::QueuedConnection);
    });
    opened_ = false;
    newFeed(false);
}

void AudioPlayer::newFeed(bool playing)
{
    if (feed_)
        feed_->detach();
    const std::shared_ptr<ComponentModel::GuardedReceiver> receiver = receiver_;
    feed_ = std::make_shared<SoundFeed>(*reader_, volume_, [receiver] {
        receiver->post(std::make_unique<QEvent>(ComponentModel::EventTypes::endOfSound));
    });
    feedMadeAt_ = Clock::now();
    if (playing) {
        startRun();
    } else {
        runStarted_ = false;
        streams_->want(feed_, 0);
    }
}

void AudioPlayer::startRun()
{
    ++run_;
    runAskedAt_ = Clock::now();
    runStarted_ = false;
    feed_->wantRun(run_, runStart());
    streams_->want(feed_, run_);
}

SoundFeed::RunStart AudioPlayer::runStart() const
{
    SoundFeed::RunStart start;
    start.ms = baseTime_;
    start.since = freeSince_;
    start.whereStopped = resumeWhereStopped_;
    return start;
}

void AudioPlayer::runFree()
{
    baseTime_ = time();
    freeSince_ = Clock::now();
    feed_->runFree(runStart());
}

void AudioPlayer::releaseSound()
{
    playWhenFound_ = false;
    if (feed_) {
        feed_->detach();
        feed_.reset();
    }
    streams_->want(nullptr, 0);
    freeSince_.reset();
    resumeWhereStopped_ = false;
    runStarted_ = false;
    baseTime_ = 0;
    duration_ = 0;
    // No callback touches the reader any more: it may go.
    reader_.reset();
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
    if (state() == PlayState) {
        const SoundFeed::Progress progress = feed_->progress();
        // Callbacks heard before the clock went free are of a stream given up.
        if (progress.counted && (!freeSince_ || progress.lastAt > *freeSince_))
            t = wholeMilliseconds(progress.startMs + (progress.lastTime - progress.firstTime) * 1000.0);
        else if (freeSince_)
            t = baseTime_ + std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *freeSince_).count();
    }
    return std::min(t, maxTime());
}

void AudioPlayer::play()
{
    playWhenFound_ = soundDeviceMissing_;
    if (state() != PauseState)
        return;
    // A sound output known not to answer leaves the pictures to the
    // monotonic clock at once.
    if (!soundOutputAnswers_)
        freeSince_ = Clock::now();
    startRun();
    resumeWhereStopped_ = false;
    timerId_ = startTimer(tickInterval);
    lastTick_ = watchedFrom_ = Clock::now();
    setState(PlayState);
}

void AudioPlayer::pause()
{
    playWhenFound_ = false;
    if (state() != PlayState)
        return;
    // Where the clock stands for now: the output plays on a moment, and
    // the stream, dropping what it queued, says where the sound stopped.
    // A clock that ran free of the sound stops where it is.
    baseTime_ = time();
    resumeWhereStopped_ = !freeSince_;
    freeSince_.reset();
    feed_->wantRun(0, SoundFeed::RunStart());
    streams_->want(feed_, 0);
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
    // No callback takes the sound until the run after the seek.
    feed_->wantRun(0, SoundFeed::RunStart());
    resumeWhereStopped_ = false;
    try {
        baseTime_ = wholeMilliseconds(reader_->seek(static_cast<double>(value)));
    } catch (const std::exception& error) {
        failSound("seeking the source", error);
        return;
    }
    if (state() == PlayState) {
        if (freeSince_)
            freeSince_ = Clock::now();
        startRun();
    }
    emit timeChanged(time(), true);
}

void AudioPlayer::setVolume(int value)
{
    if (value == volume_)
        return;
    volume_ = value;
    if (feed_)
        feed_->setVolume(value);
    emit volumeChanged(value);
}

void AudioPlayer::setMuted(bool value)
{
    if (value == muted_)
        return;
    muted_ = value;
    emit mutedChanged(value);
}

void AudioPlayer::onStreamReport(const StreamThread::Report& report)
{
    if (!feed_ || report.feed != feed_->id())
        return; // about a stream given up, or the sound gone
    switch (report.step) {
    case StreamThread::Step::NoDevice:
        if (!opened_) {
            standWithoutDevice();
            return;
        }
        // The device a stream was opened on has gone with its server.
        [[fallthrough]];
    case StreamThread::Step::OpenFailed:
    case StreamThread::Step::Refused:
        setSoundOutputRefusal(QString::fromStdString(report.why));
        setSoundOutputAnswers(false);
        if (state() == PlayState && !freeSince_)
            runFree();
        return;
    case StreamThread::Step::Opened:
        opened_ = true;
        setSoundOutputRefusal(QString());
        if (soundDeviceMissing_) {
            deviceFound();
            return;
        }
        if (state() != PlayState)
            setSoundOutputAnswers(true);
        return;
    case StreamThread::Step::Started:
        if (report.run == run_) {
            runStarted_ = true;
            runAskedAt_ = Clock::now();
        }
        return;
    case StreamThread::Step::Held:
        // Paused, the clock goes on to where the sound stopped.
        if (state() == PauseState && resumeWhereStopped_) {
            const std::optional<double> stopped = feed_->stoppedMs();
            if (stopped && wholeMilliseconds(*stopped) != baseTime_) {
                baseTime_ = wholeMilliseconds(*stopped);
                emit timeChanged(time(), false);
            }
        }
        return;
    case StreamThread::Step::Lost:
        setSoundOutputAnswers(false);
        if (state() == PlayState && !freeSince_)
            runFree();
        newFeed(state() == PlayState);
        return;
    }
}

void AudioPlayer::standWithoutDevice()
{
    if (soundDeviceMissing_)
        return;
    qWarning() << "[AudioPlayer] no sound device was found: the preview cannot play";
    // The stream thread looks for one again every second while the feed is
    // wanted.
    baseTime_ = time();
    freeSince_.reset();
    feed_->wantRun(0, SoundFeed::RunStart());
    resumeWhereStopped_ = false;
    streams_->want(feed_, 0);
    stopTimer();
    soundDeviceMissing_ = true;
    setState(StopState);
    emit soundDeviceMissingChanged(true);
    updateSoundAnswers();
    emit maxTimeChanged(maxTime());
    emit timeChanged(time(), true);
}

void AudioPlayer::deviceFound()
{
    qWarning() << "[AudioPlayer] a sound device was found: the preview plays";
    soundDeviceMissing_ = false;
    setSoundOutputAnswers(true);
    setState(PauseState);
    emit soundDeviceMissingChanged(false);
    emit maxTimeChanged(maxTime());
    emit timeChanged(time(), true);
    if (playWhenFound_)
        play();
}

void AudioPlayer::watchOutput()
{
    const Clock::time_point now = Clock::now();
    // A tick this late finds that the window's thread was held; a sound
    // card driven from it may have been held too, so silence counts anew.
    if (now - lastTick_ > silencePatience_ / 2)
        watchedFrom_ = now;
    lastTick_ = now;
    const SoundFeed::Progress progress = feed_->progress();
    if (progress.ranDry)
        return;
    const bool heard = progress.counted && (!freeSince_ || progress.lastAt > *freeSince_);
    if (heard) {
        freeSince_.reset();
        setSoundOutputAnswers(true);
    }
    // A stream not yet started for the run (opening one may take the sound
    // system a moment) is waited for longer, and its silence says nothing
    // of the output: the stream thread's call fails in time if it does not
    // answer.
    const bool started = heard || runStarted_;
    const auto patience = started ? silencePatience_ : 4 * silencePatience_;
    if (now - std::max(heard ? progress.lastAt : runAskedAt_, watchedFrom_) < patience)
        return;
    if (!freeSince_)
        runFree();
    if (started)
        setSoundOutputAnswers(false);
    // A stream that runs but is not heard from is given up for a new one.
    if ((progress.counted || runStarted_) && now - feedMadeAt_ >= newStreamEvery)
        newFeed(true);
}

void AudioPlayer::setSoundOutputAnswers(bool value)
{
    if (value == soundOutputAnswers_)
        return;
    soundOutputAnswers_ = value;
    if (value)
        qWarning() << "[AudioPlayer] the sound output answers again";
    else
        qWarning() << "[AudioPlayer] the sound output does not answer: the preview goes on without it";
    emit soundOutputAnswersChanged(value);
}

void AudioPlayer::setSoundOutputRefusal(const QString& why)
{
    if (why == soundOutputRefusal_)
        return;
    soundOutputRefusal_ = why;
    emit soundOutputRefusalChanged(why);
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
    if (e->type() == ComponentModel::EventTypes::soundStreamStep) {
        receiver_->delivered();
        onStreamReport(static_cast<StreamStepEvent*>(e)->report);
        return true;
    }
    if (e->type() != ComponentModel::EventTypes::endOfSound)
        return Player::event(e);
    receiver_->delivered();
    // A notice that a seek or a new source overtook is stale.
    if (feed_ && feed_->takeRanDry()) {
        pause();
        if (state() != StopState)
            seekTo(0);
        emit completed();
    }
    return true;
}

void AudioPlayer::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == timerId_) {
        watchOutput();
        emit timeChanged(time(), false);
    }
    Player::timerEvent(e);
}

} // namespace Multimedia
