#pragma once
// The storyboard: the ordered photo slides the user assembles, kept in step
// in two lists, the engine's slideshow (which the preview and the
// conversion read) and an observable list of SlideViewModel (which the main
// view shows through the list model `slides`). Every change goes to the
// engine first and to the list second, at the same index, so slide i of
// the engine is slide i of the list whenever control returns to the event
// loop.
//
// It owns the photo manager (thumbnails: longer side 180 pixels, EXIF
// orientation applied) that every slide view model opens its photo with,
// drops a slide whose photo fails to open, leaves out a chosen file it
// cannot read (a log line for each, naming the file and the reason; once
// the photos of an add have settled, filesLeftOut brings one message
// listing them, those found by the looks in the order they were chosen
// before those whose opening failed, and after them the damaged photos the
// add kept, which show only as far as they could be read, each with why),
// keeps the current slide `index`, and saves the storyboard file
// (StoryboardFile.h) after each settled change and each slide's changed()
// (once the events queued with it have run) and when it is destroyed,
// writing it on a thread of its own (StoreThread.h: the window never waits
// for the disk, and the destructor waits for the last save); the
// constructor restores the last storyboard. A stored file that did not
// read to its end brings storyboardDamaged once, after the constructor,
// with how many slides it gave and where it is kept.
//
// A stored photo that cannot be found or read at start (on a disk that is
// not plugged in, say) is not shown and not in the slideshow, but its entry
// (path and properties text) is held: anchored after the shown slide it
// followed (or before the first), it moves with that slide, passes to the
// slide before when that one goes, and is written in its place at every
// save, so that it comes back at a later start where it is found. Once the
// restored photos have settled, photosAway brings one message naming the
// held photos; removeAwayPhotos (and clear) drops them for good.
//
// A photo that has not answered within openPatience (WaitingFiles.h; a
// share that hangs, a lease) no longer counts as loading: its slide keeps
// its place, still opening, and waits. waitingText names it ("Waiting for
// "x.jpg": it does not answer.", one photo named and how many more), and
// waitingPhotos gives them for a production to leave out. Its answer,
// whenever it comes, brings it in or drops it as any answer does.
//
// What stands at a chosen path (an add, an insert, a folder walked, the
// restore) is looked at off this thread (BackgroundLooks.h): the path's
// slide shows at once in its place, opening nothing yet and loading, and
// fills in once the look answers: its photo opens, or it leaves (named
// with why as above; at start held), or, for a folder, gives its place to
// the folder's photos in name order. A look does not wait past
// lookPatience: a path that does not answer by then is a photo that waits,
// and its opening decides. An answer for a slide that has gone meanwhile
// is dropped.
//
// A storyboard file that cannot be read or stored is told through
// storageProblem, naming the file and why: a store failure once per cause,
// and again after a save that worked.
//
// Indices from the view are checked: insertSlide without a current slide
// appends, and a move, removal or rotation naming no slide is ignored, so
// the engine never sees a bad index. A folder walk visits each real folder
// once, whatever symbolic links lead back into it.
//
// Ownership: the main view model holds it through a shared pointer and
// gives it the slideshow (must not be null) and the photos provider; the
// slide view models are owned only through the list. GUI thread only.

#include "viewmodel/BackgroundLooks.h"
#include "viewmodel/FileListMessage.h"
#include "viewmodel/SlideViewModel.h"
#include "viewmodel/StoreProblem.h"
#include "viewmodel/StoreThread.h"
#include "viewmodel/StoryboardFile.h"

#include "componentmodel/GuardedReceiver.h"
#include "componentmodel/NotifyList.h"
#include "slideshow2/DTSlideshowTypes.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <string>

namespace ComponentModel {
class ImageProvider;
class NotifyListModel;
} // namespace ComponentModel

namespace ViewModel {

class StoryboardViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* slides READ slides NOTIFY fakeSignal)
    Q_PROPERTY(int index READ index WRITE setIndex NOTIFY indexChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QString waitingText READ waitingText NOTIFY waitingTextChanged)
    Q_PROPERTY(QAction* removeSlideAction READ removeSlideAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* clearAction READ clearAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* rotateSlideCwAction READ rotateSlideCwAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* rotateSlideAcwAction READ rotateSlideAcwAction NOTIFY fakeSignal)

public:
    StoryboardViewModel(kestrel::slideshow2::slideshow_ptr slideshow,
                        QSharedPointer<ComponentModel::ImageProvider> photos, QObject* parent = nullptr);
    ~StoryboardViewModel() override;

    QObject* slides() const;
    int index() const { return index_; }
    // Clamps to -1 ... count - 1; the same value as now emits nothing.
    void setIndex(int index);
    // Photos are opening that have not yet had their patience.
    bool loading() const { return loading_; }
    // Paths chosen whose look has not answered yet.
    bool looking() const { return !pendingLooks_.isEmpty(); }
    // The line for the status that names the photos waiting; empty when none.
    QString waitingText() const { return waitingText_; }
    // The paths of the slides waiting, in storyboard order.
    QStringList waitingPhotos() const;
    QAction* removeSlideAction() { return &removeSlideAction_; }
    QAction* clearAction() { return &clearAction_; }
    QAction* rotateSlideCwAction() { return &rotateSlideCwAction_; }
    QAction* rotateSlideAcwAction() { return &rotateSlideAcwAction_; }
    QSharedPointer<ComponentModel::NotifyList> slideList() const { return slideList_; }

    // Appends a readable regular file, or every such file of a folder tree
    // in name order (hidden entries left out), at the place of the path's
    // slide, which becomes current at once (and, for a folder, its last
    // photo once listed). Anything else met is left out and named with why
    // (a name that is not UTF-8, a link to nothing, a file or folder that
    // may not be read, something that is no file); a path where nothing is
    // (gone meanwhile) is dropped unsaid. Returns before the look.
    Q_INVOKABLE void addSlide(const QString& path, const QString& settings = QString());
    // Inserts a readable regular file before the current slide, which stays
    // current; appends when there is no current slide. Returns before the
    // look; a folder is left out.
    Q_INVOKABLE void insertSlide(const QString& path, const QString& settings = QString());
    // Moves a slide so that it ends at toIndex and makes it current.
    Q_INVOKABLE void moveSlide(int fromIndex, int toIndex);
    // Drops the held entries of the photos that were away at start.
    Q_INVOKABLE void removeAwayPhotos();

signals:
    void indexChanged(int value);
    void loadingChanged(bool value);
    void waitingTextChanged(QString value);
    void fakeSignal();
    // The message for the user: the files left out and the damaged photos
    // kept since the last one, each with its reason.
    void filesLeftOut(QString message);
    // The message for the user when the stored storyboard was damaged.
    void storyboardDamaged(QString message);
    // The message for the user that names the stored photos away at start
    // and asks whether to remove them for good (removeAwayPhotos); `count`
    // photos, so that the answers can say "it" or "them".
    void photosAway(QString message, int count);
    // The message for the user when the storyboard file could not be read
    // or stored.
    void storageProblem(QString message);

public slots:
    void removeSlide();
    void clear();
    void rotateSlideCw();
    void rotateSlideAcw();

protected:
    bool event(QEvent* event) override;

protected slots:
    void save();
    void restore();
    void updateLoading();
    void updateActions();
    void onSlideListChanged(ComponentModel::ListChangedSignalArgs args);

private:
    // A slide's report of its new state, as queued by the slide.
    void onSlideStateChanged(SlideViewModel* reporter, SlideViewModel::State state);
    // Saves once the events already queued have run: the state changes of
    // a batch of photos that settle together cost one save, not one each.
    void scheduleSave();
    // What came of a save, told on this thread.
    void saved(const StoryboardFile::SaveProblem& problem);
    // Where a file named in a message goes among the others: by the order
    // of the looks that found them (a request's serial), the rest after
    // them in the order they came.
    static constexpr quint64 unranked = ~quint64(0);
    struct RankedFile {
        quint64 rank;
        NamedFile file;
    };
    static QList<NamedFile> inOrder(QList<RankedFile> files);
    // Logs the file and keeps it for the next message; `path` as shown
    // (shownPath()).
    void leaveOut(const QString& path, const QString& reason, quint64 rank = unranked);
    // Logs the kept photo and names it (shownPath()) in the next message.
    void noteDamaged(const QString& path, const QString& reason);
    void scheduleLeftOutReport();
    void reportLeftOut();
    struct PathLook;
    struct Looked;
    // Off this thread: what stands at the path, and what a folder there
    // holds.
    static PathLook lookAt(const QString& path);
    static Looked lookFor(const QString& path, bool walkFolder);
    // Adds to `found` the photo or the folder's photos at `path`, or why
    // it is left out. `realPath`: the folder with its links resolved.
    static void collect(const QString& path, const PathLook& look, QSet<QString>& walkedFolders, Looked& found);
    static void walkFolder(const QString& path, const std::string& realPath, QSet<QString>& walkedFolders,
                           Looked& found);
    // What a chosen path's slide is for: what its look's answer does.
    enum class Purpose { Add, Insert, Restore };
    // Appends a slide for the path, current, whose look decides.
    void appendChosen(const QString& path, const QString& settings, Purpose purpose);
    // Looks at the path of `slide` off this thread.
    void lookLater(const QObject* slide, Purpose purpose);
    void onLooked(const QObject* slide, quint64 serial, const Looked& looked);
    // Puts the folder's photos in the place of slide `position`.
    void replaceByFolder(int position, const Looked& looked);
    // The slide waits from now on.
    void startWaiting(const QObject* slide);
    // Slides past their patience start waiting.
    void checkPatience();
    void armPatience();
    void updateWaiting();
    QSharedPointer<QObject> makeSlide(const kestrel::slideshow2::slide_ptr& slide, const QString& path,
                                      const QString& settings,
                                      SlideViewModel::Opening opening = SlideViewModel::OpenAtOnce);
    // Keeps a stored entry whose photo is away after `anchor` (null: before
    // the first slide), with a log line, for the next message.
    void hold(const QObject* anchor, const StoryboardEntry& entry, const QString& reason,
              quint64 rank = unranked);
    // The slide before `position`, which held entries there follow; null
    // for the first.
    const QObject* anchorBefore(int position) const;
    // Removes slide `position` from the engine and the list, and keeps
    // the current slide on the same photo where one remains. The entries
    // held after it pass to the slide before.
    void removeAt(int position);
    bool isSlideIndex(int index) const;
    SlideViewModel* slideAt(int index) const;

    kestrel::slideshow2::slideshow_ptr slideshow_;
    kestrel::slideshow2::photo_manager_ptr photoManager_;
    QSharedPointer<ComponentModel::ImageProvider> photos_;
    QSharedPointer<ComponentModel::NotifyList> slideList_;
    std::unique_ptr<ComponentModel::NotifyListModel> slideModel_;
    int index_ = -1;
    bool loading_ = false;
    bool savePending_ = false;
    QList<RankedFile> leftOut_;
    // Stored entries whose photos are away, by the slide they follow.
    QHash<const QObject*, QList<StoryboardEntry>> held_;
    // Slides of the list whose report of an opened or failed photo has not
    // arrived: loading lasts while one is left, whatever state the slide is
    // in already, since its queued report may still bring a file left out
    // or a damaged photo into the add's one message; each until the end
    // of its patience, when it waits instead.
    QHash<const QObject*, QDeadlineTimer> unreported_;
    // Slides past their patience whose report has not arrived.
    QSet<const QObject*> waiting_;
    QString waitingText_;
    QTimer patience_;
    // Restored slides still opening: one that fails is held, not dropped.
    QSet<const QObject*> restoring_;
    // Slides whose look has not answered, with what its answer is for; the
    // serial tells an answer for a slide since gone from one for a new
    // slide at the same address.
    struct PendingLook {
        quint64 serial;
        Purpose purpose;
    };
    QHash<const QObject*, PendingLook> pendingLooks_;
    quint64 lookSerial_ = 0;
    // The photos held since the last message.
    QList<RankedFile> away_;
    QList<NamedFile> damaged_;
    bool reportPending_ = false;
    ProblemMemory storeProblems_;
    // What came of a save, from the thread it is written on. Before the
    // children: event() reads it from the first child's coming to the
    // last one's going.
    std::shared_ptr<ComponentModel::GuardedReceiver> savedMailbox_;
    QAction removeSlideAction_;
    QAction clearAction_;
    QAction rotateSlideCwAction_;
    QAction rotateSlideAcwAction_;
    // Last: goes first, so no look answers into a half-gone storyboard.
    BackgroundLooks looks_;
    // Goes first of all, once the destructor's save is written.
    StoreThread saves_;
};

} // namespace ViewModel
