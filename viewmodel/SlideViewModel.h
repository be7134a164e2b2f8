#pragma once
// One photo slide of the storyboard. It opens its photo in the background
// through the storyboard's photo manager, publishes the loaded photo as a
// thumbnail in the "photos" image provider under an id never used before
// (the views show "image://photos/" + photoId), offers the two rotate
// commands, and gives the storyboard file the slide's path and properties
// text (changed() tells that the text changed).
//
// A slide made OpenWhenAsked waits in InitState, its photo unopened, until
// openPhoto(): the storyboard shows it in its place while it learns what
// stands at the path.
//
// Ownership: the storyboard holds the view model through a QSharedPointer;
// the engine slide is shared with the slideshow, the provider with the main
// view model. The destructor cancels an open that has not started and
// leaves a null picture under the last id, so a removed slide keeps no
// thumbnail alive.
//
// Threads: GUI thread only. The open's answer comes from a photo manager
// worker as a posted event (EventTypes::photoOpened) through a mailbox that
// the destructor closes: it never reaches a view model that is gone.
//
// A turn reads the photo again: it runs off the window's thread, one turn
// after another in the order asked, and the thumbnail and the properties
// text follow once the read has answered.
//
// Throws nothing to its callers: a photo that cannot be opened (or whose
// open cannot even be queued) ends in ErrorState; a failed rotation is
// logged and leaves the slide as the engine left it.

#include "viewmodel/BackgroundLooks.h"

#include "base/DTController.h"
#include "slideshow2/DTSlideshowTypes.h"

#include <boost/weak_ptr.hpp>

#include <QAction>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QTimer>

#include <memory>

namespace ComponentModel {
class GuardedReceiver;
class ImageProvider;
}

namespace ViewModel {

class SlideViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString photoId READ photoId NOTIFY photoIdChanged)
    Q_PROPERTY(ViewModel::SlideViewModel::State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QAction* rotateCwAction READ rotateCwAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* rotateAcwAction READ rotateAcwAction NOTIFY fakeSignal)

public:
    enum State { InitState = 0, ErrorState = 1, DoneState = 2 };
    Q_ENUM(State)
    // When the photo starts opening: at once, or at openPhoto() (once what
    // stands at the path is known).
    enum Opening { OpenAtOnce, OpenWhenAsked };

    // `settings` is a properties text from an earlier run (Latin-1, one
    // character per engine byte), or empty. With no slide the view model
    // stays in InitState and opens nothing.
    SlideViewModel(kestrel::slideshow2::slide_ptr slide, const QString& filePath, const QString& settings,
                   kestrel::slideshow2::photo_manager_ptr photoManager,
                   QSharedPointer<ComponentModel::ImageProvider> photos, Opening opening = OpenAtOnce,
                   QObject* parent = nullptr);
    ~SlideViewModel() override;

    // Starts opening the photo of a slide made OpenWhenAsked; once only.
    void openPhoto();

    QString filePath() const { return filePath_; }
    // The slide's properties text for the storyboard file: the engine's text
    // once the photo is open, and until then the text the slide was made
    // with, so that closing the program early loses no stored turn.
    QString settings() const { return settings_; }
    QString photoId() const { return photoId_; }
    State state() const { return state_; }
    // In ErrorState: why the photo could not be opened, in plain words.
    QString failureReason() const { return failureReason_; }
    // In DoneState: why the photo shows only in part ("cut short: the lower
    // part is grey"), as its file was when it opened; empty when whole.
    QString damageReason() const { return damageReason_; }
    QAction* rotateCwAction() { return &rotateCwAction_; }
    QAction* rotateAcwAction() { return &rotateAcwAction_; }
    kestrel::slideshow2::slide_ptr slide() const { return slide_; }
    // A turn asked for has not yet answered.
    bool turning() const { return turning_; }
    // In InitState: an opening of the photo was given up because its file
    // does not answer (past the photo manager's patience, or refused while
    // earlier requests there still wait); it is asked again every
    // askAgainAfter. openingGivenUp() tells each such give-up.
    bool givenUp() const { return givenUp_; }

    bool event(QEvent* event) override;

signals:
    void changed();
    void photoIdChanged(QString value);
    void stateChanged(ViewModel::SlideViewModel::State value);
    void openingGivenUp();
    void fakeSignal();

public slots:
    // Turn the loaded photo a quarter turn; nothing before DoneState.
    void rotateCw();
    void rotateAcw();

private:
    // Opens with the properties text the slide was made with.
    void startOpen(const kestrel::slideshow2::photo_manager_ptr& photoManager);
    // Opens again a photo whose file did not answer, while the manager lives.
    void retryOpen();
    void finishOpen(int error);
    void rotate(int code);
    // Starts the first turn asked for, unless one is under way.
    void turnNext();
    void updateThumbnail();
    void readSettings();

    kestrel::slideshow2::slide_ptr slide_;
    QSharedPointer<ComponentModel::ImageProvider> photos_;
    QString filePath_;
    QString settings_;
    QString photoId_;
    State state_ = InitState;
    QString failureReason_;
    QString damageReason_;
    // Before the actions: event() uses it, and a child's destruction still
    // sends this object an event.
    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox_;
    QAction rotateCwAction_;
    QAction rotateAcwAction_;
    kestrel::ControllerPtr openHandle_;
    bool openStarted_ = false;
    // A photo whose file does not answer is asked again now and then, as
    // long as it does not answer: it comes in once it does.
    boost::weak_ptr<kestrel::slideshow2::photo_manager> photoManager_;
    QString openSettings_;
    QTimer retry_;
    bool givenUp_ = false;
    QList<int> turnsAsked_;
    bool turning_ = false;
    // Last: gone first, so that no turn's answer comes meanwhile.
    BackgroundLooks turns_;
};

} // namespace ViewModel
