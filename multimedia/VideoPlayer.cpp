#include "multimedia/VideoPlayer.h"

#include <QDebug>
#include <QTimerEvent>

namespace Multimedia {

namespace {
const int frameInterval = 25; // ms
} // namespace

VideoPlayer::VideoPlayer(QObject* parent) : AudioPlayer(parent)
{
    connect(this, &AudioPlayer::timeChanged, this, &VideoPlayer::onTimeChanged);
    connect(this, &Player::stateChanged, this, &VideoPlayer::onStateChanged);
}

VideoPlayer::~VideoPlayer()
{
    stopFrameTimer();
    stopPendingPicture();
    frame_.reset();
    surface_ = nullptr;
    source_.reset();
}

void VideoPlayer::setSource(kestrel::av_source_ptr source)
{
    if (source == source_)
        return;
    updateFrame(true);
    source_ = source && source->video() ? source : kestrel::av_source_ptr();
    changingSource_ = true;
    AudioPlayer::setSource(source);
    changingSource_ = false;
    emit aspectChanged(aspect());
}

void VideoPlayer::setSurface(VideoSurface* surface)
{
    surface_ = surface;
}

float VideoPlayer::aspect() const
{
    if (!source_)
        return 16.0f / 9.0f;
    const kestrel::video_format_ptr format = source_->video()->format();
    if (!format || format->height() <= 0)
        return 16.0f / 9.0f;
    return static_cast<float>(format->width()) / static_cast<float>(format->height());
}

void VideoPlayer::onStateChanged(Multimedia::Player::State value)
{
    switch (value) {
    case PlayState:
        if (source_ && frameTimerId_ == -1)
            frameTimerId_ = startTimer(frameInterval);
        break;
    case PauseState:
        stopFrameTimer();
        if (!changingSource_)
            updateFrame(false);
        break;
    case StopState:
        stopFrameTimer();
        // A show that cannot play for want of a sound device still shows
        // where it stands.
        if (!soundDeviceMissing() || !source_)
            updateFrame(true);
        else if (!frame_)
            updateFrame(false);
        break;
    }
}

void VideoPlayer::onTimeChanged(qint64 /*value*/, bool isDeep)
{
    if (!isDeep || soundDeviceMissing())
        return;
    updateFrame(true);
    if (state() == PauseState)
        updateFrame(false);
}

void VideoPlayer::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == frameTimerId_)
        updateFrame(false);
    if (e->timerId() == pendingPictureTimerId_) {
        stopPendingPicture();
        updateFrame(false);
    }
    AudioPlayer::timerEvent(e);
}

void VideoPlayer::stopPendingPicture()
{
    if (pendingPictureTimerId_ != -1)
        killTimer(pendingPictureTimerId_);
    pendingPictureTimerId_ = -1;
}

void VideoPlayer::pictureLater()
{
    // Playing, the frame timer asks again anyway.
    if (frameTimerId_ == -1 && pendingPictureTimerId_ == -1)
        pendingPictureTimerId_ = startTimer(frameInterval);
}

void VideoPlayer::stopFrameTimer()
{
    if (frameTimerId_ != -1)
        killTimer(frameTimerId_);
    frameTimerId_ = -1;
}

void VideoPlayer::updateFrame(bool clear)
{
    stopPendingPicture();
    if (clear) {
        frame_.reset();
        if (surface_)
            surface_->setFrame(kestrel::video_data_ptr());
        return;
    }
    if (!source_ || !surface_)
        return;
    // While the sound's reader moves the source, the picture on screen
    // stays until a later tick.
    std::unique_lock<std::mutex> turn;
    if (!pictureTurn(turn)) {
        pictureLater();
        return;
    }

    kestrel::video_source* pictures = source_->video();
    double skipAhead = 0.0;
    const double t = static_cast<double>(time());
    if (frame_) {
        const double start = frame_->start;
        const double duration = frame_->duration;
        if (t < start + duration)
            return;
        if (t - start > 2.0 * duration)
            skipAhead = t - start;
    }
    try {
        if (skipAhead > 0.0) {
            pictures->advance(skipAhead);
            // Skipped once: the next picture that comes is shown as it is.
            frame_.reset();
        }
        // A picture still being made (its photo's file may not answer)
        // leaves the one on screen until a later tick.
        kestrel::video_data_timed_ptr next;
        if (pictures->read_now(next) == kestrel::video_source::answer::not_yet) {
            pictureLater();
            return;
        }
        frame_ = next;
        pictureFailed_ = false;
    } catch (const std::exception& error) {
        // Shown as the end of the pictures; the next tick tries again.
        if (!pictureFailed_)
            qWarning() << "[VideoPlayer] reading a picture failed:" << error.what();
        pictureFailed_ = true;
        frame_.reset();
    }
    surface_->setFrame(frame_ ? frame_->data : kestrel::video_data_ptr());
}

} // namespace Multimedia
