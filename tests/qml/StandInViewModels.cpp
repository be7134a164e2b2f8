#include "StandInViewModels.h"

#include "componentmodel/QmlTypes.h"
#include "feedback/Communication.h"
#include "gui/GuiDesktopTypes.h"
#include "image/DTVideoDataGil.h"
#include "multimedia/VideoSurface.h"
#include "qml/ViewResources.h"

#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QUuid>
#include <QtQml/qqml.h>

#include <boost/gil.hpp>
#include <boost/make_shared.hpp>

#include <cmath>

namespace standin {

void registerStandIns()
{
    static const bool registered = [] {
        Gui::registerGuiDesktopTypes();
        ComponentModel::registerQmlTypes();
        Application::registerViewResources();
        qmlRegisterType<Feedback::Communication>("Feedback", 1, 0, "Communication");
        qmlRegisterUncreatableType<MainViewModel>("Application", 1, 0, "MainViewModel",
                                                  QStringLiteral("Cant'create MainViewModel!"));
        qmlRegisterUncreatableType<SlideViewModel>("Application", 1, 0, "SlideViewModel",
                                                   QStringLiteral("Cant'create SlideViewModel!"));
        qmlRegisterUncreatableType<SettingsViewModel>("Application", 1, 0, "SettingsViewModel",
                                                      QStringLiteral("Cant'create SettingsViewModel!"));
        qmlRegisterUncreatableType<ConvertViewModel>("Application", 1, 0, "ConvertViewModel",
                                                     QStringLiteral("Cant'create ConvertViewModel!"));
        qmlRegisterUncreatableType<PlayerViewModel>("Application", 1, 0, "PlayerViewModel",
                                                    QStringLiteral("Cant'create PlayerViewModel!"));
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

QString publish(ComponentModel::ImageProvider& photos, const QImage& image)
{
    const QString id = QUuid::createUuid().toString();
    photos.setPixmap(id, QPixmap::fromImage(image));
    return id;
}

} // namespace

// --- Slides and storyboard ---

SlideViewModel::SlideViewModel(const QString& path, ComponentModel::ImageProvider& photos) : path_(path)
{
    const QImage photo(path);
    if (photo.isNull()) {
        state_ = ErrorState;
        return;
    }
    photoId_ = publish(photos, photo.scaled(180, 180, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    state_ = DoneState;
    rotateCw_.setEnabled(true);
    rotateAcw_.setEnabled(true);
}

StoryboardViewModel::StoryboardViewModel(ComponentModel::ImageProvider& photos)
    : photos_(photos), model_(&list_)
{
    connect(&remove_, &QAction::triggered, this, [this] {
        calls << QStringLiteral("removeSlide()");
        if (index_ >= 0 && index_ < list_.count())
            list_.remove(index_);
        updateActions();
    });
    connect(&clear_, &QAction::triggered, this, [this] {
        calls << QStringLiteral("clear()");
        list_.clear();
        setIndex(-1);
        updateActions();
    });
    connect(&rotateCw_, &QAction::triggered, this, [this] { calls << QStringLiteral("rotateSlideCw()"); });
    connect(&rotateAcw_, &QAction::triggered, this, [this] { calls << QStringLiteral("rotateSlideAcw()"); });
    updateActions();
}

void StoryboardViewModel::setIndex(int value)
{
    if (value == index_)
        return;
    index_ = value < 0 ? -1 : qMin(value, list_.count() - 1);
    emit indexChanged(index_);
    updateActions();
}

void StoryboardViewModel::setLoading(bool value)
{
    if (value == loading_)
        return;
    loading_ = value;
    emit loadingChanged(value);
}

void StoryboardViewModel::addSlide(const QString& path, const QString&)
{
    calls << QStringLiteral("addSlide(%1)").arg(path);
    auto slide = QSharedPointer<SlideViewModel>::create(path, photos_);
    if (slide->state() != SlideViewModel::DoneState)
        return;
    list_.append(slide);
    setIndex(list_.count() - 1);
    updateActions();
}

void StoryboardViewModel::insertSlide(const QString& path, const QString&)
{
    calls << QStringLiteral("insertSlide(%1)").arg(path);
    const int at = qMax(index_, 0);
    list_.insert(at, QSharedPointer<SlideViewModel>::create(path, photos_));
    setIndex(at + 1);
    updateActions();
}

void StoryboardViewModel::moveSlide(int fromIndex, int toIndex)
{
    calls << QStringLiteral("moveSlide(%1,%2)").arg(fromIndex).arg(toIndex);
    list_.move(fromIndex, toIndex);
    setIndex(toIndex);
}

void StoryboardViewModel::updateActions()
{
    const bool onSlide = index_ >= 0 && index_ < list_.count();
    remove_.setEnabled(index_ != -1);
    clear_.setEnabled(list_.count() > 0);
    rotateCw_.setEnabled(onSlide);
    rotateAcw_.setEnabled(onSlide);
}

// --- Music ---

MusicViewModel::MusicViewModel()
{
    clear_.setEnabled(false);
    connect(&clear_, &QAction::triggered, this, [this] { setFilePath(QString()); });
}

void MusicViewModel::setFilePath(const QString& value)
{
    if (value == filePath_)
        return;
    filePath_ = value;
    emit filePathChanged(value);
    emit fileNameChanged(fileName());
    clear_.setEnabled(!value.isEmpty());
}

QString MusicViewModel::fileName() const
{
    return QFileInfo(filePath_).fileName();
}

void MusicViewModel::setLoading(bool value)
{
    if (value == loading_)
        return;
    loading_ = value;
    emit loadingChanged(value);
}

// --- Settings ---

namespace {

struct Profile {
    bool fixed;
    double aspect;
    int heights[3]; // low, medium, high
    const char* video;
    const char* audio;
};

const Profile profiles[] = {
    {false, 0, {480, 720, 1080}, "MPEG4", "MP3"},     {false, 0, {480, 720, 1080}, "H264", "AAC"},
    {true, 1.5, {320, 320, 320}, "H264", "AAC"},      {true, 1.5, {640, 640, 640}, "H264", "AAC"},
    {true, 1.775, {640, 640, 640}, "H264", "AAC"},    {true, 4.0 / 3.0, {768, 768, 768}, "H264", "AAC"},
    {true, 4.0 / 3.0, {1080, 1080, 1080}, "H264", "AAC"}, {false, 0, {360, 480, 720}, "H264", "AAC"},
    {false, 0, {360, 480, 720}, "H264", "AAC"},
};

} // namespace

void SettingsViewModel::setSlideDuration(double value)
{
    if (value == slideDuration_)
        return;
    slideDuration_ = qBound(0.5, value, 20.0);
    if (transitionDuration_ > slideDuration_ / 2)
        setTransitionDuration(slideDuration_ / 2);
    emit slideDurationChanged();
}

void SettingsViewModel::setTransitionDuration(double value)
{
    if (value == transitionDuration_)
        return;
    transitionDuration_ = qBound(0.0, value, slideDuration_ / 2);
    emit transitionDurationChanged();
}

void SettingsViewModel::setFormat(Format value)
{
    if (value == format_)
        return;
    format_ = value;
    emit formatChanged(value);
    emit aspectEnabledChanged(fixesNothing());
    emit aspectChanged(aspect());
    emit qualityEnabledChanged(fixesNothing());
    emit qualityChanged(quality());
    emit qualityHintChanged(qualityHint());
}

double SettingsViewModel::aspect() const
{
    return fixesNothing() ? userAspect : profiles[format_].aspect;
}

void SettingsViewModel::setAspect(double value)
{
    if (value == userAspect)
        return;
    userAspect = value;
    emit aspectChanged(aspect());
    emit qualityHintChanged(qualityHint());
}

SettingsViewModel::Quality SettingsViewModel::quality() const
{
    return fixesNothing() ? userQuality : HighQuality;
}

void SettingsViewModel::setQuality(Quality value)
{
    if (value == userQuality)
        return;
    userQuality = value;
    emit qualityChanged(quality());
    emit qualityHintChanged(qualityHint());
}

bool SettingsViewModel::fixesNothing() const
{
    return !profiles[format_].fixed;
}

QString SettingsViewModel::qualityHint() const
{
    const Profile& profile = profiles[format_];
    const int height = profile.heights[userQuality] / 2 * 2;
    const int width = static_cast<int>(aspect() * height) / 2 * 2;
    return QStringLiteral("Video: %1x%2, %3. Audio: %4.")
        .arg(width)
        .arg(height)
        .arg(QLatin1String(profile.video), QLatin1String(profile.audio));
}

// --- Conversion ---

ConvertViewModel::ConvertViewModel(StoryboardViewModel& storyboard, ComponentModel::ImageProvider& photos)
    : storyboard_(storyboard), photos_(photos)
{
    start_.setEnabled(true);
    connect(&start_, &QAction::triggered, this, [this] {
        calls << QStringLiteral("start()");
        progress_ = 0;
        slideIndex_ = 0;
        emit progressChanged(0);
        emit slideIndexChanged(0);
        setState(ConvertState);
    });
    connect(&pause_, &QAction::triggered, this, [this] {
        calls << QStringLiteral("pause()");
        setState(state_ == PauseState ? ConvertState : PauseState);
    });
    connect(&stop_, &QAction::triggered, this, [this] {
        calls << QStringLiteral("stop()");
        setState(StopState);
    });
    setState(StopState);
}

void ConvertViewModel::setState(State value)
{
    const bool changed = value != state_;
    state_ = value;
    start_.setEnabled(value == StopState);
    pause_.setEnabled(value != StopState);
    stop_.setEnabled(value != StopState);
    if (changed)
        emit stateChanged(value);
}

void ConvertViewModel::report(int percent, qint64 remainingMs)
{
    progress_ = percent;
    slideIndex_ = slideCount() * percent / 100;
    remainingTime_ = remainingMs;
    emit progressChanged(progress_);
    emit slideIndexChanged(slideIndex_);
    emit remainingTimeChanged(remainingMs);
    // The frame being encoded: the photo of the slide reached, as a frame.
    if (slideCount() > 0) {
        SlideViewModel* slide = storyboard_.slideAt(qMin(slideIndex_, slideCount() - 1));
        QImage frame = slide ? QImage(slide->filePath()) : QImage();
        if (!frame.isNull()) {
            frame = frame.scaled(640, 480, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                        .copy(0, 0, 640, 480);
            photoId_ = publish(photos_, frame);
            emit photoIdChanged(photoId_);
        }
    }
}

void ConvertViewModel::finish(int result)
{
    setState(StopState);
    if (result == 0)
        emit conversionSucceeded();
    else if (result != 1)
        emit conversionFailed(result, result == 4 ? QStringLiteral("Video encoder failed.")
                                                  : QStringLiteral("Unexpected error."));
}

// --- Player ---

PlayerViewModel::PlayerViewModel(QString picture) : picture_(std::move(picture)) {}

void PlayerViewModel::setSurface(QObject* value)
{
    surface_ = value;
    auto* surface = qobject_cast<Multimedia::VideoSurface*>(value);
    const QImage photo = picture_.isEmpty() ? QImage() : QImage(picture_).convertToFormat(QImage::Format_RGB888);
    if (!surface || photo.isNull())
        return;
    auto image = boost::make_shared<boost::gil::rgb8_image_t>(photo.width(), photo.height());
    auto pixels = boost::gil::view(*image);
    for (int y = 0; y < photo.height(); ++y) {
        const uchar* row = photo.constScanLine(y);
        for (int x = 0; x < photo.width(); ++x)
            pixels(x, y) = boost::gil::rgb8_pixel_t(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
    }
    surface->setFrame(boost::make_shared<kestrel::image::gil::video_data_gil_no_copy>(
        boost::shared_ptr<const boost::gil::rgb8_image_t>(image)));
}

void PlayerViewModel::initialize()
{
    ++initialized;
    player_.pauseAt(0);
}

void PlayerViewModel::deinitialize()
{
    ++deinitialized;
    player_.stop();
}

// --- Main ---

MainViewModel::MainViewModel()
    : storyboard(photoPictures), convert(storyboard, photoPictures),
      player(QString())
{
}

} // namespace standin
