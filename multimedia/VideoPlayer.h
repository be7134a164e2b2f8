#pragma once
// Adds pictures to the audio player: pictures of the same source follow the
// sound's clock. While playing, a 25 ms timer takes the next picture once
// the clock has passed the end of the one on screen, and skips ahead in one
// step when it has fallen more than a picture behind; paused, the picture
// for the current time is shown after every seek. Pictures go to a
// VideoSurface, which the player does not own. GUI thread only: pictures
// are read there (the source reads them ahead on a thread of its own), but
// never while the sound's reader moves the source, and only as the source
// has them at hand (read_now): the picture on screen stays meanwhile.

#include "multimedia/AudioPlayer.h"
#include "multimedia/VideoSurface.h"

namespace Multimedia {

class VideoPlayer : public AudioPlayer {
    Q_OBJECT
    Q_PROPERTY(float aspect READ aspect NOTIFY aspectChanged)

public:
    explicit VideoPlayer(QObject* parent = nullptr);
    ~VideoPlayer() override;

    // The same source again changes nothing. A source without pictures is
    // not kept for pictures, but its sound still plays. Once the output
    // turns out to have no sound device the player stops, showing the
    // picture at the source's position.
    void setSource(kestrel::av_source_ptr source) override;
    // Not owned; null stops reading pictures until a surface comes back.
    virtual void setSurface(VideoSurface* surface);

    // Width / height of the source's pictures; 16/9 without pictures.
    float aspect() const;

signals:
    void aspectChanged(float value);

protected slots:
    void onTimeChanged(qint64 value, bool isDeep);
    void onStateChanged(Multimedia::Player::State value);

protected:
    void timerEvent(QTimerEvent* e) override;
    // clear: drop the picture and show black. Otherwise read the next
    // picture when the clock has left the one held (skipping ahead when
    // far behind) and hand it to the surface; a picture source that fails
    // shows black.
    void updateFrame(bool clear);

private:
    void stopFrameTimer();
    // A picture that could not be taken now (still being made, or the
    // sound's reader moving the source) is asked for again shortly, also
    // while paused or without a sound device, where no frame timer runs.
    void pictureLater();
    void stopPendingPicture();

    kestrel::av_source_ptr source_;
    kestrel::video_data_timed_ptr frame_;
    VideoSurface* surface_ = nullptr;
    int frameTimerId_ = -1;
    int pendingPictureTimerId_ = -1;
    // While setSource runs, the time change that follows the new state
    // fetches the first picture; the state change must not fetch one too.
    bool changingSource_ = false;
    bool pictureFailed_ = false; // logged once until a read succeeds
};

} // namespace Multimedia
