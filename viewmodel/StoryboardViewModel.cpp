#include "viewmodel/StoryboardViewModel.h"

#include "viewmodel/FileListMessage.h"
#include "viewmodel/FileRefusalText.h"
#include "viewmodel/ShownPath.h"
#include "viewmodel/StoryboardFile.h"
#include "viewmodel/WaitingFiles.h"

#include "componentmodel/ImageProvider.h"
#include "componentmodel/NotifyListModel.h"

#include "base/DTNameOrder.h"
#include "base/DTNumberText.h"
#include "base/DTUtf8Text.h"
#include "files/DTFailureReason.h"
#include "files/DTFolderEntries.h"
#include "files/DTPathFacts.h"
#include "media/DTMediaSettings.h"
#include "slideshow2/DTPhotoManager.h"
#include "slideshow2/DTSlideshow.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStringList>
#include <QtDebug>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace ViewModel {

namespace {

QString notFound() { return QString::fromStdString(kestrel::errors::file_access_reason(ENOENT)); }

// Thumbnails: small enough for the grid, turned as the camera meant.
// A photo that does not answer frees its worker once it waits: the
// photos after it open meanwhile, and it is asked again later.
kestrel::media_settings_ptr photoManagerSettings()
{
    kestrel::media_settings_ptr settings = kestrel::media_settings::create();
    settings->set("max-side-length", std::string("180"));
    settings->set("correct-orientation", std::string("1"));
    settings->set("open-patience", kestrel::text::to_text(static_cast<long long>(openPatience.count())));
    return settings;
}

} // namespace

// What one look at a path found.
struct StoryboardViewModel::PathLook {
    // Why the path is no file or folder to add, in the engine's words;
    // empty when it is one. Only a regular file is worth a slide: a folder
    // is walked, and a named pipe, a device or a socket is no photo.
    QString reason;
    bool folder = false;
    // Past the patience, or refused while earlier looks there still wait:
    // taken as a photo that does not answer yet.
    bool unanswered = false;
    // The path with its links resolved, as bytes; empty when none.
    std::string realPath;
};

// What the look at a chosen path found: the path's own look, and for a
// folder walked, its photos in name order and what it left out.
struct StoryboardViewModel::Looked {
    struct Photo {
        QString path;
        bool unanswered;
    };
    PathLook look;
    QList<Photo> photos;
    QList<NamedFile> leftOut; // paths as shown (shownPath())
};

// One look, bounded by lookPatience: a share that hangs keeps the look's
// thread a moment at most.
StoryboardViewModel::PathLook StoryboardViewModel::lookAt(const QString& path)
{
    PathLook look;
    const std::string bytes = QFile::encodeName(path).toStdString();
    if (!kestrel::is_utf8_text(bytes)) {
        look.reason = refusalText(kestrel::file_refusal::name_not_utf8);
        return look;
    }
    const kestrel::path_facts facts = kestrel::look_at_path(bytes, true, lookPatience);
    look.reason = facts.refusal != kestrel::file_refusal::none
                      ? refusalText(facts.refusal)
                      : QString::fromStdString(kestrel::unusable_path_reason(facts));
    look.unanswered = doesNotAnswer(facts.refusal);
    look.folder = facts.error == 0 && S_ISDIR(facts.mode);
    look.realPath = facts.real_path;
    // A name that is not UTF-8 comes decoded from a drop or a dialog, its
    // bytes turned into replacement characters: the path names nothing.
    if (look.reason == notFound() && path.contains(QChar::ReplacementCharacter))
        look.reason = refusalText(kestrel::file_refusal::name_not_utf8);
    return look;
}

StoryboardViewModel::StoryboardViewModel(kestrel::slideshow2::slideshow_ptr slideshow,
                                         QSharedPointer<ComponentModel::ImageProvider> photos, QObject* parent)
    : QObject(parent), slideshow_(std::move(slideshow)), photos_(std::move(photos)),
      slideList_(new ComponentModel::NotifyList), slideModel_(new ComponentModel::NotifyListModel(slideList_.data())),
      savedMailbox_(std::make_shared<ComponentModel::GuardedReceiver>(this)), removeSlideAction_(this),
      clearAction_(this), rotateSlideCwAction_(this), rotateSlideAcwAction_(this)
{
    Q_ASSERT(slideshow_);
    photoManager_ = kestrel::slideshow2::photo_manager::create(photoManagerSettings());

    removeSlideAction_.setEnabled(false);
    connect(&removeSlideAction_, &QAction::triggered, this, &StoryboardViewModel::removeSlide);
    clearAction_.setEnabled(false);
    connect(&clearAction_, &QAction::triggered, this, &StoryboardViewModel::clear);
    rotateSlideCwAction_.setEnabled(false);
    connect(&rotateSlideCwAction_, &QAction::triggered, this, &StoryboardViewModel::rotateSlideCw);
    rotateSlideAcwAction_.setEnabled(false);
    connect(&rotateSlideAcwAction_, &QAction::triggered, this, &StoryboardViewModel::rotateSlideAcw);

    patience_.setSingleShot(true);
    connect(&patience_, &QTimer::timeout, this, &StoryboardViewModel::checkPatience);
    connect(slideList_.data(), &ComponentModel::NotifyList::listChanged, this,
            &StoryboardViewModel::onSlideListChanged);
    restore();
}

StoryboardViewModel::~StoryboardViewModel()
{
    save();
    // Nothing is told of the last save: its thread ends with this object.
    savedMailbox_->close();
}

bool StoryboardViewModel::event(QEvent* event)
{
    return savedMailbox_->handled(event) || QObject::event(event);
}

QObject* StoryboardViewModel::slides() const { return slideModel_.get(); }

void StoryboardViewModel::setIndex(int index)
{
    if (index == index_)
        return;
    const int count = slideList_->count();
    if (index < 0)
        index = -1;
    else if (index >= count)
        index = count - 1;
    index_ = index;
    emit indexChanged(index_);
    updateActions();
}

StoryboardViewModel::Looked StoryboardViewModel::lookFor(const QString& path, bool walkFolder)
{
    Looked found;
    found.look = lookAt(path);
    if (walkFolder && found.look.folder) {
        QSet<QString> walkedFolders;
        StoryboardViewModel::walkFolder(path, found.look.realPath, walkedFolders, found);
    }
    return found;
}

void StoryboardViewModel::collect(const QString& path, const PathLook& look, QSet<QString>& walkedFolders,
                                  Looked& found)
{
    // Nothing at the path (gone since it was listed): nothing to say.
    if (look.reason == notFound())
        return;
    if (!look.reason.isEmpty() && !look.unanswered)
        found.leftOut.append({shownPath(path), look.reason});
    else if (look.folder)
        walkFolder(path, look.realPath, walkedFolders, found);
    else
        found.photos.append({path, look.unanswered});
}

void StoryboardViewModel::walkFolder(const QString& path, const std::string& realPath, QSet<QString>& walkedFolders,
                                     Looked& found)
{
    // Each real folder once: a link back into the tree ends the walk there.
    const QString folder = QFile::decodeName(QByteArray::fromStdString(realPath));
    if (folder.isEmpty() || walkedFolders.contains(folder))
        return;
    walkedFolders.insert(folder);
    // Listed by the names' bytes: every entry is added or named with why,
    // in name order (a sub-folder's photos at its place), as the command-line
    // maker takes them; the system lists them in an order of its own.
    std::vector<std::string> names;
    kestrel::file_refusal refusal = kestrel::file_refusal::none;
    if (const int error = kestrel::list_folder(realPath, names, false, lookPatience, &refusal)) {
        found.leftOut.append({shownPath(path), refusal != kestrel::file_refusal::none
                                                   ? refusalText(refusal)
                                                   : QString::fromStdString(kestrel::errors::file_access_reason(error))});
        return;
    }
    std::sort(names.begin(), names.end(), kestrel::name_order_less);
    for (const std::string& name : names) {
        // Qt text cannot hold such a name: it is shown with its bytes.
        if (!kestrel::is_utf8_text(name)) {
            found.leftOut.append({shownPath(realPath + '/' + name), refusalText(kestrel::file_refusal::name_not_utf8)});
            continue;
        }
        const QString entry = QFile::decodeName(QByteArray::fromStdString(realPath + '/' + name));
        // Added by where its links lead; a link that leads nowhere it may
        // go, or to a name that is not UTF-8, is named by itself.
        const PathLook look = lookAt(entry);
        if (!look.realPath.empty() && !kestrel::is_utf8_text(look.realPath)) {
            found.leftOut.append({shownPath(entry), refusalText(kestrel::file_refusal::name_not_utf8)});
            continue;
        }
        const QString target = QFile::decodeName(QByteArray::fromStdString(look.realPath));
        collect(target.isEmpty() ? entry : target, look, walkedFolders, found);
    }
}

void StoryboardViewModel::addSlide(const QString& path, const QString& settings)
{
    appendChosen(path, settings, Purpose::Add);
}

void StoryboardViewModel::appendChosen(const QString& path, const QString& settings, Purpose purpose)
{
    Q_ASSERT(slideshow_);
    const kestrel::slideshow2::slide_ptr slide = slideshow_->add_slide();
    slideList_->append(makeSlide(slide, path, settings, SlideViewModel::OpenWhenAsked));
    const QObject* chosen = slideList_->at(slideList_->count() - 1).data();
    setIndex(slideList_->count() - 1);
    if (purpose == Purpose::Restore)
        restoring_.insert(chosen);
    lookLater(chosen, purpose);
}

void StoryboardViewModel::insertSlide(const QString& path, const QString& settings)
{
    Q_ASSERT(slideshow_);
    const QObject* inserted = nullptr;
    if (!isSlideIndex(index_)) {
        // No current slide to insert before: the photo goes last and
        // nothing becomes current, so several inserts keep their order.
        const kestrel::slideshow2::slide_ptr slide = slideshow_->add_slide();
        slideList_->append(makeSlide(slide, path, settings, SlideViewModel::OpenWhenAsked));
        inserted = slideList_->at(slideList_->count() - 1).data();
    } else {
        const int position = index_;
        const kestrel::slideshow2::slide_ptr slide = slideshow_->insert_slide(static_cast<std::size_t>(position));
        slideList_->insert(position, makeSlide(slide, path, settings, SlideViewModel::OpenWhenAsked));
        inserted = slideList_->at(position).data();
        setIndex(position + 1);
    }
    lookLater(inserted, Purpose::Insert);
}

void StoryboardViewModel::lookLater(const QObject* slide, Purpose purpose)
{
    const quint64 serial = ++lookSerial_;
    pendingLooks_.insert(slide, {serial, purpose});
    const QString path = static_cast<const SlideViewModel*>(slide)->filePath();
    const bool walkFolder = purpose != Purpose::Insert;
    // The answer runs on this thread, and only while this view model lives.
    looks_.run([this, slide, serial, path, walkFolder] {
        const Looked looked = lookFor(path, walkFolder);
        return [this, slide, serial, looked] { onLooked(slide, serial, looked); };
    });
}

void StoryboardViewModel::onLooked(const QObject* slide, quint64 serial, const Looked& looked)
{
    const auto pending = pendingLooks_.constFind(slide);
    if (pending == pendingLooks_.cend() || pending->serial != serial)
        return;
    const Purpose purpose = pending->purpose;
    pendingLooks_.erase(pending);
    const int position = slideList_->indexOf(const_cast<QObject*>(slide));
    Q_ASSERT(position >= 0);
    SlideViewModel* chosen = slideAt(position);
    const PathLook& look = looked.look;
    QString reason = look.unanswered ? QString() : look.reason;
    if (reason.isEmpty() && look.folder && purpose == Purpose::Insert)
        reason = QString::fromStdString(kestrel::errors::file_access_reason(EISDIR));
    if (!reason.isEmpty()) {
        // Missing, in a folder that may not be entered, no longer readable:
        // a stored photo is held for a later start, a chosen one named
        // (unless gone meanwhile).
        if (purpose == Purpose::Restore)
            hold(anchorBefore(position), {chosen->filePath(), chosen->settings()}, reason, serial);
        else if (reason != notFound())
            leaveOut(shownPath(chosen->filePath()), reason, serial);
        removeAt(position);
    } else if (look.folder) {
        for (const NamedFile& file : looked.leftOut)
            leaveOut(file.path, file.reason, serial);
        replaceByFolder(position, looked);
    } else {
        // One that does not answer yet waits at once; its opening decides.
        chosen->openPhoto();
        if (look.unanswered)
            startWaiting(chosen);
    }
    updateLoading();
    updateActions();
}

void StoryboardViewModel::replaceByFolder(int position, const Looked& looked)
{
    Q_ASSERT(slideshow_);
    // In after the folder's slide and then that one out, so that the add
    // goes on loading without a break.
    const int count = int(looked.photos.size());
    for (int i = 0; i < count; ++i) {
        const int at = position + 1 + i;
        const kestrel::slideshow2::slide_ptr slide = slideshow_->insert_slide(static_cast<std::size_t>(at));
        slideList_->insert(at, makeSlide(slide, looked.photos[i].path, QString()));
        if (looked.photos[i].unanswered)
            startWaiting(slideList_->at(at).data());
    }
    // Stored entries held after the folder's slide follow its last photo.
    const QObject* folderSlide = slideAt(position);
    if (count > 0 && held_.contains(folderSlide))
        held_[slideAt(position + count)] += held_.take(folderSlide);
    // The same photo stays current; in the folder's place, its last photo.
    if (index_ > position)
        setIndex(index_ + count);
    else if (index_ == position && count > 0)
        setIndex(position + count);
    removeAt(position);
}

void StoryboardViewModel::moveSlide(int fromIndex, int toIndex)
{
    if (!isSlideIndex(fromIndex) || !isSlideIndex(toIndex))
        return;
    Q_ASSERT(slideshow_);
    slideshow_->move_slide(static_cast<std::size_t>(fromIndex), static_cast<std::size_t>(toIndex));
    slideList_->move(fromIndex, toIndex);
    setIndex(toIndex);
}

void StoryboardViewModel::removeSlide()
{
    if (isSlideIndex(index_))
        removeAt(index_);
}

void StoryboardViewModel::removeAwayPhotos()
{
    if (held_.isEmpty())
        return;
    held_.clear();
    scheduleSave();
}

void StoryboardViewModel::clear()
{
    restoring_.clear();
    if (slideList_->isEmpty()) {
        removeAwayPhotos();
        return;
    }
    held_.clear();
    Q_ASSERT(slideshow_);
    slideshow_->clear();
    slideList_->clear();
    setIndex(-1);
}

void StoryboardViewModel::rotateSlideCw()
{
    if (isSlideIndex(index_))
        slideAt(index_)->rotateCw();
}

void StoryboardViewModel::rotateSlideAcw()
{
    if (isSlideIndex(index_))
        slideAt(index_)->rotateAcw();
}

void StoryboardViewModel::save()
{
    savePending_ = false;
    QList<StoryboardEntry> entries;
    entries.reserve(slideList_->count());
    entries += held_.value(nullptr);
    for (int i = 0; i < slideList_->count(); ++i) {
        const SlideViewModel* slide = slideAt(i);
        entries.append({slide->filePath(), slide->settings()});
        entries += held_.value(slide);
    }
    saves_.put([this, entries, mailbox = savedMailbox_] {
        StoryboardFile::SaveProblem problem;
        StoryboardFile::save(entries, &problem);
        mailbox->postCall([this, problem] { saved(problem); });
    });
}

void StoryboardViewModel::saved(const StoryboardFile::SaveProblem& problem)
{
    if (problem.path.isEmpty()) {
        storeProblems_.storeWorked();
        return;
    }
    const QString message = tr("The storyboard could not be stored in \"%1\": %2.")
                                .arg(QDir::toNativeSeparators(problem.path), problem.cause) +
                            QLatin1Char('\n') +
                            tr("Until it can be stored, changes to it will be lost when the program ends.");
    if (storeProblems_.isNew(message))
        emit storageProblem(message);
}

void StoryboardViewModel::restore()
{
    StoryboardFile::LoadDamage damage;
    int restored = 0;
    for (const StoryboardEntry& entry : StoryboardFile::load(&damage)) {
        if (entry.filePath.isEmpty())
            continue;
        ++restored;
        // Each shows in its place at once; its look holds it (missing, in a
        // folder that may not be entered, no longer readable), opens it (and
        // a failed opening holds it too) or walks the folder now there as an
        // add would.
        appendChosen(entry.filePath, entry.settings, Purpose::Restore);
    }
    if (!damage.unreadable.isEmpty()) {
        const QString message = tr("The stored storyboard \"%1\" could not be read: %2.")
                                    .arg(QDir::toNativeSeparators(damage.path), damage.unreadable) +
                                QLatin1Char('\n') +
                                tr("It is left as it is; the storyboard is stored in a new file from now on.");
        QMetaObject::invokeMethod(
            this, [this, message] { emit storageProblem(message); }, Qt::QueuedConnection);
    }
    if (damage.damaged) {
        // Queued: the view connects once the constructor has returned.
        const QString message =
            tr("The stored storyboard could not be read to its end. Slides restored from it: %n.", nullptr,
               restored) +
            QLatin1Char('\n') +
            tr("The file as it was is kept as \"%1\".").arg(QDir::toNativeSeparators(damage.keptAt));
        QMetaObject::invokeMethod(
            this, [this, message] { emit storyboardDamaged(message); }, Qt::QueuedConnection);
    }
}

void StoryboardViewModel::updateLoading()
{
    const bool loading = !unreported_.isEmpty();
    if (loading != loading_) {
        loading_ = loading;
        emit loadingChanged(loading_);
    }
    if (!loading_) {
        scheduleSave();
        if (!leftOut_.isEmpty() || !away_.isEmpty() || !damaged_.isEmpty())
            scheduleLeftOutReport();
    }
    updateWaiting();
    armPatience();
}

QStringList StoryboardViewModel::waitingPhotos() const
{
    QStringList paths;
    for (int i = 0; i < slideList_->count() && paths.size() < waiting_.size(); ++i)
        if (waiting_.contains(slideAt(i)))
            paths << slideAt(i)->filePath();
    return paths;
}

void StoryboardViewModel::startWaiting(const QObject* slide)
{
    unreported_.remove(slide);
    waiting_.insert(slide);
    updateLoading();
}

void StoryboardViewModel::checkPatience()
{
    // A slide whose photo answered and whose report is still queued is
    // about to settle: it goes on counting as loading.
    for (auto each = unreported_.begin(); each != unreported_.end();) {
        const auto* slide = static_cast<const SlideViewModel*>(each.key());
        // A slide whose look has not answered waits no more than the
        // look's patience: it goes on counting as loading meanwhile; so does
        // one whose file system has not kept it waiting (a busy machine).
        // An opening given up was kept waiting, though the wait is over.
        if (each.value().hasExpired() && slide->state() == SlideViewModel::InitState &&
            !pendingLooks_.contains(slide) && (slide->givenUp() || keptWaiting(slide->filePath()))) {
            qWarning().noquote() << QStringLiteral("[StoryboardViewModel] waiting for %1: no answer within %2 s")
                                        .arg(slide->filePath())
                                        .arg(openPatience.count());
            waiting_.insert(slide);
            each = unreported_.erase(each);
        } else {
            ++each;
        }
    }
    updateLoading();
}

void StoryboardViewModel::armPatience()
{
    if (unreported_.isEmpty() && waiting_.isEmpty()) {
        patience_.stop();
        return;
    }
    // A deadline set since the timer was armed comes later than the one it
    // was armed for.
    if (patience_.isActive())
        return;
    // While photos wait, why they wait may change (a lease found on the
    // way): the text is looked at again now and then.
    qint64 next = 1000;
    for (const QDeadlineTimer& deadline : std::as_const(unreported_))
        next = std::min(next, deadline.hasExpired() ? qint64(patienceLookAgain.count()) : deadline.remainingTime());
    // A report on its way is given a moment.
    patience_.start(int(std::max<qint64>(next, 50)));
}

void StoryboardViewModel::updateWaiting()
{
    const QStringList paths = waitingPhotos();
    const QString text = paths.isEmpty() ? QString()
                                         : waitingMessage(QFileInfo(paths.first()).fileName(),
                                                          whyWaitingFor(paths.first()), int(paths.size()) - 1);
    if (text == waitingText_)
        return;
    waitingText_ = text;
    emit waitingTextChanged(waitingText_);
}

void StoryboardViewModel::leaveOut(const QString& path, const QString& reason, quint64 rank)
{
    qWarning().noquote() << QStringLiteral("[StoryboardViewModel] left out: %1: %2").arg(path, reason);
    leftOut_.append({rank, {path, reason}});
    scheduleLeftOutReport();
}

void StoryboardViewModel::hold(const QObject* anchor, const StoryboardEntry& entry, const QString& reason,
                               quint64 rank)
{
    const QString shown = shownPath(entry.filePath);
    qWarning().noquote()
        << QStringLiteral("[StoryboardViewModel] left out: %1: %2; kept in the storyboard for when it is back")
               .arg(shown, reason);
    held_[anchor].append(entry);
    away_.append({rank, {shown, reason}});
    scheduleLeftOutReport();
}

const QObject* StoryboardViewModel::anchorBefore(int position) const
{
    return position > 0 ? slideList_->at(position - 1).data() : nullptr;
}

void StoryboardViewModel::noteDamaged(const QString& path, const QString& reason)
{
    const QString shown = shownPath(path);
    qWarning().noquote() << QStringLiteral("[StoryboardViewModel] damaged: %1: %2").arg(shown, reason);
    damaged_.append({shown, reason});
    scheduleLeftOutReport();
}

QList<NamedFile> StoryboardViewModel::inOrder(QList<RankedFile> files)
{
    std::stable_sort(files.begin(), files.end(),
                     [](const RankedFile& a, const RankedFile& b) { return a.rank < b.rank; });
    QList<NamedFile> named;
    named.reserve(files.size());
    for (const RankedFile& each : std::as_const(files))
        named.append(each.file);
    return named;
}

void StoryboardViewModel::scheduleLeftOutReport()
{
    if (reportPending_)
        return;
    reportPending_ = true;
    QMetaObject::invokeMethod(this, &StoryboardViewModel::reportLeftOut, Qt::QueuedConnection);
}

void StoryboardViewModel::reportLeftOut()
{
    reportPending_ = false;
    // Photos still opening may fail too: one message once they settle.
    if (loading_)
        return;
    if (!away_.isEmpty()) {
        const int count = int(away_.size());
        const QString message = fileListMessage(tr("These files were left out:", nullptr, count), inOrder(away_)) +
                                QStringLiteral("\n\n") +
                                tr("They are kept in the storyboard for when they are back: they come back at a "
                                   "later start where they are found. Remove them from the storyboard for good?",
                                   nullptr, count);
        away_.clear();
        emit photosAway(message, count);
    }
    if (leftOut_.isEmpty() && damaged_.isEmpty())
        return;
    QStringList parts;
    if (!leftOut_.isEmpty())
        parts << fileListMessage(tr("These files were left out:", nullptr, int(leftOut_.size())), inOrder(leftOut_));
    if (!damaged_.isEmpty())
        parts << fileListMessage(tr("These photos are damaged; they show only as far as they could be read:", nullptr,
                                    int(damaged_.size())),
                                 damaged_);
    leftOut_.clear();
    damaged_.clear();
    emit filesLeftOut(parts.join(QStringLiteral("\n\n")));
}

void StoryboardViewModel::scheduleSave()
{
    if (savePending_)
        return;
    savePending_ = true;
    QMetaObject::invokeMethod(this, &StoryboardViewModel::save, Qt::QueuedConnection);
}

void StoryboardViewModel::updateActions()
{
    const bool current = isSlideIndex(index_);
    removeSlideAction_.setEnabled(index_ != -1);
    clearAction_.setEnabled(slideList_->count() > 0);
    rotateSlideCwAction_.setEnabled(current && slideAt(index_)->rotateCwAction()->isEnabled());
    rotateSlideAcwAction_.setEnabled(current && slideAt(index_)->rotateAcwAction()->isEnabled());
}

void StoryboardViewModel::onSlideListChanged(ComponentModel::ListChangedSignalArgs args)
{
    using Action = ComponentModel::ListChangedSignalArgs::Action;
    const Action action = args.action();
    if (action == Action::Remove || action == Action::Replace || action == Action::Clear) {
        for (const QSharedPointer<QObject>& item : args.oldItems()) {
            unreported_.remove(item.data());
            waiting_.remove(item.data());
            pendingLooks_.remove(item.data());
        }
    }
    if (action == Action::Add || action == Action::Replace) {
        for (const QSharedPointer<QObject>& item : args.newItems()) {
            SlideViewModel* slide = qobject_cast<SlideViewModel*>(item.data());
            if (slide->state() == SlideViewModel::InitState)
                unreported_.insert(slide, QDeadlineTimer(openPatience));
            // Queued: a slide that failed is removed, which must not happen
            // inside its own signal. The guard tells a report of a slide
            // since deleted from one of a new slide at the same address.
            connect(
                slide, &SlideViewModel::stateChanged, this,
                [this, reporter = QPointer<SlideViewModel>(slide)](SlideViewModel::State state) {
                    onSlideStateChanged(reporter.data(), state);
                },
                Qt::QueuedConnection);
            connect(slide, &SlideViewModel::changed, this, &StoryboardViewModel::scheduleSave);
            // Past its patience, it waits from then on, however late this
            // thread looks.
            connect(slide, &SlideViewModel::openingGivenUp, this, &StoryboardViewModel::checkPatience);
        }
    }
    updateLoading();
    updateActions();
}

void StoryboardViewModel::onSlideStateChanged(SlideViewModel* reporter, SlideViewModel::State state)
{
    // A slide no longer in the list (or deleted: null) counts no more.
    const int position = reporter ? slideList_->indexOf(reporter) : -1;
    const SlideViewModel* slide = position >= 0 ? slideAt(position) : nullptr;
    unreported_.remove(slide);
    waiting_.remove(slide);
    if (state == SlideViewModel::ErrorState && slide && slide->state() == SlideViewModel::ErrorState) {
        // A restored photo that cannot be read now may be readable at a
        // later start: its entry stays in its place.
        if (restoring_.contains(slide))
            hold(anchorBefore(position), {slide->filePath(), slide->settings()}, slide->failureReason());
        else
            leaveOut(shownPath(slide->filePath()), slide->failureReason());
        removeAt(position);
    } else if (state == SlideViewModel::DoneState && slide) {
        restoring_.remove(slide);
        if (!slide->damageReason().isEmpty())
            noteDamaged(slide->filePath(), slide->damageReason());
    }
    updateLoading();
    updateActions();
}

void StoryboardViewModel::removeAt(int position)
{
    Q_ASSERT(slideshow_);
    const QObject* slide = slideAt(position);
    restoring_.remove(slide);
    if (held_.contains(slide))
        held_[anchorBefore(position)] += held_.take(slide);
    slideshow_->remove_slide(static_cast<std::size_t>(position));
    slideList_->remove(position);
    // What the view's grid does with its current item: the same photo stays
    // current, or the one now in its place, or the new last one.
    if (position < index_)
        setIndex(index_ - 1);
    else if (index_ >= slideList_->count())
        setIndex(slideList_->count() - 1);
}

bool StoryboardViewModel::isSlideIndex(int index) const { return index >= 0 && index < slideList_->count(); }

SlideViewModel* StoryboardViewModel::slideAt(int index) const
{
    return static_cast<SlideViewModel*>(slideList_->at(index).data());
}

QSharedPointer<QObject> StoryboardViewModel::makeSlide(const kestrel::slideshow2::slide_ptr& slide,
                                                       const QString& path, const QString& settings,
                                                       SlideViewModel::Opening opening)
{
    return QSharedPointer<QObject>(new SlideViewModel(slide, path, settings, photoManager_, photos_, opening));
}

} // namespace ViewModel
