#include "viewmodel/SettingsViewModel.h"

#include "viewmodel/OutputProfiles.h"
#include "viewmodel/SettingsStore.h"
#include "viewmodel/UsageEvents.h"

#include "media/DTMediaSettings.h"
#include "slideshow2/DTSlideshow.h"

#include <QMetaType>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace ViewModel {

namespace {

const char keyUseAudioDuration[] = "Settings/useAudioDuration";
const char keyUseKenBurns[] = "Settings/useKenBurns";
const char keySlideDuration[] = "Settings/slideDuration";
const char keyTransitionDuration[] = "Settings/transitionDuration";
// The user's own transition, which a short photo time may have shortened
// in use; older stores lack it and give the one in use.
const char keyChosenTransition[] = "Settings/chosenTransitionDuration";
const char keyOutputFolder[] = "Settings/outputFolder";
const char keySlideshowName[] = "Settings/slideshowName";
const char keyFormat[] = "Settings/format";
const char keyAspect[] = "Settings/aspect";
const char keyQuality[] = "Settings/quality";
const char keyNeedClarify[] = "Settings/needClarify";

const double minSlideDuration = 0.5;
const double maxSlideDuration = 20.0;
// A stored duration beyond a day is an edit, not a choice: the engine would
// count frames for it until the end of time.
const double maxStoredDuration = 24 * 3600.0;
// Frames at most four times as wide as high or the other way round; beyond
// that a frame of the preset's height no longer fits an encoder.
const double minAspect = 0.25;
const double maxAspect = 4.0;

void registerEnumsOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qRegisterMetaType<SettingsViewModel::Format>("ViewModel::SettingsViewModel::Format");
        qRegisterMetaType<SettingsViewModel::Quality>("ViewModel::SettingsViewModel::Quality");
        qRegisterMetaType<SettingsViewModel::Mode>("ViewModel::SettingsViewModel::Mode");
    });
}

double inHundredths(double seconds)
{
    return std::round(seconds * 100.0) / 100.0;
}

// Half the photo's time, rounded down to hundredths: a transition the field
// shows is never longer than half of the time the field above shows.
double longestTransition(double slideDuration)
{
    return double(std::llround(slideDuration * 100.0) / 2) / 100.0;
}

bool isUsableAspect(double aspect)
{
    return aspect >= minAspect && aspect <= maxAspect;  // false for NaN
}

// The stored number when it reads as one within [low, high], else fallback.
double storedNumber(const QSettings& store, const char* key, double fallback, double low, double high)
{
    bool ok = false;
    const double value = store.value(QLatin1String(key)).toDouble(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

int storedInt(const QSettings& store, const char* key, int fallback, bool (*known)(int))
{
    bool ok = false;
    const int value = store.value(QLatin1String(key)).toInt(&ok);
    return ok && known(value) ? value : fallback;
}

QString storedText(const QSettings& store, const char* key, const QString& fallback)
{
    const QString value = store.value(QLatin1String(key)).toString();
    return value.isEmpty() ? fallback : value;
}

} // namespace

SettingsViewModel::SettingsViewModel(kestrel::slideshow2::slideshow_ptr slideshow, QObject* parent)
    : QObject(parent), slideshow_(std::move(slideshow))
{
    registerEnumsOnce();
    connect(&SettingsStore::instance(), &SettingsStore::problem, this, &SettingsViewModel::storageProblem);
    load();
}

SettingsViewModel::~SettingsViewModel()
{
    save();
}

QString SettingsViewModel::defaultOutputFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}

double SettingsViewModel::aspect() const
{
    return OutputProfiles::effectiveAspect(format_, aspect_);
}

bool SettingsViewModel::aspectEnabled() const
{
    return !OutputProfiles::isDeviceFormat(format_);
}

SettingsViewModel::Quality SettingsViewModel::quality() const
{
    return Quality(OutputProfiles::effectiveQuality(format_, quality_));
}

bool SettingsViewModel::qualityEnabled() const
{
    return !OutputProfiles::isDeviceFormat(format_);
}

QString SettingsViewModel::qualityHint() const
{
    const OutputProfiles::HintFacts facts = OutputProfiles::hintFacts(format_, quality_);
    if (facts.frameHeight <= 0)
        return QString();
    const int height = facts.frameHeight - facts.frameHeight % 2;
    // The aspect is bounded, so the product fits an int.
    int width = int(aspect() * height);
    width -= width % 2;
    return tr("Video: %1x%2, %3. Audio: %4.")
        .arg(QString::number(width), QString::number(height), facts.videoCodec, facts.audioCodec);
}

void SettingsViewModel::setUseAudioDuration(bool value)
{
    if (value == useAudioDuration_)
        return;
    useAudioDuration_ = value;
    emit useAudioDurationChanged();
}

void SettingsViewModel::setUseKenBurns(bool value)
{
    if (value == useKenBurns_)
        return;
    useKenBurns_ = value;
    emit useKenBurnsChanged();
}

bool SettingsViewModel::keepSlideDuration(double value)
{
    if (value == slideDuration_ || std::isnan(value))
        return false;
    slideDuration_ = inHundredths(std::clamp(value, minSlideDuration, maxSlideDuration));
    return true;
}

void SettingsViewModel::setSlideDuration(double value)
{
    const bool kept = keepSlideDuration(value);
    if (!std::isnan(value))
        boundTransition();
    if (kept)
        emit slideDurationChanged();
}

void SettingsViewModel::typeSlideDuration(double value)
{
    if (keepSlideDuration(value))
        emit slideDurationChanged();
}

void SettingsViewModel::commitSlideDuration()
{
    boundTransition();
}

void SettingsViewModel::boundTransition()
{
    const double inUse = std::min(chosenTransition_, longestTransition(slideDuration_));
    if (inUse == transitionDuration_)
        return;
    transitionDuration_ = inUse;
    emit transitionDurationChanged();
}

void SettingsViewModel::setTransitionDuration(double value)
{
    if (std::isnan(value))
        return;
    const double kept = std::min(inHundredths(std::max(value, 0.0)), longestTransition(slideDuration_));
    // Also when it is the one in use: the user chose it.
    chosenTransition_ = kept;
    if (value == transitionDuration_ && kept == transitionDuration_)
        return;
    transitionDuration_ = kept;
    emit transitionDurationChanged();
}

void SettingsViewModel::setOutputFolder(const QString& value)
{
    if (value == outputFolder_)
        return;
    outputFolder_ = value;
    emit outputFolderChanged();
}

void SettingsViewModel::setSlideshowName(const QString& value)
{
    if (value == slideshowName_)
        return;
    slideshowName_ = value;
    emit slideshowNameChanged(value);
}

void SettingsViewModel::setFormat(Format value)
{
    if (value == format_)
        return;
    format_ = value;
    emit formatChanged(value);
    emit aspectEnabledChanged(aspectEnabled());
    emit aspectChanged(aspect());
    emit qualityEnabledChanged(qualityEnabled());
    emit qualityChanged(quality());
    emit qualityHintChanged(qualityHint());
    emit fileExtentionChanged(fileExtention());
}

void SettingsViewModel::setAspect(double value)
{
    if (value == aspect_ || !isUsableAspect(value))
        return;
    aspect_ = value;
    emit aspectChanged(aspect());
    emit qualityHintChanged(qualityHint());
}

void SettingsViewModel::setQuality(Quality value)
{
    if (value == quality_)
        return;
    quality_ = value;
    emit qualityChanged(quality());
    emit qualityHintChanged(qualityHint());
}

void SettingsViewModel::setNeedClarify(bool value)
{
    if (value == needClarify_)
        return;
    needClarify_ = value;
    emit needClarifyChanged(value);
}

void SettingsViewModel::setMode(Mode value)
{
    if (value == mode_)
        return;
    mode_ = value;
    emit modeChanged(value);
}

QString SettingsViewModel::fileExtention() const
{
    return OutputProfiles::fileExtension(format_);
}

QString SettingsViewModel::presetName() const
{
    return OutputProfiles::presetName(format_, quality_);
}

void SettingsViewModel::load()
{
    const QSettings store;
    SettingsStore::instance().checkRead(store);
    useAudioDuration_ = store.value(QLatin1String(keyUseAudioDuration), false).toBool();
    useKenBurns_ = store.value(QLatin1String(keyUseKenBurns), true).toBool();
    // Values edited by hand are taken as they are, in hundredths (no clamp,
    // no signal), unless the engine cannot use them at all; only a transition
    // over half the photo's time is shortened in use by apply(), the one
    // read kept as the chosen one.
    slideDuration_ = std::max(0.01, inHundredths(storedNumber(store, keySlideDuration, 6.0, 1e-3, maxStoredDuration)));
    transitionDuration_ = inHundredths(storedNumber(store, keyTransitionDuration, 1.2, 0.0, maxStoredDuration));
    chosenTransition_ =
        inHundredths(storedNumber(store, keyChosenTransition, transitionDuration_, 0.0, maxStoredDuration));
    outputFolder_ = storedText(store, keyOutputFolder, defaultOutputFolder());
    slideshowName_ = storedText(store, keySlideshowName, tr("My slideshow"));
    format_ = Format(storedInt(store, keyFormat, OutputProfiles::defaultFormat(), &OutputProfiles::isKnownFormat));
    aspect_ = storedNumber(store, keyAspect, 4.0 / 3.0, minAspect, maxAspect);
    quality_ = Quality(storedInt(store, keyQuality, MediumQuality, &OutputProfiles::isKnownQuality));
    needClarify_ = store.value(QLatin1String(keyNeedClarify), true).toBool();
    apply();
}

void SettingsViewModel::apply()
{
    // A photo time still being typed when the dialog goes counts as committed.
    commitSlideDuration();
    const kestrel::media_settings_ptr settings = kestrel::media_settings::create();
    settings->set("slide-duration", slideDuration_)
        ->set("transition-duration", transitionDuration_)
        ->set("align-to-audio", useAudioDuration_ ? "1" : "0")
        ->set("ken-burns", useKenBurns_ ? "1" : "0")
        ->set("frame-aspect", aspect());
    if (slideshow_)
        slideshow_->apply_settings(settings);
    save();
    sendUsageEvent(QStringLiteral("Lumivista"), QStringLiteral("Apply Settings"));
}

void SettingsViewModel::save() const
{
    QSettings store;
    store.setValue(QLatin1String(keyUseAudioDuration), useAudioDuration_);
    store.setValue(QLatin1String(keyUseKenBurns), useKenBurns_);
    store.setValue(QLatin1String(keySlideDuration), slideDuration_);
    store.setValue(QLatin1String(keyTransitionDuration), transitionDuration_);
    store.setValue(QLatin1String(keyChosenTransition), chosenTransition_);
    store.setValue(QLatin1String(keyOutputFolder), outputFolder_);
    store.setValue(QLatin1String(keySlideshowName), slideshowName_);
    store.setValue(QLatin1String(keyFormat), int(format_));
    store.setValue(QLatin1String(keyAspect), aspect_);
    store.setValue(QLatin1String(keyQuality), int(quality_));
    store.setValue(QLatin1String(keyNeedClarify), needClarify_);
    SettingsStore::instance().store(store);
}

} // namespace ViewModel
