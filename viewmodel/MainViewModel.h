#pragma once
// The root view model, the main window's dataContext. It owns the one
// slideshow of the run, the two picture stores the views read
// ("image://banners/<id>" for the advertisement banner, "image://photos/<id>"
// for thumbnails and the conversion preview) and every child view model,
// made in this order: storyboard, music, settings, convert, player (and
// destroyed in the reverse order, so a running conversion is stopped and
// joined before the storyboard and the music it reads go). Besides handing
// them out it asks for the user's attention, passes notices of the
// notification service on to the view, shows an advertisement the
// advertisement service delivers and opens the maker's pages, each with a
// usage event; a page the desktop has no program for is told to the view
// as a message (messageReceived).
//
// updateReceived hands the view an UpdateAnswer, whose declared property
// needUpdate the view sets to have the update page opened.
//
// Ownership: made once by start-up, parentless; its children have no Qt
// parent and live only through its members. GUI thread only. Throws only
// what building its children throws.

#include "feedback/Ad.h"

#include "slideshow2/DTSlideshowTypes.h"

#include <QObject>
#include <QQuickImageProvider>
#include <QSharedPointer>
#include <QString>

#include <memory>

namespace ComponentModel {
class ImageProvider;
}

namespace ViewModel {

class ConvertViewModel;
class MusicViewModel;
class PlayerViewModel;
class SettingsViewModel;
class StoryboardViewModel;

// The answer object of updateReceived.
class UpdateAnswer : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool needUpdate READ needUpdate WRITE setNeedUpdate)
public:
    explicit UpdateAnswer(bool needUpdate) : needUpdate_(needUpdate) {}
    bool needUpdate() const { return needUpdate_; }
    void setNeedUpdate(bool value) { needUpdate_ = value; }

private:
    bool needUpdate_;
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
    // Makes the slideshow and the children; the last storyboard and music
    // come back and the stored settings are applied.
    explicit MainViewModel(QObject* parent = nullptr);
    ~MainViewModel() override;

    QQuickImageProvider* banners() const;
    QQuickImageProvider* photos() const;
    QObject* storyboardViewModel() const;
    QObject* musicViewModel() const;
    QObject* settingsViewModel() const;
    QObject* convertViewModel() const;
    QObject* playerViewModel() const;

    kestrel::slideshow2::slideshow_ptr slideshow() const { return slideshow_; }

    Q_INVOKABLE void showHelp();
    Q_INVOKABLE void showSite();
    Q_INVOKABLE void showFacebook();
    Q_INVOKABLE void showTwitter();
    // Opens the current advertisement's link; nothing before one came.
    Q_INVOKABLE void showAdvertisement();

signals:
    void fakeSignal();
    void messageReceived(QString message);
    void updateReceived(QString message, QObject* retVal);
    void advertisementReceived(QString url, QString text, QString banner);

public slots:
    void receiveMessage(QString message);
    // Asks the view (synchronously, through updateReceived) whether to open
    // the update page; needUpdate comes back with the view's answer.
    void receiveUpdate(QString message, bool& needUpdate);
    // The application's windows ask for attention, unless one is active.
    void alert();

protected slots:
    void onAdvertisementReceived(Feedback::Ad ad);

private:
    void openPage(const QString& settingsKey, const QString& action);
    // Hands the address to the desktop; one it has no program for is told
    // through messageReceived.
    void open(const QString& address);

    kestrel::slideshow2::slideshow_ptr slideshow_;
    QSharedPointer<ComponentModel::ImageProvider> banners_;
    QSharedPointer<ComponentModel::ImageProvider> photos_;
    QSharedPointer<StoryboardViewModel> storyboardViewModel_;
    QSharedPointer<MusicViewModel> musicViewModel_;
    QSharedPointer<SettingsViewModel> settingsViewModel_;
    std::unique_ptr<ConvertViewModel> convertViewModel_;
    std::unique_ptr<PlayerViewModel> playerViewModel_;
    Feedback::Ad advertisement_;
};

} // namespace ViewModel
