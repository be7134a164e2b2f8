#include "viewmodel/ConvertViewModel.h"

#include "viewmodel/FileListMessage.h"
#include "viewmodel/FileRefusalText.h"
#include "viewmodel/FolderLook.h"
#include "viewmodel/OutputFolderProblem.h"
#include "viewmodel/ShownPath.h"
#include "viewmodel/SlideshowNameProblem.h"
#include "viewmodel/UsageEvents.h"
#include "viewmodel/WaitingFiles.h"

#include "componentmodel/DesktopLauncher.h"
#include "componentmodel/EventTypes.h"
#include "componentmodel/FileHelpers.h"
#include "componentmodel/GuardedReceiver.h"
#include "componentmodel/ImageProvider.h"
#include "componentmodel/NotifyList.h"
#include "componentmodel/Progress.h"
#include "componentmodel/SignalArgs.h"
#include "multimedia/PictureImage.h"

#include "files/DTAbandonableVideo.h"
#include "files/DTFileRefusal.h"
#include "files/DTLongWaits.h"
#include "files/DTPathFacts.h"
#include "files/DTPathWalk.h"
#include "files/DTReadInterruption.h"
#include "files/DTStopDeadline.h"
#include "media/DTVideoData.h"
#include "slideshow2/DTSlideshow.h"

#include <boost/weak_ptr.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QMetaType>
#include <QPixmap>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <cerrno>
#include <cmath>
#include <mutex>

namespace ViewModel {

namespace {

typedef kestrel::slideshow2::slideshow_produce produce;

// How long the window's thread waits for a step on the output folder (a
// look, the video's creation, naming or removal) before it takes the folder
// for one that does not answer: a disk answers far sooner, a share that
// hangs never. The step goes on by itself (kestrel::abandonable_video).
const std::chrono::milliseconds folderPatience(1000);

// The steps on the output folder within the patience, and given up for
// the session's end (the window's scope).
class FolderPatience {
public:
    FolderPatience() : scope_(kestrel::current_read_interruption(), folderPatience) {}

private:
    const kestrel::read_interruption_scope scope_;
};

// A look at the folder (Qt's, which may wait for it) as such a step.
template <class Result>
Result folderLook(const QString& folder, std::function<Result()> look)
{
    const FolderPatience patience;
    return abandonableFolderLook<Result>(folder, std::move(look));
}

QString folderNotAnswering(const QString& folder)
{
    return ConvertViewModel::tr("The folder \"%1\" does not answer.").arg(QDir::toNativeSeparators(folder));
}

class ProgressEvent : public QEvent {
public:
    static constexpr QEvent::Type type = ComponentModel::EventTypes::conversionProgress;
    ProgressEvent(quint64 production, double percent, kestrel::video_data_ptr frame)
        : QEvent(type), production(production), percent(percent), frame(std::move(frame))
    {
    }
    const quint64 production;
    const double percent;
    const kestrel::video_data_ptr frame;
};

class FinishEvent : public QEvent {
public:
    static constexpr QEvent::Type type = ComponentModel::EventTypes::conversionFinished;
    FinishEvent(quint64 production, int result) : QEvent(type), production(production), result(result) {}
    const quint64 production;
    const int result;
};

// Where a complete video is once the disk answered its naming given up:
// the naming's errno (0: named) and the video's path (the system's bytes).
class LateNamingEvent : public QEvent {
public:
    static constexpr QEvent::Type type = ComponentModel::EventTypes::lateNaming;
    LateNamingEvent(int error, std::string path) : QEvent(type), error(error), path(std::move(path)) {}
    const int error;
    const std::string path;
};

// The producer's callbacks, on its worker thread: they only post, and only
// while the receiver lives.
struct ProgressFunctor {
    std::shared_ptr<ComponentModel::GuardedReceiver> receiver;
    quint64 production;
    void operator()(double percent, const kestrel::video_data_ptr& frame) const
    {
        receiver->post(std::make_unique<ProgressEvent>(production, percent, frame));
    }
};

struct FinishFunctor {
    std::shared_ptr<ComponentModel::GuardedReceiver> receiver;
    quint64 production;
    void operator()(produce::Result result) const
    {
        receiver->post(std::make_unique<FinishEvent>(production, int(result)));
    }
};

// NaN and values outside 0 .. 100 cannot come from a sound producer; they
// are kept out of the integer conversions all the same.
double boundedPercent(double percent)
{
    return percent >= 0.0 ? (percent <= 100.0 ? percent : 100.0) : 0.0;
}

// Empty when the production read every photo it needed whole.
QString unreadablePhotosNotice(const std::vector<kestrel::slideshow2::unreadable_photo>& photos)
{
    QStringList parts;
    const QList<NamedFile> black = namedFiles(photos, false), damaged = namedFiles(photos, true);
    if (!black.isEmpty())
        parts << fileListMessage(ConvertViewModel::tr("These photos could not be read; their slides are black in the video:",
                                                      nullptr, int(black.size())),
                                 black);
    if (!damaged.isEmpty())
        parts << fileListMessage(
            ConvertViewModel::tr("These photos are damaged; the video shows them only as far as they could be read:",
                                 nullptr, int(damaged.size())),
            damaged);
    return parts.join(QStringLiteral("\n\n"));
}

QString joined(const QString& first, const QString& second)
{
    return first.isEmpty() ? second : second.isEmpty() ? first : first + QLatin1Char('\n') + second;
}

// Why a show none of whose photos could be read made no video.
QString unreadablePhotosCause(const std::vector<kestrel::slideshow2::unreadable_photo>& photos)
{
    const QList<NamedFile> named = namedFiles(photos, false);
    if (named.isEmpty())
        return QString();
    return fileListMessage(ConvertViewModel::tr("These photos could not be read:", nullptr, int(named.size())),
                           named);
}

} // namespace

ConvertViewModel::ConvertViewModel(kestrel::slideshow2::slideshow_ptr slideshow,
                                   QSharedPointer<StoryboardViewModel> storyboard,
                                   QSharedPointer<SettingsViewModel> settings,
                                   QSharedPointer<ComponentModel::ImageProvider> photos,
                                   QSharedPointer<MusicViewModel> music, QObject* parent)
    : QObject(parent),
      slideshow_(std::move(slideshow)),
      storyboard_(std::move(storyboard)),
      settings_(std::move(settings)),
      photos_(std::move(photos)),
      music_(std::move(music)),
      mailbox_(std::make_shared<ComponentModel::GuardedReceiver>(this)),
      startAction_(this),
      pauseAction_(this),
      stopAction_(this),
      producerFactory_(&ConvertViewModel::createEngineProducer)
{
    static std::once_flag registered;
    std::call_once(registered,
                   [] { qRegisterMetaType<ConvertViewModel::State>("ViewModel::ConvertViewModel::State"); });
    connect(&startAction_, &QAction::triggered, this, &ConvertViewModel::start);
    connect(&pauseAction_, &QAction::triggered, this, &ConvertViewModel::pause);
    connect(&stopAction_, &QAction::triggered, this, &ConvertViewModel::stop);
    // A production that waits for a file sends no progress: the waits are
    // looked at on their own.
    waitLook_.setInterval(500);
    connect(&waitLook_, &QTimer::timeout, this, &ConvertViewModel::updateWaitingText);
    updateActions();
}

ConvertViewModel::~ConvertViewModel()
{
    ending_ = true;
    mailbox_->close();
    stop();
    estimator_.reset();
    // Waits for the producer's thread: its callbacks may still be posting.
    releaseProducer();
}

kestrel::slideshow2::slideshow_produce_ptr ConvertViewModel::createEngineProducer(
    const kestrel::slideshow2::slideshow_ptr& slideshow, const std::string& outputPath,
    const kestrel::media_settings_ptr& settings)
{
    if (!slideshow)
        return kestrel::slideshow2::slideshow_produce_ptr();
    // The producer reads the show's own sources and switches its reading
    // ahead on for the production; the switch never keeps the show alive.
    const boost::weak_ptr<kestrel::slideshow2::slideshow> show = slideshow;
    const kestrel::slideshow2::buffering_switch setBuffered = [show](bool buffered) {
        if (const kestrel::slideshow2::slideshow_ptr alive = show.lock())
            alive->set_buffered(buffered);
    };
    return kestrel::slideshow2::slideshow_produce_creator::create(slideshow->av_source(), slideshow, setBuffered,
                                                                  outputPath, settings);
}

void ConvertViewModel::setProducerFactory(ProducerFactory factory)
{
    producerFactory_ = factory ? std::move(factory) : ProducerFactory(&ConvertViewModel::createEngineProducer);
}

int ConvertViewModel::progress() const
{
    return producer_ ? progress_ : 0;
}

qint64 ConvertViewModel::remainingTime() const
{
    return estimator_ ? estimator_->remainingTime() : -1;
}

QString ConvertViewModel::photoId() const
{
    if (!previewId_.isEmpty() || !storyboard_)
        return previewId_;
    const QSharedPointer<ComponentModel::NotifyList> slides = storyboard_->slideList();
    const auto* first = slides && !slides->isEmpty() ? qobject_cast<SlideViewModel*>(slides->at(0).data()) : nullptr;
    return first ? first->photoId() : previewId_;
}

int ConvertViewModel::slideCount() const
{
    return slideshow_ ? int(slideshow_->count()) : 0;
}

void ConvertViewModel::start()
{
    if (state_ != StopState)
        return;
    const int slides = slideCount();
    if (slides <= 0)
        return;
    // Music that does not answer would hold the production from its start.
    if (music_ && music_->waiting()) {
        qWarning().noquote() << "[ConvertViewModel] not started: the music does not answer:" << music_->filePath();
        fail(musicNotAnswering,
             tr("The music \"%1\" does not answer; choose other music or remove it, or make the slideshow once "
                "it answers.")
                 .arg(QDir::toNativeSeparators(music_->filePath())));
        return;
    }
    // Music away since the start is not in the video: the good news says so.
    musicNote_.clear();
    if (music_ && !music_->awayPath().isEmpty())
        musicNote_ = tr("made without its music \"%1\": %2")
                         .arg(QFileInfo(music_->awayPath()).fileName(), music_->awayReason());
    try {
        startProduction();
    } catch (...) {
        releaseProducer();
        fail(produce::unexpected_error);
    }
}

void ConvertViewModel::startProduction()
{
    const QString preset = settings_->presetName();
    sendUsageEvent(QStringLiteral("Lumivista"), QStringLiteral("Make Slideshow"),
                   QStringLiteral("Preset: ") + preset + QStringLiteral(", Slides Count: ") +
                       QString::number(slideCount()));
    const kestrel::media_settings_ptr settings = kestrel::media_settings::create();
    settings->set("produce-preset", preset.toLatin1().toStdString());

    // Refused before anything is made: the video could never take its name.
    const QString folder = outputFolder(), name = outputName(), extension = settings_->fileExtention();
    QString nameProblem;
    try {
        nameProblem = folderLook<QString>(folder, [=] { return slideshowNameProblem(name, extension, folder); });
        resultPath_ = freeOutputPath();
    } catch (...) {
        fail(produce::create_file_failed, folderNotAnswering(folder));
        return;
    }
    if (!nameProblem.isEmpty()) {
        fail(produce::create_file_failed, nameProblem);
        return;
    }
    if (resultPath_.isEmpty()) {
        fail(produce::create_file_failed,
             tr("Every name for this slideshow is taken in the folder \"%1\". Choose another slideshow name "
                "in the settings.")
                 .arg(QDir::toNativeSeparators(settings_->outputFolder())));
        return;
    }

    // A stopped production may still be ending: releasing it waits for it,
    // and the new tag turns away whatever it posted meanwhile.
    ++production_;
    releaseProducer();
    const FolderPatience patience;
    auto video = std::make_unique<kestrel::abandonable_video>(QFile::encodeName(resultPath_).toStdString());
    std::string writerPath;
    try {
        if (const int error = video->create(resultFolder().toUtf8().toStdString())) {
            fail(produce::create_file_failed, outputFolderProblem(resultFolder(), error));
            return;
        }
        writerPath = video->writer_path();
    } catch (...) {
        // Made once the folder answers, the file goes by itself.
        fail(produce::create_file_failed, joined(folderNotAnswering(resultFolder()), unfinishedLeft(*video)));
        return;
    }
    producer_ = producerFactory_(slideshow_, writerPath, settings);
    unfinished_ = std::move(video);
    if (!producer_) {
        releaseProducer();
        fail(produce::unexpected_error);
        return;
    }
    leaveOutWaitingPhotos();
    producer_->produce(ProgressFunctor{mailbox_, production_}, FinishFunctor{mailbox_, production_});
    waitLook_.start();

    estimator_ = std::make_unique<ComponentModel::Progress>(0, 100, 2000, 0);
    connect(estimator_.get(), &ComponentModel::Progress::remainingTimeChanged, this,
            &ConvertViewModel::onRemainingTimeChanged);
    estimator_->start();

    progress_ = 0;
    slideIndex_ = 0;
    emit progressChanged(0);
    emit slideIndexChanged(0);
    setPreview(QImage());
    setState(ConvertState);
}

QString ConvertViewModel::outputFolder() const
{
    const QString folder = settings_->outputFolder();
    return folder.isEmpty() ? SettingsViewModel::defaultOutputFolder() : folder;
}

QString ConvertViewModel::freeOutputPath() const
{
    const QString folder = outputFolder(), name = outputName(), extension = settings_->fileExtention();
    // The movies folder of a fresh account may not exist yet; a folder the
    // user chose is never made up.
    const bool made = folder == SettingsViewModel::defaultOutputFolder();
    return folderLook<QString>(folder, [=] {
        if (made)
            QDir().mkpath(folder);
        return FileHelpers::uniqueFilePath(folder, name, extension);
    });
}

QString ConvertViewModel::outputName() const
{
    // A name that cleans down to nothing would make a hidden ".mp4".
    const QString name = settings_->slideshowName();
    return FileHelpers::sanitizeFileName(name).trimmed().isEmpty() ? tr("My slideshow") : name;
}

QString ConvertViewModel::resultFolder() const
{
    return QFileInfo(resultPath_).absolutePath();
}

QString ConvertViewModel::releaseProducer(const kestrel::stop_deadline& deadline)
{
    producer_.reset();
    const QString left = unfinished_ ? discardVideo(*unfinished_, deadline.left()) : QString();
    unfinished_.reset();
    letInWaitingPhotos();
    return left;
}

QString ConvertViewModel::discardVideo(kestrel::abandonable_video& video)
{
    return discardVideo(video, folderPatience);
}

QString ConvertViewModel::discardVideo(kestrel::abandonable_video& video, std::chrono::steady_clock::duration patience)
{
    if (video.discard(patience))
        return QString();
    return unfinishedLeft(video);
}

QString ConvertViewModel::unfinishedLeft(const kestrel::abandonable_video& video)
{
    if (video.unfinished_path().empty())
        return QString();
    // Its removal is left to this process: once it has ended, only the
    // clean-up of the next production there takes the file.
    const QString path =
        QDir::toNativeSeparators(QFile::decodeName(QByteArray::fromStdString(video.unfinished_path())));
    if (!video.made())
        return tr("The unfinished file \"%1\" may still be made once the disk answers; it is removed then if the "
                  "program is still open, else when a slideshow is next made in that folder.")
            .arg(path);
    return tr("The unfinished file \"%1\" could not be removed yet; it goes once the disk answers if the program "
              "is still open, else when a slideshow is next made in that folder.")
        .arg(path);
}

void ConvertViewModel::pause()
{
    if (state_ == PauseState) {
        if (producer_)
            producer_->resume();
        if (estimator_)
            estimator_->start();
        setState(ConvertState);
    } else if (state_ == ConvertState) {
        if (producer_)
            producer_->pause();
        if (estimator_)
            estimator_->stop();
        setState(PauseState);
    }
}

void ConvertViewModel::stop()
{
    if (state_ == StopState)
        return;
    // The production's last writes and the unfinished file's removal share
    // one stop's time for a disk that does not answer.
    const kestrel::stop_deadline deadline;
    if (producer_)
        producer_->stop();
    // A stop is silent, but for a file it could not remove.
    const QString left = releaseProducer(deadline);
    if (!left.isEmpty() && ending_)
        qWarning().noquote() << "[ConvertViewModel]" << left;
    // The production reads no more: what waited may come in.
    letInWaitingPhotos();
    waitLook_.stop();
    updateWaitingText();
    estimator_.reset();
    setState(StopState);
    // Once stopped: the notice never shows over a conversion that seems to
    // run on.
    if (!left.isEmpty() && !ending_)
        emit conversionNotice(left);
}

void ConvertViewModel::leaveOutWaitingPhotos()
{
    leftOutPhotos_.clear();
    if (storyboard_)
        for (const QString& path : storyboard_->waitingPhotos())
            leftOutPhotos_.insert(path.toUtf8().toStdString());
    if (!leftOutPhotos_.empty() && slideshow_)
        slideshow_->set_unanswered_photos(leftOutPhotos_);
}

void ConvertViewModel::letInWaitingPhotos()
{
    if (leftOutPhotos_.empty())
        return;
    leftOutPhotos_.clear();
    if (slideshow_)
        slideshow_->set_unanswered_photos(leftOutPhotos_);
}

void ConvertViewModel::updateWaitingText()
{
    QStringList files;
    QString why;
    if (waitLook_.isActive()) {
        for (const kestrel::long_wait& wait : kestrel::long_waits()) {
            // The storyboard, not the production, waits for a photo left out.
            const QString file = QFile::decodeName(QByteArray::fromStdString(wait.file));
            if (leftOutPhotos_.count(wait.file) || files.contains(file))
                continue;
            if (files.isEmpty())
                why = waitingReason(wait.why);
            files << file;
        }
    }
    const QString path = files.isEmpty() ? QString() : QDir::toNativeSeparators(files.first());
    const QString text = files.isEmpty() ? QString() : waitingMessage(path, why, int(files.size()) - 1);
    if (text == waitingText_)
        return;
    waitingText_ = text;
    waitingPath_ = path;
    emit waitingTextChanged(waitingText_);
}

void ConvertViewModel::onRemainingTimeChanged(ComponentModel::PropertyChangedSignalArgs)
{
    if (estimator_)
        emit remainingTimeChanged(estimator_->remainingTime());
}

bool ConvertViewModel::event(QEvent* e)
{
    // Before the event is read: the worker made it under the mailbox's lock.
    mailbox_->delivered();
    if (e->type() == ProgressEvent::type) {
        const auto* progressEvent = static_cast<ProgressEvent*>(e);
        if (progressEvent->production == production_ && state_ != StopState)
            onProgress(progressEvent->percent, progressEvent->frame);
        return true;
    }
    if (e->type() == LateNamingEvent::type) {
        const auto* late = static_cast<LateNamingEvent*>(e);
        const QString path = QDir::toNativeSeparators(shownPath(late->path));
        emit conversionNotice(late->error == 0
                                  ? tr("The disk has answered: the slideshow is complete as \"%1\".").arg(path)
                                  : tr("The disk has answered, but the slideshow could not take its name: it stays "
                                       "as the hidden file \"%1\" until a slideshow is next made in that folder, "
                                       "which removes it.")
                                        .arg(path));
        return true;
    }
    if (e->type() == FinishEvent::type) {
        const auto* finishEvent = static_cast<FinishEvent*>(e);
        if (finishEvent->production == production_ && producer_)
            onFinished(finishEvent->result);
        return true;
    }
    // Queued calls, timers and deferred deletes keep working.
    return QObject::event(e);
}

void ConvertViewModel::onProgress(double percent, const kestrel::video_data_ptr& frame)
{
    percent = boundedPercent(percent);
    if (estimator_)
        estimator_->setValue(qint64(percent));
    progress_ = int(percent);
    slideIndex_ = int(slideCount() * percent / 100.0);
    emit progressChanged(progress());
    emit slideIndexChanged(slideIndex_);
    // A frame that is no whole packed RGB picture keeps the last preview.
    const QImage picture = Multimedia::imageOfPicture(frame);
    if (!picture.isNull())
        setPreview(picture);
}

void ConvertViewModel::onFinished(int result)
{
    // The worker has made its last call; releasing waits for its thread and
    // closes the file. What is not given the result's name goes with it.
    const std::vector<kestrel::slideshow2::unreadable_photo> unreadable = producer_->unreadable_photos();
    producer_.reset();
    const std::unique_ptr<kestrel::abandonable_video> video = std::move(unfinished_);
    stop();
    if (!video)
        return;
    const FolderPatience patience;
    if (result == produce::cancelled) {
        const QString left = discardVideo(*video);
        if (!left.isEmpty())
            emit conversionNotice(left);
        return;
    }
    if (result == produce::done) {
        int error = 0;
        bool naming = false;
        try {
            error = giveResultName(*video, naming);
        } catch (...) {
            // A naming given up goes on: the video may yet take its name.
            // One refused before it was asked never will.
            if (naming && video->given_up())
                emit conversionNotice(tr("The slideshow is complete, but the disk has not answered its naming as "
                                         "\"%1\"; it may still appear under that name once the disk answers, "
                                         "or under the next free one should that be taken. The log says which.")
                                          .arg(QDir::toNativeSeparators(resultPath_)));
            else if (naming)
                emit conversionNotice(
                    (kestrel::refusal_of(std::current_exception()) == kestrel::file_refusal::earlier_calls_wait
                         ? tr("The slideshow is complete, but it could not be named \"%1\": earlier requests to its "
                              "disk still wait.")
                         : tr("The slideshow is complete, but it could not be named \"%1\"."))
                        .arg(QDir::toNativeSeparators(resultPath_)) +
                    QLatin1Char(' ') +
                    tr("It stays as the hidden file \"%1\" until a slideshow is next made in that folder, which "
                       "removes it.")
                        .arg(QDir::toNativeSeparators(shownPath(video->unfinished_path()))));
            else
                fail(produce::create_file_failed, joined(folderNotAnswering(resultFolder()), discardVideo(*video)));
            return;
        }
        if (error == 0) {
            QStringList notes{unreadablePhotosNotice(unreadable), musicNote_};
            notes.removeAll(QString());
            emit conversionSucceeded(notes.join(QStringLiteral("\n\n")));
            return;
        }
        // Never a complete video left under a hidden name.
        QString cause = folderNotAnswering(resultFolder());
        try {
            const std::string folder = video->folder_path();
            cause = outputFolderProblem(folder, error, video->folder_removed());
        } catch (...) {
        }
        fail(produce::create_file_failed, joined(cause, discardVideo(*video)));
        return;
    }
    // Asked while the unfinished file still takes its room, as the writer
    // saw the folder; the file's room is free again before the message.
    QString cause = result == produce::no_photo_readable ? unreadablePhotosCause(unreadable) : QString();
    if (result != produce::no_photo_readable) {
        try {
            // As the system names it now: renamed meanwhile, it may be no
            // UTF-8 text.
            const std::string folder = video->folder_path();
            cause = outputFailureCause(result, folder, video->folder_removed());
        } catch (...) {
            cause = folderNotAnswering(resultFolder());
        }
    }
    fail(result, joined(cause, discardVideo(*video)));
}

int ConvertViewModel::giveResultName(kestrel::abandonable_video& video, bool& naming)
{
    const QFileInfo wanted(resultPath_);
    QString folderNow = wanted.absolutePath();
    try {
        // As the system names it now: moved meanwhile, the video is there.
        folderNow = QString::fromUtf8(video.folder_path().c_str());
    } catch (...) {
        // Refused at once (earlier requests to the disk still wait): the
        // naming is asked all the same, and says what becomes of the video.
        if (video.given_up())
            throw;
    }
    const QDir folder(folderNow);
    resultPath_ = folder.absoluteFilePath(wanted.fileName());
    // Something may take the name while the video is made, or while its
    // naming waits: the next free one beside it.
    const QString name = outputName(), extension = QLatin1Char('.') + wanted.suffix();
    // Told while the program is open; afterwards only the log says it.
    video.tell_late_naming([mailbox = mailbox_](int error, const std::string& path) {
        mailbox->post(std::make_unique<LateNamingEvent>(error, path));
    });
    naming = true;
    const kestrel::abandonable_video::naming named =
        video.finish_as(wanted.fileName().toUtf8().toStdString(), [name, extension](int number) {
            return FileHelpers::numberedFileName(name, number, extension).toUtf8().toStdString();
        });
    naming = false;
    if (named.error == 0)
        resultPath_ = folder.absoluteFilePath(QString::fromUtf8(named.name.c_str()));
    return named.error;
}

QString ConvertViewModel::outputFailureCause(int result, const std::string& folder, bool removed) const
{
    if (result != produce::create_file_failed && result != produce::muxer_failed)
        return QString();
    if (removed)
        return outputFolderProblem(folder, ENOENT, true);
    if (const int error = kestrel::abandonable_video::probe(folder))
        return outputFolderProblem(folder, error);
    if (result == produce::muxer_failed)
        return QString();
    return tr("The file could not be made in the folder \"%1\".").arg(QDir::toNativeSeparators(shownPath(folder)));
}

void ConvertViewModel::fail(int code, const QString& cause)
{
    QString text;
    switch (code) {
    case produce::invalid_preset: text = tr("Can't find preset."); break;
    case produce::audio_encoder_failed: text = tr("Audio encoder failed."); break;
    case produce::video_encoder_failed: text = tr("Video encoder failed."); break;
    case produce::create_file_failed: text = tr("Can't create output file."); break;
    case produce::muxer_failed: text = tr("Media muxer failed."); break;
    case produce::no_photo_readable: text = tr("Not one photo of the slideshow could be read."); break;
    case musicNotAnswering: break; // the cause says it all
    default: text = tr("Unexpected error."); break;
    }
    if (!cause.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + cause;
    emit conversionFailed(code, text);
}

void ConvertViewModel::setState(State state)
{
    state_ = state;
    emit stateChanged(state);
    updateActions();
}

void ConvertViewModel::updateActions()
{
    startAction_.setEnabled(state_ == StopState);
    pauseAction_.setEnabled(state_ != StopState);
    stopAction_.setEnabled(state_ != StopState);
}

void ConvertViewModel::setPreview(const QImage& image)
{
    if (!previewId_.isEmpty()) {
        if (photos_)
            photos_->setPixmap(previewId_, QPixmap());
        previewId_.clear();
    }
    if (!image.isNull()) {
        previewId_ = QUuid::createUuid().toString();
        if (photos_)
            photos_->setPixmap(previewId_, QPixmap::fromImage(image));
    }
    emit photoIdChanged(photoId());
}

void ConvertViewModel::showResult() { handResultToDesktop(true); }

void ConvertViewModel::openResult() { handResultToDesktop(false); }

void ConvertViewModel::handResultToDesktop(bool show)
{
    if (resultPath_.isEmpty())
        return;
    const QString path = resultPath_;
    looks_.run([this, path, show] {
        const kestrel::path_facts facts =
            kestrel::look_at_path(QFile::encodeName(path).toStdString(), true, folderPatience);
        return [this, path, show, facts] {
            const QString shown = QDir::toNativeSeparators(shownPath(path));
            if (facts.error == 0 && show) {
                if (!ComponentModel::showInFolder(QUrl::fromLocalFile(QFile::decodeName(facts.real_path.c_str()))))
                    emit conversionNotice(tr("The desktop has no program to show \"%1\" in its folder.").arg(shown));
            } else if (facts.error == 0) {
                if (!ComponentModel::openUrl(QUrl::fromLocalFile(path)))
                    emit conversionNotice(tr("The desktop has no program to play \"%1\".").arg(shown));
            } else if (doesNotAnswer(facts.refusal)) {
                emit conversionNotice(folderNotAnswering(QFileInfo(path).absolutePath()));
            }
        };
    });
}

} // namespace ViewModel
