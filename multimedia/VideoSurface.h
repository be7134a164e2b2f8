#pragma once
// A Qt Quick item that paints one picture fitted into its rectangle, keeping
// the picture's aspect ratio, centred on black. Pictures are packed 8-bit
// RGB (three bytes a pixel); they are shown without a copy, through an
// image that wraps the picture's memory and keeps the picture alive.
// Anything else (no picture, or one imageOfPicture refuses: zero size,
// another layout, rows or bytes too short) paints black.
// Registered for QML as "Multimedia" 1.0 `VideoSurface`. GUI thread (paint
// runs while the scene graph holds the GUI thread).

#include "media/DTVideoData.h"

#include <QImage>
#include <QQuickPaintedItem>

namespace Multimedia {

class VideoSurface : public QQuickPaintedItem {
    Q_OBJECT

public:
    explicit VideoSurface(QQuickItem* parent = nullptr);
    ~VideoSurface() override;

    // The same picture again changes nothing; another one is painted at the
    // next update. An empty pointer shows black.
    void setFrame(kestrel::video_data_ptr frame);
    const kestrel::video_data_ptr& frame() const { return frame_; }

    void paint(QPainter* painter) override;

private:
    kestrel::video_data_ptr frame_;
    QImage image_; // wraps frame_'s memory; null until painted
};

} // namespace Multimedia

#include "multimedia/MultimediaTypes.h"
