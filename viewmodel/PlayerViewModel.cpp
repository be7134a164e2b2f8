#include "viewmodel/PlayerViewModel.h"

#include "viewmodel/UsageEvents.h"

#include "media/DTMediaSettings.h"
#include "slideshow2/DTSlideshow.h"

#include <QDebug>

#include <algorithm>
#include <string>

namespace ViewModel {

namespace {

const double previewFrameRate = 25.0;

} // namespace

PlayerViewModel::PlayerViewModel(kestrel::slideshow2::slideshow_ptr slideshow, QObject* parent)
    : QObject(parent), slideshow_(std::move(slideshow))
{
    Q_ASSERT(slideshow_);
    setSurfaceHeight(maxSurfaceHeight);
}

PlayerViewModel::~PlayerViewModel() = default;

void PlayerViewModel::setSurface(QObject* item)
{
    if (surface_)
        disconnect(surface_, &QObject::destroyed, this, nullptr);
    surface_ = item;
    player_.setSurface(qobject_cast<Multimedia::VideoSurface*>(item));
    // The view's item may go before the view calls deinitialize(); the
    // player must not paint on it then.
    if (item)
        connect(item, &QObject::destroyed, this, [this] { player_.setSurface(nullptr); });
}

void PlayerViewModel::setSurfaceHeight(int height)
{
    height = std::min(height, maxSurfaceHeight);
    if (height < 1 || height == surfaceHeight_)
        return;
    surfaceHeight_ = height;
    applyToSlideshow("frame-height", std::to_string(height));
}

void PlayerViewModel::initialize()
{
    slideshow_->apply_settings(kestrel::media_settings::create<double>("video-frame-rate", previewFrameRate));
    // Buffered first: the rewind's picture is then made on the read-ahead
    // thread, never here (a photo's file may not answer). Music that does
    // not answer leaves the show where it stands; the player says so, and
    // moves it once the music answers.
    slideshow_->set_buffered(true);
    try {
        Multimedia::seekWaitingAtMost(*slideshow_->av_source(), 0.0);
    } catch (const std::exception& error) {
        qWarning() << "[PlayerViewModel] the show could not be rewound:" << error.what();
    }
    player_.setSource(slideshow_->av_source());
    sendUsageEvent(QStringLiteral("Lumivista"), QStringLiteral("Show Player"));
}

void PlayerViewModel::deinitialize()
{
    player_.pause();
    player_.setTime(0);
    player_.setSource(kestrel::av_source_ptr());
    slideshow_->set_buffered(false);
}

void PlayerViewModel::applyToSlideshow(const char* key, const std::string& value)
{
    slideshow_->apply_settings(kestrel::media_settings::create()->set(key, value));
}

} // namespace ViewModel
