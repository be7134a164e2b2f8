#pragma once
// The slideshow's one piece of music: the file's path, opened in the
// background as an audio track that becomes the engine slideshow's music,
// remembered across runs under the settings key "Music/filePath", and a
// command that removes it.
//
// Writing filePath starts opening the new file while the current music
// plays on; loading stays true until the answer for the latest choice has
// been handled, and the new music then takes the old one's place. A file
// that cannot be opened (missing, empty, not sound, a FIFO or device)
// leaves the earlier music and its path in place (none, if there was none)
// and emits openFailed with a message naming the file and the reason.
// Writing the empty path removes the music at once.
//
// The stored path whose file cannot be opened at start (on a disk that is
// not plugged in, say) is kept: filePath is empty and the slideshow has no
// music, but the path stays stored, and comes back at a later start where
// the file opens, until a file the user chooses opens or the music is
// removed (clear(), which the action offers meanwhile). The message for it
// says so, and awayPath() and awayReason() tell it to whoever makes a
// video without it.
//
// What stands at the chosen path is looked at off this thread
// (BackgroundLooks.h) before the loader opens it. A file that has not
// answered within openPatience (WaitingFiles.h; a share that hangs), whose
// look did not answer within lookPatience, or whose opening was refused as
// not answering (earlier requests to its share still wait), waits: loading
// ends (Make and Preview go on without it, the slideshow keeps the music
// it had), waiting() is true and waitingText names it. A refused one is
// asked again every askAgainAfter, as a photo is, so it comes in by itself
// once its share answers; any other answer is taken as ever.
//
// An answer that a newer choice superseded is dropped; answers never reach
// a view model that is gone (they come as posted events,
// EventTypes::musicOpened, through a mailbox the destructor closes).
//
// Ownership: the main view model holds it; the slideshow (never null) is
// shared. GUI thread only; the loader's callback runs on its own thread and
// only posts. Throws nothing.

#include "viewmodel/BackgroundLooks.h"

#include "audio/DTAudioTrackLoader.h"
#include "slideshow2/DTSlideshowTypes.h"

#include <QAction>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace ComponentModel {
class GuardedReceiver;
}

namespace ViewModel {

class MusicViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(QString fileName READ fileName NOTIFY fileNameChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QString waitingText READ waitingText NOTIFY waitingTextChanged)
    Q_PROPERTY(QAction* clearAction READ clearAction NOTIFY fakeSignal)

public:
    // Starts opening a UTF-8 path and returns at once; calls back once, on
    // any thread, with the track, or an empty pointer and the reason. May
    // throw when it cannot start; that counts as a file that did not open.
    typedef std::function<void(const std::string& path, const kestrel::audio_track_answer& done)> Loader;

    // Reopens the path stored under "Music/filePath", if any.
    explicit MusicViewModel(kestrel::slideshow2::slideshow_ptr slideshow, QObject* parent = nullptr);
    // The same with a loader of the caller's (tests); the default one is
    // kestrel::open_audio_track_explained, looping, in its default format.
    MusicViewModel(kestrel::slideshow2::slideshow_ptr slideshow, Loader loader, QObject* parent = nullptr);
    // Stores filePath under "Music/filePath", even while it is opening (or
    // the path kept from the start).
    ~MusicViewModel() override;

    QString filePath() const { return filePath_; }
    void setFilePath(const QString& path);
    // The file name without its folder; empty without music.
    QString fileName() const;
    bool loading() const { return loading_; }
    // The chosen file has not answered within its patience.
    bool waiting() const { return waiting_; }
    // The line for the status that names it; empty while none waits.
    QString waitingText() const { return waitingText_; }
    // The stored music that did not open at start and stays chosen, and
    // why it did not; empty when none is away.
    QString awayPath() const { return keptPath_; }
    QString awayReason() const { return keptReason_; }
    QAction* clearAction() { return &clearAction_; }

    bool event(QEvent* event) override;

signals:
    void filePathChanged(QString value);
    void fileNameChanged(QString value);
    void loadingChanged(bool value);
    void waitingTextChanged(QString value);
    void fakeSignal();
    // A chosen file could not be opened: the message for the user says
    // which and why.
    void openFailed(QString message);

public slots:
    void clear();

private:
    // Looks at the path off this thread, then hands it to the loader.
    void startOpen(unsigned long long choice, const QString& path);
    // `error` and `mode`: what the look at the path found (path_facts).
    void onLooked(unsigned long long choice, const QString& path, int error, unsigned mode,
                  kestrel::file_refusal refusal);
    void finishOpen(unsigned long long choice, const kestrel::audio_track_ptr& track, const QString& reason,
                    kestrel::file_refusal refusal = kestrel::file_refusal::none);
    // Sets filePath and announces it, opening nothing.
    void showPath(const QString& path);
    // Back to the music playing before the choice, with the message why.
    void refuse(const QString& reason);
    // The loader's reason, or words for a failure it did not explain.
    static QString whyNotOpened(const QString& reason);
    void setLoading(bool loading);
    // The patience has run out: waits, where its file system keeps it.
    void onPatienceOver();
    // The awaited file waits from now on: it no longer counts as loading.
    void startWaiting();
    void stopWaiting();
    void updateWaitingText();
    // What "Music/filePath" holds: the music chosen, else the path kept.
    QString storedPath() const;
    void store() const;
    void updateClearAction();

    kestrel::slideshow2::slideshow_ptr slideshow_;
    QString filePath_;
    // The file whose music the slideshow plays; empty without music.
    QString playingPath_;
    // The stored path whose file did not open at start, and why; empty
    // when none.
    QString keptPath_;
    QString keptReason_;
    bool loading_ = false;
    bool waiting_ = false;
    QString waitingText_;
    // The patience of the awaited choice, and when a refused one is asked
    // again.
    QTimer patience_;
    QTimer retry_;
    // Before the action: event() uses it, and a child's destruction still
    // sends this object an event.
    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox_;
    QAction clearAction_;
    Loader loader_;
    // Counts the choices of a file; an answer carries the count of its own.
    unsigned long long choice_ = 0;
    // The choice whose answer is awaited; 0 when none is.
    unsigned long long awaitedChoice_ = 0;
    // The choice of the stored path at start; 0 when none was stored.
    unsigned long long startChoice_ = 0;
    // Last: goes first, so no look answers into a half-gone view model.
    BackgroundLooks looks_;
};

} // namespace ViewModel
