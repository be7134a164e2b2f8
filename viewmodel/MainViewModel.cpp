#include "viewmodel/MainViewModel.h"

#include "viewmodel/ConvertViewModel.h"
#include "viewmodel/MusicViewModel.h"
#include "viewmodel/PlayerViewModel.h"
#include "viewmodel/SettingsViewModel.h"
#include "viewmodel/StoryboardViewModel.h"
#include "viewmodel/UsageEvents.h"

#include "componentmodel/DesktopLauncher.h"
#include "componentmodel/ImageProvider.h"
#include "feedback/Advertisement.h"

#include "slideshow2/DTGilSlideshow.h"

#include <QApplication>
#include <QSettings>
#include <QUrl>
#include <QtDebug>

namespace ViewModel {

namespace {

const QString usageCategory = QStringLiteral("Lumivista");
const QString advertisementCategory = QStringLiteral("Advertisement");
const QString bannerId = QStringLiteral("banner");


// An advertisement's link comes from a feed fetched over plain HTTP: only a
// web page may be opened from it, never a local file or program.
bool isWebPage(const QString& address)
{
    const QString scheme = QUrl(address).scheme();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

MainViewModel::MainViewModel(QObject* parent)
    : QObject(parent), banners_(new ComponentModel::ImageProvider), photos_(new ComponentModel::ImageProvider)
{
    slideshow_ = kestrel::slideshow2::create_gil_slideshow();
    storyboardViewModel_.reset(new StoryboardViewModel(slideshow_, photos_));
    musicViewModel_.reset(new MusicViewModel(slideshow_));
    settingsViewModel_.reset(new SettingsViewModel(slideshow_));
    convertViewModel_.reset(
        new ConvertViewModel(slideshow_, storyboardViewModel_, settingsViewModel_, photos_, musicViewModel_));
    playerViewModel_.reset(new PlayerViewModel(slideshow_));

    // The user may be elsewhere when a long conversion ends; one stopped by
    // the user ends silently.
    connect(convertViewModel_.get(), &ConvertViewModel::conversionSucceeded, this, &MainViewModel::alert);
    connect(convertViewModel_.get(), &ConvertViewModel::conversionFailed, this, &MainViewModel::alert);
    connect(convertViewModel_.get(), &ConvertViewModel::conversionNotice, this, &MainViewModel::alert);

    if (Feedback::Advertisement* advertisements = Feedback::Advertisement::instance())
        connect(advertisements, &Feedback::Advertisement::retreived, this, &MainViewModel::onAdvertisementReceived);
}

MainViewModel::~MainViewModel() = default;

QQuickImageProvider* MainViewModel::banners() const { return banners_.data(); }
QQuickImageProvider* MainViewModel::photos() const { return photos_.data(); }
QObject* MainViewModel::storyboardViewModel() const { return storyboardViewModel_.data(); }
QObject* MainViewModel::musicViewModel() const { return musicViewModel_.data(); }
QObject* MainViewModel::settingsViewModel() const { return settingsViewModel_.data(); }
QObject* MainViewModel::convertViewModel() const { return convertViewModel_.get(); }
QObject* MainViewModel::playerViewModel() const { return playerViewModel_.get(); }

void MainViewModel::receiveMessage(QString message) { emit messageReceived(message); }

void MainViewModel::receiveUpdate(QString message, bool& needUpdate)
{
    UpdateAnswer answer(needUpdate);
    emit updateReceived(message, &answer);
    needUpdate = answer.property("needUpdate").toBool();
}

void MainViewModel::alert()
{
    qInfo("[MainViewModel] asking for attention");
    QApplication::alert(QApplication::activeWindow(), 0);
}

void MainViewModel::onAdvertisementReceived(Feedback::Ad ad)
{
    if (!ad.valid)
        return;
    advertisement_ = ad;
    // The feed's text is shown as it reads, never as markup of its own: a
    // picture or link in it would make the view fetch or open addresses of
    // the feed's choosing. The only markup is the link to the
    // advertisement's web page, quoted so that a blank or ">" in it cannot
    // end the tag.
    const QString escapedText = ad.text.toHtmlEscaped();
    const QString text = isWebPage(ad.url)
                             ? QStringLiteral("<a href=\"%1\">%2</a>").arg(ad.url.toHtmlEscaped(), escapedText)
                             : escapedText;
    banners_->setPixmap(bannerId, ad.pixmap);
    emit advertisementReceived(ad.url, text, ad.pixmap.isNull() ? QString() : bannerId);
    sendUsageEvent(advertisementCategory, QStringLiteral("Show"), ad.id);
}

void MainViewModel::showAdvertisement()
{
    if (!advertisement_.valid)
        return;
    if (isWebPage(advertisement_.url))
        open(advertisement_.url);
    sendUsageEvent(advertisementCategory, QStringLiteral("Click"), advertisement_.id);
}

void MainViewModel::showHelp() { openPage(QStringLiteral("webHelp"), QStringLiteral("Show Help")); }
void MainViewModel::showSite() { openPage(QStringLiteral("web"), QStringLiteral("Show Site")); }
void MainViewModel::showFacebook() { openPage(QStringLiteral("webFacebook"), QStringLiteral("Show Facebook")); }
void MainViewModel::showTwitter() { openPage(QStringLiteral("webTwitter"), QStringLiteral("Show Twitter")); }

void MainViewModel::openPage(const QString& settingsKey, const QString& action)
{
    open(QSettings().value(settingsKey).toString());
    sendUsageEvent(usageCategory, action);
}

// An empty address (a key that is not set) opens nothing.
void MainViewModel::open(const QString& address)
{
    const QUrl url(address);
    if (!url.isEmpty() && !ComponentModel::openUrl(url))
        emit messageReceived(tr("The desktop has no program to open the page \"%1\".").arg(address));
}

} // namespace ViewModel
