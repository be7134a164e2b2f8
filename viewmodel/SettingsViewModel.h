#pragma once
// The user's output settings of the one slideshow being edited: slide and
// transition durations, stretching to the music, Ken Burns motion, output
// folder and name, and the output profile (format, aspect, quality). QML
// binds to the properties; apply() hands the engine its share of them as a
// settings map and stores everything under "Settings/" in the application's
// QSettings. Construction loads the stored values (hand-edited values the
// engine cannot use fall back to the defaults) and applies them at once;
// the destructor stores them again. A store that cannot be read or written
// (SettingsStore.h) is told through storageProblem.
// The aspect and quality properties read the effective values, which a
// device format fixes; the user's own choices are kept underneath and are
// what is stored and what picks a free format's preset. In the same way the
// transition in use (transitionDuration, what the show gets) is the user's
// chosen one, at most half the photo's time once that time is committed;
// the chosen one is stored beside it and comes back whenever a longer photo
// time allows it. Durations are kept in hundredths of a second, as the
// fields show them.
// GUI thread only. The slideshow is shared, never null in use.

#include "slideshow2/DTSlideshowTypes.h"

#include <QObject>
#include <QString>

namespace ViewModel {

class SettingsViewModel : public QObject {
    Q_OBJECT
public:
    // Stores and QML may hold any int: the enums span them all.
    enum Format : int {
        WindowsFormat = 0,
        MacFormat = 1,
        IPhoneFormat = 2,
        IPhone4Format = 3,
        IPhone5Format = 4,
        IPadFormat = 5,
        IPad3Format = 6,
        YouTubeFormat = 7,
        FacebookFormat = 8
    };
    Q_ENUM(Format)
    enum Quality : int { LowQuality = 0, MediumQuality = 1, HighQuality = 2 };
    Q_ENUM(Quality)
    enum Mode : int { DefaultMode = 0, ConvertMode = 1 };
    Q_ENUM(Mode)

    Q_PROPERTY(bool useAudioDuration READ useAudioDuration WRITE setUseAudioDuration NOTIFY useAudioDurationChanged)
    Q_PROPERTY(bool useKenBurns READ useKenBurns WRITE setUseKenBurns NOTIFY useKenBurnsChanged)
    Q_PROPERTY(double slideDuration READ slideDuration WRITE setSlideDuration NOTIFY slideDurationChanged)
    Q_PROPERTY(double transitionDuration READ transitionDuration WRITE setTransitionDuration
                   NOTIFY transitionDurationChanged)
    Q_PROPERTY(QString outputFolder READ outputFolder WRITE setOutputFolder NOTIFY outputFolderChanged)
    Q_PROPERTY(QString slideshowName READ slideshowName WRITE setSlideshowName NOTIFY slideshowNameChanged)
    Q_PROPERTY(Format format READ format WRITE setFormat NOTIFY formatChanged)
    Q_PROPERTY(double aspect READ aspect WRITE setAspect NOTIFY aspectChanged)
    Q_PROPERTY(bool aspectEnabled READ aspectEnabled NOTIFY aspectEnabledChanged)
    Q_PROPERTY(Quality quality READ quality WRITE setQuality NOTIFY qualityChanged)
    Q_PROPERTY(bool qualityEnabled READ qualityEnabled NOTIFY qualityEnabledChanged)
    Q_PROPERTY(QString qualityHint READ qualityHint NOTIFY qualityHintChanged)
    Q_PROPERTY(bool needClarify READ needClarify WRITE setNeedClarify NOTIFY needClarifyChanged)
    Q_PROPERTY(Mode mode READ mode WRITE setMode NOTIFY modeChanged)

    SettingsViewModel(kestrel::slideshow2::slideshow_ptr slideshow, QObject* parent = nullptr);
    ~SettingsViewModel() override;

    // Where videos go when the user chose nothing (the movies folder).
    static QString defaultOutputFolder();

    bool useAudioDuration() const { return useAudioDuration_; }
    bool useKenBurns() const { return useKenBurns_; }
    double slideDuration() const { return slideDuration_; }
    double transitionDuration() const { return transitionDuration_; }
    QString outputFolder() const { return outputFolder_; }
    QString slideshowName() const { return slideshowName_; }
    Format format() const { return format_; }
    double aspect() const;
    bool aspectEnabled() const;
    Quality quality() const;
    bool qualityEnabled() const;
    QString qualityHint() const;
    bool needClarify() const { return needClarify_; }
    Mode mode() const { return mode_; }

    void setUseAudioDuration(bool value);
    void setUseKenBurns(bool value);
    // The photo's time, committed: kept within 0.5 .. 20 s; the transition
    // in use becomes the chosen one as far as half of it allows (announced
    // first). NaN is refused.
    void setSlideDuration(double value);
    // The photo's time while it is typed: kept as above, but the transition
    // is left alone until commitSlideDuration(), so that the "1" on the way
    // to "10" shortens nothing.
    Q_INVOKABLE void typeSlideDuration(double value);
    Q_INVOKABLE void commitSlideDuration();
    // The user's choice: kept within 0 .. half the slide duration, and both
    // the chosen transition and the one in use. NaN is refused.
    void setTransitionDuration(double value);
    void setOutputFolder(const QString& value);
    void setSlideshowName(const QString& value);
    void setFormat(Format value);
    // Only a positive, finite width / height is taken.
    void setAspect(double value);
    void setQuality(Quality value);
    void setNeedClarify(bool value);
    void setMode(Mode value);

    // Extension of the chosen format, with its dot.
    QString fileExtention() const;
    // The producer's preset of the chosen format and the user's quality.
    QString presetName() const;

    Q_INVOKABLE void apply();
    void save() const;

signals:
    void useAudioDurationChanged();
    void useKenBurnsChanged();
    void slideDurationChanged();
    void transitionDurationChanged();
    void outputFolderChanged();
    void slideshowNameChanged(QString value);
    void fileExtentionChanged(QString value);
    void formatChanged(ViewModel::SettingsViewModel::Format value);
    void aspectChanged(double value);
    void aspectEnabledChanged(bool value);
    void qualityChanged(ViewModel::SettingsViewModel::Quality value);
    void qualityEnabledChanged(bool value);
    void qualityHintChanged(QString value);
    void needClarifyChanged(bool value);
    void modeChanged(ViewModel::SettingsViewModel::Mode mode);
    // The message for the user when the settings could not be read or stored.
    void storageProblem(QString message);

private:
    // Takes the photo's time; whether it changed.
    bool keepSlideDuration(double value);
    void boundTransition();
    void load();

    kestrel::slideshow2::slideshow_ptr slideshow_;
    bool useAudioDuration_ = false;
    bool useKenBurns_ = true;
    double slideDuration_ = 6.0;
    double transitionDuration_ = 1.2;
    double chosenTransition_ = 1.2;
    QString outputFolder_;
    QString slideshowName_;
    Format format_ = MacFormat;
    double aspect_ = 4.0 / 3.0;
    Quality quality_ = MediumQuality;
    bool needClarify_ = true;
    Mode mode_ = DefaultMode;
};

} // namespace ViewModel
