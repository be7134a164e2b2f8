#pragma once
// A Qt Quick item that paints one picture fitted into its rectangle, keeping
// the picture's aspect ratio, centred on black. Pictures are packed 8-bit
// RGB (three bytes a pixel); they are shown without a copy: the item keeps
// the picture alive while it wraps its memory. Anything else (no picture,
// a picture of zero size or of another layout) paints black.
// Registered for QML as "Multimedia" 1.0 `VideoSurface`. GUI thread (paint
// runs while the scene graph holds the GUI thread).

#include "DTVideoData.h"

#include <QImage>
#include <QQuickPaintedItem>

#include <memory>

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
    bool canShow(const kestrel::video_data& picture) const;

    kestrel::video_data_ptr frame_;
    std::unique_ptr<QImage> image_; // wraps frame_'s memory
};

} // namespace Multimedia

#include "multimedia/MultimediaTypes.h"
