#pragma once
// One production of the video file from the current slideshow: starts the
// engine's producer with the preset of the chosen output profile, follows
// its progress (percent, slide being encoded, remaining time, a preview of
// the frame just encoded), pauses, resumes and stops it, and reports the
// outcome as conversionSucceeded(notice) or conversionFailed(code, text);
// the notice names the photos the production could not read (their slides
// are black in the video), or is empty when it read them all. A show of
// which not one photo could be read fails, naming them, and leaves no
// video. Stopping is silent. The video is written under a hidden name and takes its
// result's name only once complete, in its output folder wherever that
// folder was moved meanwhile; stopped or failed, it is removed, a failure's
// file before its message (see kestrel::unfinished_video). A failure to
// write names the output folder and why (a folder removed meanwhile says
// so). A slideshow name that cannot name the video (too long, a hidden
// file) is refused with why before anything is made.
// The window's thread never waits long for the output folder: each look at
// it and each step of the video's file there (its creation, naming and
// removal) is a call (kestrel::abandonable_video) waited for at most a
// second, or until the session's end; past that the folder is taken for one
// that does not answer and the step goes on by itself. Stopping lets the
// production go at once: its last writes and the unfinished file's removal
// share one stop's time (kestrel::stop_deadline), past which what has not
// answered goes on by itself. What
// is not sure then is said by conversionNotice: an unfinished file not yet
// removed (it goes once the disk answers while the program is open, else at
// the next conversion into that folder), a complete video whose naming the
// disk has not answered (it may still appear under its name, or the next
// free one; once the disk answers while the program is open, a notice says
// where it is), a complete video whose naming was refused at once because
// earlier requests to its disk still wait (it stays under its hidden name,
// named), never called made or failed. A complete video is never removed
// for a naming given up or refused.
// The producer runs on a worker thread of its own; its callbacks only post
// events to this object (through a mailbox closed when it goes), tagged with the production they belong to, so that
// a stopped production's late events never touch a newer one. Releasing a
// producer waits for its thread, which its stop ends within a moment; the
// destructor stops a running production and releases it. GUI thread only.
// The storyboard's first slide gives the picture shown before the first
// frame; the photos provider receives the preview pictures.
// Photos the storyboard is still waiting for when a production starts are
// left out of its reads (kestrel::slideshow2::slideshow::set_unanswered_photos)
// for the whole production, black and named in the good news as photos
// that do not answer; music still waiting fails the start at once, naming
// it, before anything is made; music away since the start (see
// MusicViewModel) is left out, and the good news names it last:
// made without its music "song.mp3": not found. While a production runs, waitingText names
// a file it has waited for longer than the library's long wait (2 s), and
// why, once a half-second look at kestrel::long_waits() finds it.

#include "viewmodel/BackgroundLooks.h"
#include "viewmodel/MusicViewModel.h"
#include "viewmodel/SettingsViewModel.h"
#include "viewmodel/StoryboardViewModel.h"

#include "componentmodel/SignalArgs.h"

#include "files/DTStopDeadline.h"
#include "media/DTMediaSettings.h"
#include "slideshow2/DTSlideshowProduce.h"
#include "slideshow2/DTSlideshowTypes.h"

#include <QAction>
#include <QImage>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace ComponentModel {
class GuardedReceiver;
class ImageProvider;
class Progress;
} // namespace ComponentModel

namespace kestrel {
class abandonable_video;
} // namespace kestrel

namespace ViewModel {

class ConvertViewModel : public QObject {
    Q_OBJECT
public:
    enum State : int { StopState = 0, PauseState = 1, ConvertState = 2 };
    Q_ENUM(State)

    Q_PROPERTY(int progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(qint64 remainingTime READ remainingTime NOTIFY remainingTimeChanged)
    Q_PROPERTY(QString photoId READ photoId NOTIFY photoIdChanged)
    Q_PROPERTY(int slideIndex READ slideIndex NOTIFY slideIndexChanged)
    Q_PROPERTY(int slideCount READ slideCount NOTIFY fakeSignal)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString waitingText READ waitingText NOTIFY waitingTextChanged)
    Q_PROPERTY(QString waitingPath READ waitingPath NOTIFY waitingTextChanged)
    Q_PROPERTY(QAction* startAction READ startAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* pauseAction READ pauseAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* stopAction READ stopAction NOTIFY fakeSignal)

    // Makes a producer of the show into the file (UTF-8 path) by the
    // settings' "produce-preset"; by default the engine's.
    using ProducerFactory = std::function<kestrel::slideshow2::slideshow_produce_ptr(
        const kestrel::slideshow2::slideshow_ptr& slideshow, const std::string& outputPath,
        const kestrel::media_settings_ptr& settings)>;
    static kestrel::slideshow2::slideshow_produce_ptr createEngineProducer(
        const kestrel::slideshow2::slideshow_ptr& slideshow, const std::string& outputPath,
        const kestrel::media_settings_ptr& settings);

    // The result code of a start refused because the music does not answer:
    // the command-line maker's for music it cannot open.
    static constexpr int musicNotAnswering = 66;

    // `music` may be null: the slideshow's music is then taken as it is.
    ConvertViewModel(kestrel::slideshow2::slideshow_ptr slideshow, QSharedPointer<StoryboardViewModel> storyboard,
                     QSharedPointer<SettingsViewModel> settings,
                     QSharedPointer<ComponentModel::ImageProvider> photos,
                     QSharedPointer<MusicViewModel> music = QSharedPointer<MusicViewModel>(),
                     QObject* parent = nullptr);
    ~ConvertViewModel() override;

    void setProducerFactory(ProducerFactory factory);

    int progress() const;
    qint64 remainingTime() const;
    QString photoId() const;
    int slideIndex() const { return slideIndex_; }
    int slideCount() const;
    State state() const { return state_; }
    // "Waiting for "<path>": <why>." while the production waits long for a
    // file; empty otherwise.
    QString waitingText() const { return waitingText_; }
    // The path waitingText names, as it shows there (so that a view short
    // of room can shorten it alone); empty when none.
    QString waitingPath() const { return waitingPath_; }
    QAction* startAction() { return &startAction_; }
    QAction* pauseAction() { return &pauseAction_; }
    QAction* stopAction() { return &stopAction_; }
    // Full path of the file of the last production started, the name it
    // gets once complete; once made, where it really is.
    QString resultPath() const { return resultPath_; }

    // Play and Show In Folder: the video is looked at off this thread; the
    // desktop gets it once the look answers within the folder's patience,
    // else conversionNotice says its folder does not answer (and a late
    // answer hands nothing over). A video no longer there does nothing; one
    // the desktop has no program for is named in conversionNotice.
    Q_INVOKABLE void openResult();
    Q_INVOKABLE void showResult();

    bool event(QEvent* e) override;

signals:
    void progressChanged(int value);
    void remainingTimeChanged(qint64 value);
    void photoIdChanged(QString value);
    void slideIndexChanged(int value);
    void stateChanged(ViewModel::ConvertViewModel::State value);
    void waitingTextChanged(QString value);
    void fakeSignal();
    void conversionSucceeded(QString unreadablePhotos);
    void conversionFailed(int code, QString description);
    // What is not sure after a production (a complete video whose naming
    // the disk has not answered or refused, an unfinished file not yet
    // removed), and where such a video is once the disk answers.
    void conversionNotice(QString notice);

public slots:
    void start();
    void pause();
    void stop();
    void onRemainingTimeChanged(ComponentModel::PropertyChangedSignalArgs args);

private:
    void startProduction();
    // The chosen output folder, else the default one.
    QString outputFolder() const;
    QString freeOutputPath() const;
    QString outputName() const;
    QString resultFolder() const;
    // Waits for the producer's thread (which gives its file up by the
    // stop's deadline); a file it left unfinished goes within what is left
    // of it: what to say of one that could not be removed in time, else
    // empty.
    QString releaseProducer(const kestrel::stop_deadline& deadline = kestrel::stop_deadline());
    // Within the window's patience for the folder, or `patience`.
    QString discardVideo(kestrel::abandonable_video& video);
    QString discardVideo(kestrel::abandonable_video& video, std::chrono::steady_clock::duration patience);
    // What to say of an unfinished file left to go, or to be made, once
    // the disk answers; empty when none is.
    static QString unfinishedLeft(const kestrel::abandonable_video& video);
    void onProgress(double percent, const kestrel::video_data_ptr& frame);
    void onFinished(int result);
    // 0 or the errno; a name taken meanwhile makes way for the next free
    // one, also once a naming given up answers. The result's path follows
    // the folder to where it is now.
    // `naming` is set while a naming is asked (and stays set when it is
    // given up).
    int giveResultName(kestrel::abandonable_video& video, bool& naming);
    // `folder` as the system's bytes; `removed`: the folder held since the
    // start is gone.
    QString outputFailureCause(int result, const std::string& folder, bool removed) const;
    void handResultToDesktop(bool show);
    void setState(State state);
    void setPreview(const QImage& image);
    void updateActions();
    // The code's text, then the cause when there is one.
    void fail(int code, const QString& cause = QString());
    // Keeps the storyboard's waiting photos out of the production's reads;
    // lets them in again.
    void leaveOutWaitingPhotos();
    void letInWaitingPhotos();
    void updateWaitingText();

    kestrel::slideshow2::slideshow_produce_ptr producer_;
    // The file the producer writes; set and released with it.
    std::unique_ptr<kestrel::abandonable_video> unfinished_;
    kestrel::slideshow2::slideshow_ptr slideshow_;
    QSharedPointer<StoryboardViewModel> storyboard_;
    QSharedPointer<SettingsViewModel> settings_;
    QSharedPointer<ComponentModel::ImageProvider> photos_;
    QSharedPointer<MusicViewModel> music_;
    // The good news's line on the chosen music the production is made
    // without; empty when none.
    QString musicNote_;
    // The photos the production leaves out (UTF-8 paths); empty when none.
    std::set<std::string> leftOutPhotos_;
    QString waitingText_;
    QString waitingPath_;
    QTimer waitLook_;
    std::unique_ptr<ComponentModel::Progress> estimator_;
    int progress_ = 0;
    QString previewId_;
    int slideIndex_ = 0;
    QString resultPath_;
    State state_ = StopState;
    // Where the producer's callbacks post; closed first by the destructor.
    // Made before the actions, gone after them: their child events come
    // through event() too.
    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox_;
    QAction startAction_;
    QAction pauseAction_;
    QAction stopAction_;
    // Set by the destructor: nothing more is said.
    bool ending_ = false;
    // Tags the events of each production; only the current one's count.
    quint64 production_ = 0;
    ProducerFactory producerFactory_;
    // The looks at the video for the desktop; gone first, their answers
    // with them.
    BackgroundLooks looks_;
};

} // namespace ViewModel
