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
// listing them, and after them the damaged photos the add kept, which show
// only as far as they could be read, each with why), keeps the current
// slide `index`, and saves the storyboard file
// (StoryboardFile.h) after each settled change and each slide's changed()
// (once the events queued with it have run) and when it is destroyed; the
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
// whenever it comes, brings it in or drops it as any answer does. The
// looks at paths on this thread (an add, an insert, a folder walked, the
// restore) are bounded by lookPatience: a photo path that does not answer
// by then becomes a waiting slide at once, and its opening decides.
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

#include "viewmodel/FileListMessage.h"
#include "viewmodel/SlideViewModel.h"
#include "viewmodel/StoreProblem.h"
#include "viewmodel/StoryboardFile.h"

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
    // in listing order (hidden entries left out); the last one becomes
    // current. Anything else met is left out and named with why (a name
    // that is not UTF-8, a link to nothing, a file or folder that may not
    // be read, something that is no file); a path where nothing is (gone
    // meanwhile) is ignored.
    Q_INVOKABLE void addSlide(const QString& path, const QString& settings = QString());
    // Inserts a readable regular file before the current slide, which stays
    // current; appends when there is no current slide.
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
    // Logs the file and keeps it for the next message; `path` as shown
    // (shownPath()).
    void leaveOut(const QString& path, const QString& reason);
    // Logs the kept photo and names it (shownPath()) in the next message.
    void noteDamaged(const QString& path, const QString& reason);
    void scheduleLeftOutReport();
    void reportLeftOut();
    struct PathLook;
    static PathLook lookAt(const QString& path);
    void addPath(const QString& path, const QString& settings, QSet<QString>& walkedFolders);
    void addLooked(const QString& path, const PathLook& look, const QString& settings,
                   QSet<QString>& walkedFolders);
    // `realPath`: the folder with its links resolved, as bytes.
    void addFolder(const QString& path, const std::string& realPath, QSet<QString>& walkedFolders);
    // The slide waits from now on.
    void startWaiting(const QObject* slide);
    // Slides past their patience start waiting.
    void checkPatience();
    void armPatience();
    void updateWaiting();
    QSharedPointer<QObject> makeSlide(const kestrel::slideshow2::slide_ptr& slide, const QString& path,
                                      const QString& settings);
    // Keeps a stored entry whose photo is away after `anchor` (null: before
    // the first slide), with a log line, for the next message.
    void hold(const QObject* anchor, const StoryboardEntry& entry, const QString& reason);
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
    QList<NamedFile> leftOut_;
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
    // The photos held since the last message.
    QList<NamedFile> away_;
    QList<NamedFile> damaged_;
    bool reportPending_ = false;
    ProblemMemory storeProblems_;
    QAction removeSlideAction_;
    QAction clearAction_;
    QAction rotateSlideCwAction_;
    QAction rotateSlideAcwAction_;
};

} // namespace ViewModel
