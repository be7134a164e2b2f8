#include "viewmodel/SlideViewModel.h"

#include "viewmodel/FileRefusalText.h"
#include "viewmodel/WaitingFiles.h"

#include "componentmodel/EventTypes.h"
#include "componentmodel/GuardedReceiver.h"
#include "componentmodel/ImageProvider.h"
#include "multimedia/PictureImage.h"

#include "files/DTFailureReason.h"
#include "files/DTReadInterruption.h"
#include "slideshow2/DTCancelOpen.h"
#include "slideshow2/DTSlide.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QUuid>
#include <QtDebug>

#include <exception>
#include <string>

namespace ViewModel {

namespace {

// The engine's answer to the photo open: 0 opened, anything else not.
class OpenEvent : public QEvent {
public:
    explicit OpenEvent(int error) : QEvent(ComponentModel::EventTypes::photoOpened), error(error) {}
    const int error;
};

// Runs on a photo manager worker; copies share the one mailbox.
struct OpenFunctor {
    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox;

    void operator()(kestrel::slideshow2::slide::OpenResult result) const
    {
        mailbox->post(std::make_unique<OpenEvent>(result));
    }
};

void registerStateType()
{
    static const int id = qRegisterMetaType<SlideViewModel::State>("ViewModel::SlideViewModel::State");
    Q_UNUSED(id);
}

} // namespace

SlideViewModel::SlideViewModel(kestrel::slideshow2::slide_ptr slide, const QString& filePath, const QString& settings,
                               kestrel::slideshow2::photo_manager_ptr photoManager,
                               QSharedPointer<ComponentModel::ImageProvider> photos, Opening opening,
                               QObject* parent)
    : QObject(parent), slide_(std::move(slide)), photos_(std::move(photos)), filePath_(filePath),
      settings_(settings), mailbox_(std::make_shared<ComponentModel::GuardedReceiver>(this)), rotateCwAction_(this),
      rotateAcwAction_(this)
{
    registerStateType();
    rotateCwAction_.setEnabled(false);
    connect(&rotateCwAction_, &QAction::triggered, this, &SlideViewModel::rotateCw);
    rotateAcwAction_.setEnabled(false);
    connect(&rotateAcwAction_, &QAction::triggered, this, &SlideViewModel::rotateAcw);
    retry_.setSingleShot(true);
    retry_.setInterval(askAgainAfter);
    connect(&retry_, &QTimer::timeout, this, &SlideViewModel::retryOpen);
    photoManager_ = photoManager;
    openSettings_ = settings;
    if (opening == OpenAtOnce)
        openPhoto();
}

void SlideViewModel::openPhoto()
{
    if (openStarted_ || !slide_)
        return;
    openStarted_ = true;
    startOpen(photoManager_.lock());
}

SlideViewModel::~SlideViewModel()
{
    mailbox_->close();
    if (openHandle_)
        kestrel::slideshow2::cancel_open(openHandle_);
    if (!photoId_.isEmpty() && photos_)
        photos_->setPixmap(photoId_, QPixmap());
}

void SlideViewModel::startOpen(const kestrel::slideshow2::photo_manager_ptr& photoManager)
{
    const std::string path = filePath_.toUtf8().toStdString();
    const QByteArray properties = openSettings_.toLatin1();
    try {
        openHandle_ = slide_->open_photo(photoManager, path, kestrel::media_settings_ptr(), OpenFunctor{mailbox_},
                                         std::string(properties.constData(), properties.size()));
    } catch (const std::exception& error) {
        // Answered like a photo that failed, once the storyboard listens.
        qWarning().noquote() << "[SlideViewModel] the photo could not be queued:" << filePath_ << error.what();
        failureReason_ = QString::fromStdString(kestrel::errors::reason_of(std::current_exception()));
        mailbox_->post(std::make_unique<OpenEvent>(kestrel::slideshow2::slide::not_opened));
    }
}

bool SlideViewModel::event(QEvent* event)
{
    // Before the event is read, so that race checkers see the worker's
    // writes to it; one uncontended lock for any event.
    mailbox_->delivered();
    // Other events (queued calls, deleteLater) are QObject's business.
    if (event->type() != ComponentModel::EventTypes::photoOpened)
        return QObject::event(event);
    finishOpen(static_cast<OpenEvent*>(event)->error);
    return true;
}

void SlideViewModel::retryOpen()
{
    if (const kestrel::slideshow2::photo_manager_ptr manager = photoManager_.lock())
        startOpen(manager);
}

void SlideViewModel::finishOpen(int error)
{
    // The engine may answer twice only if someone opened the slide again.
    if (state_ != InitState)
        return;
    if (error != kestrel::slideshow2::slide::opened) {
        const kestrel::refused_file failure = slide_ ? slide_->open_failure() : kestrel::refused_file();
        // Still opening, as far as anyone can tell: asked again later.
        if (failureReason_.isEmpty() && doesNotAnswer(failure.refusal)) {
            givenUp_ = true;
            retry_.start();
            emit openingGivenUp();
            return;
        }
        if (failureReason_.isEmpty())
            failureReason_ = refusalText(failure);
        if (failureReason_.isEmpty())
            failureReason_ = tr("cannot be opened");
        state_ = ErrorState;
        emit stateChanged(state_);
        return;
    }
    damageReason_ = QString::fromStdString(slide_->photo_damage());
    readSettings();
    updateThumbnail();
    rotateCwAction_.setEnabled(true);
    rotateAcwAction_.setEnabled(true);
    state_ = DoneState;
    emit stateChanged(state_);
}

void SlideViewModel::rotateCw() { rotate(1); }

void SlideViewModel::rotateAcw() { rotate(3); }

void SlideViewModel::rotate(int code)
{
    if (state_ != DoneState)
        return;
    turnsAsked_.append(code);
    if (!turning_)
        turnNext();
}

void SlideViewModel::turnNext()
{
    turning_ = !turnsAsked_.isEmpty();
    if (!turning_)
        return;
    const int code = turnsAsked_.takeFirst();
    turns_.run([this, slide = slide_, path = filePath_, code]() -> BackgroundLooks::Answer {
        std::string failure;
        try {
            slide->rotate(code);
        } catch (const kestrel::read_interrupted&) {
            throw;
        } catch (const std::exception& error) {
            failure = error.what();
        }
        // Runs only while this view model lives.
        return [this, path, failure] {
            // The file changed or went since it was opened; the engine
            // keeps what it could, and the text below says what that is.
            if (!failure.empty())
                qWarning().noquote() << "[SlideViewModel] the photo could not be turned:" << path << failure.c_str();
            readSettings();
            updateThumbnail();
            emit changed();
            turnNext();
        };
    });
}

void SlideViewModel::readSettings()
{
    // One byte per character, so that the engine gets back exactly its text.
    const std::string text = slide_->get_properties();
    settings_ = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void SlideViewModel::updateThumbnail()
{
    if (!photoId_.isEmpty()) {
        photos_->setPixmap(photoId_, QPixmap());
        photoId_.clear();
    }
    kestrel::video_data_ptr picture;
    try {
        picture = slide_->thumbnail();
    } catch (const std::exception& error) {
        qWarning().noquote() << "[SlideViewModel] no thumbnail for" << filePath_ << error.what();
    }
    // No picture, or one Qt cannot read whole, leaves the slide without a
    // thumbnail.
    const QImage image = Multimedia::imageOfPicture(picture);
    if (!image.isNull()) {
        photoId_ = QUuid::createUuid().toString();
        photos_->setPixmap(photoId_, QPixmap::fromImage(image));
    }
    emit photoIdChanged(photoId_);
}

} // namespace ViewModel
