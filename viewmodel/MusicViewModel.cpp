#include "viewmodel/MusicViewModel.h"

#include "viewmodel/FileRefusalText.h"
#include "viewmodel/SettingsStore.h"
#include "viewmodel/WaitingFiles.h"

#include "componentmodel/EventTypes.h"
#include "componentmodel/GuardedReceiver.h"

#include "files/DTPathFacts.h"
#include "files/DTRegularFile.h"
#include "slideshow2/DTSlideshow.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QSettings>
#include <QtDebug>

#include <sys/stat.h>

#include <chrono>
#include <exception>

namespace ViewModel {

namespace {

const QString pathKey = QStringLiteral("Music/filePath");

// The loader's answer for one choice of a file: the track, or empty and why.
class OpenEvent : public QEvent {
public:
    OpenEvent(unsigned long long choice, kestrel::audio_track_ptr track, const kestrel::refused_file& reason)
        : QEvent(ComponentModel::EventTypes::musicOpened), choice(choice), track(std::move(track)),
          reason(refusalText(reason)), refusal(reason.refusal)
    {
    }
    const unsigned long long choice;
    const kestrel::audio_track_ptr track;
    const QString reason;
    const kestrel::file_refusal refusal;
};

// Runs on the loader's thread; posts, and the track goes with the event or
// is released here when the view model is gone.
struct OpenFunctor {
    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox;
    unsigned long long choice;

    void operator()(kestrel::audio_track_ptr track, const kestrel::refused_file& reason) const
    {
        mailbox->post(std::make_unique<OpenEvent>(choice, std::move(track), reason));
    }
};

void openLooping(const std::string& path, const kestrel::audio_track_answer& done)
{
    kestrel::open_audio_track_explained(path.c_str(), nullptr, true, done);
}

} // namespace

MusicViewModel::MusicViewModel(kestrel::slideshow2::slideshow_ptr slideshow, QObject* parent)
    : MusicViewModel(std::move(slideshow), &openLooping, parent)
{
}

MusicViewModel::MusicViewModel(kestrel::slideshow2::slideshow_ptr slideshow, Loader loader, QObject* parent)
    : QObject(parent), slideshow_(std::move(slideshow)),
      mailbox_(std::make_shared<ComponentModel::GuardedReceiver>(this)), clearAction_(this), loader_(std::move(loader))
{
    Q_ASSERT(slideshow_);
    clearAction_.setEnabled(false);
    connect(&clearAction_, &QAction::triggered, this, &MusicViewModel::clear);
    patience_.setSingleShot(true);
    connect(&patience_, &QTimer::timeout, this, &MusicViewModel::onPatienceOver);
    retry_.setSingleShot(true);
    retry_.setInterval(askAgainAfter);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (awaitedChoice_ != 0)
            startOpen(awaitedChoice_, filePath_);
    });
    setFilePath(QSettings().value(pathKey, QString()).toString());
    startChoice_ = awaitedChoice_;
}

MusicViewModel::~MusicViewModel()
{
    mailbox_->close();
    store();
}

QString MusicViewModel::storedPath() const { return filePath_.isEmpty() ? keptPath_ : filePath_; }

void MusicViewModel::store() const
{
    QSettings settings;
    settings.setValue(pathKey, storedPath());
    SettingsStore::instance().store(settings);
}

QString MusicViewModel::fileName() const { return QFileInfo(filePath_).fileName(); }

void MusicViewModel::clear()
{
    keptPath_.clear();
    keptReason_.clear();
    setFilePath(QString());
    updateClearAction();
}

void MusicViewModel::setFilePath(const QString& path)
{
    if (path == filePath_)
        return;
    ++choice_;
    awaitedChoice_ = 0;
    stopWaiting();
    if (path.isEmpty()) {
        slideshow_->set_audio_track(kestrel::audio_track_ptr());
        playingPath_.clear();
    } else {
        // The music playing now stays until the new file has opened.
        awaitedChoice_ = choice_;
        startOpen(choice_, path);
        patience_.start(openPatience);
        setLoading(true);
    }
    showPath(path);
}

void MusicViewModel::showPath(const QString& path)
{
    if (path == filePath_)
        return;
    filePath_ = path;
    emit filePathChanged(filePath_);
    emit fileNameChanged(fileName());
    updateClearAction();
}

void MusicViewModel::updateClearAction() { clearAction_.setEnabled(!filePath_.isEmpty() || !keptPath_.isEmpty()); }

void MusicViewModel::startOpen(unsigned long long choice, const QString& path)
{
    // A look the share does not answer within the bound leaves the file to
    // the loader's thread, and the music waits at once.
    looks_.run([this, choice, path] {
        const kestrel::path_facts facts = kestrel::look_at_path(path.toUtf8().toStdString(), true, lookPatience);
        return [this, choice, path, error = facts.error, mode = unsigned(facts.mode), refusal = facts.refusal] {
            onLooked(choice, path, error, mode, refusal);
        };
    });
}

void MusicViewModel::onLooked(unsigned long long choice, const QString& path, int error, unsigned mode,
                              kestrel::file_refusal refusal)
{
    // A newer choice took its place: nothing more is opened for this one.
    if (choice != awaitedChoice_) {
        finishOpen(choice, kestrel::audio_track_ptr(), QString());
        return;
    }
    const OpenFunctor answer{mailbox_, choice};
    // A folder, a named pipe or a device holds no music: said at once, with what it is.
    if (error == 0 && !S_ISREG(mode)) {
        answer(kestrel::audio_track_ptr(), {kestrel::file_refusal::none, kestrel::irregular_file_reason(mode_t(mode))});
        return;
    }
    try {
        loader_(path.toUtf8().toStdString(), answer);
    } catch (const std::exception& failure) {
        qWarning().noquote() << "[MusicViewModel] the music could not be opened:" << path << failure.what();
        answer(kestrel::audio_track_ptr(), {kestrel::file_refusal::none, "cannot be opened"});
        return;
    }
    if (doesNotAnswer(refusal))
        startWaiting();
}

void MusicViewModel::onPatienceOver()
{
    // Slowed by a busy machine, not kept waiting by its file system: it
    // goes on opening.
    if (awaitedChoice_ != 0 && !waiting_ && !keptWaiting(filePath_)) {
        patience_.start(patienceLookAgain);
        return;
    }
    startWaiting();
}

void MusicViewModel::startWaiting()
{
    patience_.stop();
    if (awaitedChoice_ == 0 || waiting_)
        return;
    qWarning().noquote() << "[MusicViewModel] waiting for the music:" << filePath_;
    waiting_ = true;
    setLoading(false);
    updateWaitingText();
}

void MusicViewModel::stopWaiting()
{
    patience_.stop();
    retry_.stop();
    if (!waiting_)
        return;
    waiting_ = false;
    updateWaitingText();
}

void MusicViewModel::updateWaitingText()
{
    const QString text = waiting_ ? waitingMessage(fileName(), whyWaitingFor(filePath_), 0) : QString();
    if (text == waitingText_)
        return;
    waitingText_ = text;
    emit waitingTextChanged(waitingText_);
}

bool MusicViewModel::event(QEvent* event)
{
    // Before the event is read, so that race checkers see the worker's
    // writes to it; one uncontended lock for any event.
    mailbox_->delivered();
    // Other events (queued calls, deleteLater) are QObject's business.
    if (event->type() != ComponentModel::EventTypes::musicOpened)
        return QObject::event(event);
    const OpenEvent* open = static_cast<OpenEvent*>(event);
    finishOpen(open->choice, open->track, open->reason, open->refusal);
    return true;
}

void MusicViewModel::finishOpen(unsigned long long choice, const kestrel::audio_track_ptr& track,
                                const QString& reason, kestrel::file_refusal refusal)
{
    if (choice != awaitedChoice_) {
        // A newer choice took its place. After a clear nothing else is
        // coming, so this answer still ends the loading.
        if (awaitedChoice_ == 0)
            setLoading(false);
        return;
    }
    if (!track && doesNotAnswer(refusal)) {
        // Refused while earlier requests to its share still wait: it waits,
        // and is asked again later, as a photo is.
        startWaiting();
        retry_.start();
        return;
    }
    awaitedChoice_ = 0;
    stopWaiting();
    if (track) {
        slideshow_->set_audio_track(track);
        playingPath_ = filePath_;
        keptPath_.clear();
        keptReason_.clear();
    } else {
        if (choice == startChoice_) {
            keptPath_ = filePath_;
            keptReason_ = whyNotOpened(reason);
        }
        refuse(reason);
    }
    store();
    setLoading(false);
}

QString MusicViewModel::whyNotOpened(const QString& reason)
{
    return reason.isEmpty() ? tr("cannot be opened") : reason;
}

void MusicViewModel::refuse(const QString& reason)
{
    const QString why = whyNotOpened(reason);
    qWarning().noquote() << QStringLiteral("[MusicViewModel] the music was not changed: %1: %2").arg(filePath_, why);
    QString message = tr("The music \"%1\" could not be opened: %2.").arg(QDir::toNativeSeparators(filePath_), why);
    if (!playingPath_.isEmpty())
        message += QLatin1Char('\n') + tr("The music chosen before stays.");
    else if (keptPath_ == filePath_)
        message += QLatin1Char('\n') + tr("It stays chosen for when it is back.");
    // The music that played before the choice still plays.
    showPath(playingPath_);
    emit openFailed(message);
}

void MusicViewModel::setLoading(bool loading)
{
    // Every start of an open announces itself, also while one runs.
    if (loading == loading_ && !loading)
        return;
    loading_ = loading;
    emit loadingChanged(loading_);
}

} // namespace ViewModel
