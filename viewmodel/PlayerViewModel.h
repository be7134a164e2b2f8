#pragma once
// The preview window's view model: one preview player fed with the
// slideshow's audio/video source. initialize() readies the show when the
// window opens (25 frames a second, rewound to 0 unless the music does not
// answer within half a second, pictures read ahead) and
// hands its source to the player, which waits paused at 0; deinitialize()
// takes the player off the source and ends the read-ahead when the window
// closes, in that order, so the read-ahead thread never stops under a
// player still reading. surfaceHeight is the picture height the show
// renders for the preview: at most 480; a height below 1 (a window laid out
// with no room yet) is not applied.
//
// Ownership: the main view model holds it; the slideshow (never null) is
// shared; the surface is the view's item, not owned, and forgotten when the
// item goes. GUI thread only. Throws nothing of its own.

#include "multimedia/VideoPlayer.h"

#include "slideshow2/DTSlideshowTypes.h"

#include <QObject>
#include <QPointer>

namespace ViewModel {

class PlayerViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* player READ player NOTIFY fakeSignal)
    Q_PROPERTY(QObject* surface READ surface WRITE setSurface NOTIFY fakeSignal)
    Q_PROPERTY(int surfaceHeight READ surfaceHeight WRITE setSurfaceHeight NOTIFY fakeSignal)

public:
    static constexpr int maxSurfaceHeight = 480;

    // Applies the full preview height to the slideshow at once.
    explicit PlayerViewModel(kestrel::slideshow2::slideshow_ptr slideshow, QObject* parent = nullptr);
    // Does not deinitialize: the view does that when it goes.
    ~PlayerViewModel() override;

    QObject* player() { return &player_; }
    Multimedia::VideoPlayer& videoPlayer() { return player_; }
    QObject* surface() const { return surface_; }
    // An item that is no Multimedia::VideoSurface gives the player none.
    void setSurface(QObject* item);
    int surfaceHeight() const { return surfaceHeight_; }
    void setSurfaceHeight(int height);

    Q_INVOKABLE void initialize();
    Q_INVOKABLE void deinitialize();

signals:
    void fakeSignal();

private:
    void applyToSlideshow(const char* key, const std::string& value);

    kestrel::slideshow2::slideshow_ptr slideshow_;
    Multimedia::VideoPlayer player_;
    QPointer<QObject> surface_;
    int surfaceHeight_ = -1;
};

} // namespace ViewModel
