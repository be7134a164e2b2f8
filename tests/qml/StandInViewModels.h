#pragma once
// View models that stand in for the application's own while the views are
// tested: the same property, action, signal and enumeration names, with
// just enough behaviour to drive the views, and a log of the operations the
// views ask for. Slides are real pictures in a real image provider and a
// real NotifyList, so the storyboard looks as it will. registerStandIns()
// registers them as the uncreatable "Application" 1.0 types, beside the
// toolkit's QML modules and the views' resources. GUI thread only.

#include "componentmodel/ImageProvider.h"
#include "componentmodel/NotifyList.h"
#include "componentmodel/NotifyListModel.h"
#include "multimedia/Player.h"

#include <QAction>
#include <QObject>
#include <QQuickImageProvider>
#include <QString>
#include <QStringList>

#include <memory>

namespace standin {

void registerStandIns();

class SlideViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString photoId READ photoId NOTIFY photoIdChanged)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QAction* rotateCwAction READ rotateCwAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* rotateAcwAction READ rotateAcwAction NOTIFY fakeSignal)
public:
    enum State { InitState = 0, ErrorState = 1, DoneState = 2 };
    Q_ENUM(State)

    // Loads the photo into `photos` at most 180 pixels a side; a file that
    // is no picture leaves the slide in ErrorState.
    SlideViewModel(const QString& path, ComponentModel::ImageProvider& photos);
    QString photoId() const { return photoId_; }
    State state() const { return state_; }
    QAction* rotateCwAction() { return &rotateCw_; }
    QAction* rotateAcwAction() { return &rotateAcw_; }
    QString filePath() const { return path_; }

signals:
    void photoIdChanged(QString value);
    void stateChanged(standin::SlideViewModel::State value);
    void fakeSignal();

private:
    QString path_;
    QString photoId_;
    State state_ = InitState;
    QAction rotateCw_;
    QAction rotateAcw_;
};

class StoryboardViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* slides READ slides NOTIFY fakeSignal)
    Q_PROPERTY(int index READ index WRITE setIndex NOTIFY indexChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QAction* removeSlideAction READ removeSlideAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* clearAction READ clearAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* rotateSlideCwAction READ rotateSlideCwAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* rotateSlideAcwAction READ rotateSlideAcwAction NOTIFY fakeSignal)
public:
    explicit StoryboardViewModel(ComponentModel::ImageProvider& photos);

    QObject* slides() { return &model_; }
    int index() const { return index_; }
    void setIndex(int value);
    bool loading() const { return loading_; }
    void setLoading(bool value);
    QAction* removeSlideAction() { return &remove_; }
    QAction* clearAction() { return &clear_; }
    QAction* rotateSlideCwAction() { return &rotateCw_; }
    QAction* rotateSlideAcwAction() { return &rotateAcw_; }
    int count() const { return list_.count(); }
    SlideViewModel* slideAt(int i) const { return static_cast<SlideViewModel*>(list_.at(i).data()); }

    Q_INVOKABLE void addSlide(const QString& path, const QString& settings = QString());
    Q_INVOKABLE void insertSlide(const QString& path, const QString& settings = QString());
    Q_INVOKABLE void moveSlide(int fromIndex, int toIndex);

    // "addSlide(path)", "insertSlide(path)", "moveSlide(1,0)", "clear()", ...
    QStringList calls;

signals:
    void indexChanged(int value);
    void loadingChanged(bool value);
    void fakeSignal();

private:
    void updateActions();

    ComponentModel::ImageProvider& photos_;
    ComponentModel::NotifyList list_;
    ComponentModel::NotifyListModel model_;
    int index_ = -1;
    bool loading_ = false;
    QAction remove_;
    QAction clear_;
    QAction rotateCw_;
    QAction rotateAcw_;
};

class MusicViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(QString fileName READ fileName NOTIFY fileNameChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QAction* clearAction READ clearAction NOTIFY fakeSignal)
public:
    MusicViewModel();
    QString filePath() const { return filePath_; }
    void setFilePath(const QString& value);
    QString fileName() const;
    bool loading() const { return loading_; }
    void setLoading(bool value);
    QAction* clearAction() { return &clear_; }

signals:
    void filePathChanged(QString value);
    void fileNameChanged(QString value);
    void loadingChanged(bool value);
    void fakeSignal();

private:
    QString filePath_;
    bool loading_ = false;
    QAction clear_;
};

class SettingsViewModel : public QObject {
    Q_OBJECT
public:
    enum Format {
        WindowsFormat = 0, MacFormat = 1, IPhoneFormat = 2, IPhone4Format = 3, IPhone5Format = 4,
        IPadFormat = 5, IPad3Format = 6, YouTubeFormat = 7, FacebookFormat = 8
    };
    Q_ENUM(Format)
    enum Quality { LowQuality = 0, MediumQuality = 1, HighQuality = 2 };
    Q_ENUM(Quality)
    enum Mode { DefaultMode = 0, ConvertMode = 1 };
    Q_ENUM(Mode)

private:
    Q_PROPERTY(bool useAudioDuration MEMBER useAudioDuration NOTIFY useAudioDurationChanged)
    Q_PROPERTY(bool useKenBurns MEMBER useKenBurns NOTIFY useKenBurnsChanged)
    Q_PROPERTY(double slideDuration READ slideDuration WRITE setSlideDuration NOTIFY slideDurationChanged)
    Q_PROPERTY(double transitionDuration READ transitionDuration WRITE setTransitionDuration
                   NOTIFY transitionDurationChanged)
    Q_PROPERTY(QString outputFolder MEMBER outputFolder NOTIFY outputFolderChanged)
    Q_PROPERTY(QString slideshowName MEMBER slideshowName NOTIFY slideshowNameChanged)
    Q_PROPERTY(Format format READ format WRITE setFormat NOTIFY formatChanged)
    Q_PROPERTY(double aspect READ aspect WRITE setAspect NOTIFY aspectChanged)
    Q_PROPERTY(bool aspectEnabled READ fixesNothing NOTIFY aspectEnabledChanged)
    Q_PROPERTY(Quality quality READ quality WRITE setQuality NOTIFY qualityChanged)
    Q_PROPERTY(bool qualityEnabled READ fixesNothing NOTIFY qualityEnabledChanged)
    Q_PROPERTY(QString qualityHint READ qualityHint NOTIFY qualityHintChanged)
    Q_PROPERTY(bool needClarify MEMBER needClarify NOTIFY needClarifyChanged)
    Q_PROPERTY(Mode mode MEMBER mode NOTIFY modeChanged)

public:
    double slideDuration() const { return slideDuration_; }
    // Clamped to 0.5 .. 20 as the real one does, so the field shows it.
    void setSlideDuration(double value);
    double transitionDuration() const { return transitionDuration_; }
    void setTransitionDuration(double value);
    Format format() const { return format_; }
    void setFormat(Format value);
    // Device formats fix 4:3 (iPad) or 3:2 and high quality.
    double aspect() const;
    void setAspect(double value);
    Quality quality() const;
    void setQuality(Quality value);
    bool fixesNothing() const;
    QString qualityHint() const;

    Q_INVOKABLE void apply() { ++applied; }

    bool useAudioDuration = false;
    bool useKenBurns = true;
    QString outputFolder = QStringLiteral("/home/user/Videos");
    QString slideshowName = QStringLiteral("My slideshow");
    bool needClarify = true;
    Mode mode = DefaultMode;
    double userAspect = 16.0 / 9.0;
    Quality userQuality = MediumQuality;
    int applied = 0;

signals:
    void useAudioDurationChanged();
    void useKenBurnsChanged();
    void slideDurationChanged();
    void transitionDurationChanged();
    void outputFolderChanged();
    void slideshowNameChanged(QString value);
    void formatChanged(standin::SettingsViewModel::Format value);
    void aspectChanged(double value);
    void aspectEnabledChanged(bool value);
    void qualityChanged(standin::SettingsViewModel::Quality value);
    void qualityEnabledChanged(bool value);
    void qualityHintChanged(QString value);
    void needClarifyChanged(bool value);
    void modeChanged(standin::SettingsViewModel::Mode mode);

private:
    double slideDuration_ = 6.0;
    double transitionDuration_ = 1.2;
    Format format_ = WindowsFormat;
};

class ConvertViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(int progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(qint64 remainingTime READ remainingTime NOTIFY remainingTimeChanged)
    Q_PROPERTY(QString photoId READ photoId NOTIFY photoIdChanged)
    Q_PROPERTY(int slideIndex READ slideIndex NOTIFY slideIndexChanged)
    Q_PROPERTY(int slideCount READ slideCount NOTIFY fakeSignal)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QAction* startAction READ startAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* pauseAction READ pauseAction NOTIFY fakeSignal)
    Q_PROPERTY(QAction* stopAction READ stopAction NOTIFY fakeSignal)
public:
    enum State { StopState = 0, PauseState = 1, ConvertState = 2 };
    Q_ENUM(State)

    ConvertViewModel(StoryboardViewModel& storyboard, ComponentModel::ImageProvider& photos);

    int progress() const { return progress_; }
    qint64 remainingTime() const { return remainingTime_; }
    QString photoId() const { return photoId_; }
    int slideIndex() const { return slideIndex_; }
    int slideCount() const { return storyboard_.count(); }
    State state() const { return state_; }
    QAction* startAction() { return &start_; }
    QAction* pauseAction() { return &pause_; }
    QAction* stopAction() { return &stop_; }

    Q_INVOKABLE void showResult() { calls << QStringLiteral("showResult()"); }
    Q_INVOKABLE void openResult() { calls << QStringLiteral("openResult()"); }

    // What the producer would report: percent done (with the next frame
    // shown as the preview), then the result code.
    void report(int percent, qint64 remainingMs);
    void finish(int result);

    QStringList calls;

signals:
    void progressChanged(int value);
    void remainingTimeChanged(qint64 value);
    void photoIdChanged(QString value);
    void slideIndexChanged(int value);
    void stateChanged(standin::ConvertViewModel::State value);
    void fakeSignal();
    void conversionSucceeded();
    void conversionFailed(int code, QString description);

private:
    void setState(State value);

    StoryboardViewModel& storyboard_;
    ComponentModel::ImageProvider& photos_;
    int progress_ = 0;
    qint64 remainingTime_ = -1;
    QString photoId_;
    int slideIndex_ = 0;
    State state_ = StopState;
    QAction start_;
    QAction pause_;
    QAction stop_;
};

// The preview player as the player view sees it.
class PreviewPlayer : public Multimedia::Player {
    Q_OBJECT
    Q_PROPERTY(qint64 minTime READ minTime NOTIFY fakeSignal)
    Q_PROPERTY(qint64 maxTime READ maxTime NOTIFY fakeSignal)
    Q_PROPERTY(qint64 time MEMBER time NOTIFY timeChanged)
    Q_PROPERTY(int minVolume READ minVolume NOTIFY fakeSignal)
    Q_PROPERTY(int maxVolume READ maxVolume NOTIFY fakeSignal)
    Q_PROPERTY(int volume MEMBER volume NOTIFY volumeChanged)
    Q_PROPERTY(float aspect READ aspect NOTIFY fakeSignal)
public:
    qint64 minTime() const { return 0; }
    qint64 maxTime() const { return 30000; }
    int minVolume() const { return 0; }
    int maxVolume() const { return 100; }
    float aspect() const { return 4.0f / 3.0f; }
    void stop() { setState(StopState); }
    void pauseAt(qint64 value)
    {
        time = value;
        emit timeChanged(value);
        setState(PauseState);
    }

    qint64 time = 0;
    int volume = 100;

public slots:
    void play() override
    {
        if (state() == PauseState)
            setState(PlayState);
    }
    void pause() override
    {
        if (state() == PlayState)
            setState(PauseState);
    }

signals:
    void timeChanged(qint64 value);
    void volumeChanged(int value);
    void fakeSignal();
};

class PlayerViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* player READ player NOTIFY fakeSignal)
    Q_PROPERTY(QObject* surface READ surface WRITE setSurface NOTIFY fakeSignal)
    Q_PROPERTY(int surfaceHeight MEMBER surfaceHeight NOTIFY fakeSignal)
public:
    // `picture`: a photo shown on the surface once the view hands it in.
    explicit PlayerViewModel(QString picture = QString());
    QObject* player() { return &player_; }
    QObject* surface() const { return surface_; }
    void setSurface(QObject* value);
    PreviewPlayer& preview() { return player_; }

    // Opens paused at 0, as the real one does with a source that has sound.
    Q_INVOKABLE void initialize();
    Q_INVOKABLE void deinitialize();

    int surfaceHeight = 480;
    int initialized = 0;
    int deinitialized = 0;

signals:
    void fakeSignal();

private:
    PreviewPlayer player_;
    QObject* surface_ = nullptr;
    QString picture_;
};

// The object handed with updateReceived. Qt 6's QML cannot write a dynamic
// property of a plain QObject, so the answer needs a declared needUpdate.
class UpdateAnswer : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool needUpdate MEMBER needUpdate)
public:
    bool needUpdate = false;
};

class MainViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QQuickImageProvider* banners READ banners CONSTANT)
    Q_PROPERTY(QQuickImageProvider* photos READ photos CONSTANT)
    Q_PROPERTY(QObject* storyboardViewModel READ storyboardViewModel NOTIFY fakeSignal)
    Q_PROPERTY(QObject* musicViewModel READ musicViewModel NOTIFY fakeSignal)
    Q_PROPERTY(QObject* settingsViewModel READ settingsViewModel NOTIFY fakeSignal)
    Q_PROPERTY(QObject* convertViewModel READ convertViewModel NOTIFY fakeSignal)
    Q_PROPERTY(QObject* playerViewModel READ playerViewModel NOTIFY fakeSignal)
public:
    MainViewModel();

    QQuickImageProvider* banners() { return &bannerPictures; }
    QQuickImageProvider* photos() { return &photoPictures; }
    QObject* storyboardViewModel() { return &storyboard; }
    QObject* musicViewModel() { return &music; }
    QObject* settingsViewModel() { return &settings; }
    QObject* convertViewModel() { return &convert; }
    QObject* playerViewModel() { return &player; }

    Q_INVOKABLE void showHelp() { calls << QStringLiteral("showHelp()"); }
    Q_INVOKABLE void showSite() { calls << QStringLiteral("showSite()"); }
    Q_INVOKABLE void showFacebook() { calls << QStringLiteral("showFacebook()"); }
    Q_INVOKABLE void showTwitter() { calls << QStringLiteral("showTwitter()"); }
    Q_INVOKABLE void showAdvertisement() { calls << QStringLiteral("showAdvertisement()"); }

    ComponentModel::ImageProvider bannerPictures;
    ComponentModel::ImageProvider photoPictures;
    StoryboardViewModel storyboard;
    MusicViewModel music;
    SettingsViewModel settings;
    ConvertViewModel convert;
    PlayerViewModel player;
    QStringList calls;

signals:
    void fakeSignal();
    void messageReceived(QString message);
    void updateReceived(QString message, QObject* retVal);
    void advertisementReceived(QString url, QString text, QString banner);
};

} // namespace standin
