#pragma once
// Plays the sound of an audio/video source and keeps the preview clock, the
// one time base of the preview: milliseconds of sound handed to the device,
// measured by the device's stream time at each callback, on top of where
// the run's sound started. The sound is read ahead by a SoundReader on a
// thread of its own and handed to the device by a SoundFeed; the stream's
// whole life (open, start, close, another in its place) is a StreamThread's,
// which the player asks and never waits for.
//
// States: stopped (no source with sound, or no sound device at all), paused
// and playing (a 25 ms timer announces the clock). Everything here runs on
// the GUI thread. No operation throws: failures are logged.
//
// Nothing here waits for the music or the sound output. Music that does
// not answer (on a share that hangs): the preview goes on without it,
// soundAnswers() says so, and the sound comes back in its place once it
// answers. A sound output that does not answer (no callback for half a
// second while playing, a stream that could not be opened or that its
// output ended: a sound server that went away): the clock goes on by the
// monotonic clock from where the sound was, soundOutputAnswers() says so,
// and a new stream is asked for about every second; its sound joins the
// pictures' time. An output that refuses the stream's format says why
// (soundOutputRefusal()). The clock is what the output played: a pause
// drops what was sent ahead and not yet played, the clock then stands
// where the sound stopped (once the stream says so: the output plays on a
// moment after the press), and Play goes on from there, nothing heard
// twice and nothing left out.

#include "multimedia/Player.h"

#include "multimedia/SoundFeed.h"
#include "multimedia/SoundReader.h"
#include "multimedia/StreamThread.h"

#include "sources/DTAVSource.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace ComponentModel {
class GuardedReceiver;
}

namespace Multimedia {

class AudioPlayer : public Player {
    Q_OBJECT
    Q_PROPERTY(qint64 minTime READ minTime NOTIFY fakeSignal)
    Q_PROPERTY(qint64 maxTime READ maxTime NOTIFY maxTimeChanged)
    Q_PROPERTY(qint64 time READ time WRITE setTime NOTIFY timeChanged)
    Q_PROPERTY(int minVolume READ minVolume NOTIFY fakeSignal)
    Q_PROPERTY(int maxVolume READ maxVolume NOTIFY fakeSignal)
    Q_PROPERTY(int volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(bool muted READ muted WRITE setMuted NOTIFY mutedChanged)
    Q_PROPERTY(bool soundDeviceMissing READ soundDeviceMissing NOTIFY soundDeviceMissingChanged)
    Q_PROPERTY(bool soundAnswers READ soundAnswers NOTIFY soundAnswersChanged)
    Q_PROPERTY(bool soundOutputAnswers READ soundOutputAnswers NOTIFY soundOutputAnswersChanged)
    Q_PROPERTY(QString soundOutputRefusal READ soundOutputRefusal NOTIFY soundOutputRefusalChanged)

public:
    // How long a playing player waits for a callback before the clock goes
    // on without the sound (four times as long for a stream not yet
    // started).
    static constexpr std::chrono::milliseconds silencePatience{500};

    // Takes its sound output from createAudioOutput().
    explicit AudioPlayer(QObject* parent = nullptr);
    ~AudioPlayer() override;

    // Keeps the source when it has sound and pauses at its position, asking
    // for a stream; stops without a source or sound, and once the output
    // turns out to have no device at all: then a device is looked for about
    // every second, and once one is found the player pauses where it
    // stands, or plays if play() was asked meanwhile.
    virtual void setSource(kestrel::av_source_ptr source);

    qint64 minTime() const { return 0; }
    // The sound's length in ms; 0 when stopped.
    qint64 maxTime() const;
    // The clock in ms: 0 when stopped, never above maxTime().
    qint64 time() const;
    // Seeks; outside 0 .. maxTime() starts over from 0. Ignored when stopped.
    void setTime(qint64 value);

    int minVolume() const { return 0; }
    int maxVolume() const { return 100; }
    int volume() const { return volume_; }
    // Percent, not clamped: 150 amplifies (samples stay within full scale).
    void setVolume(int value);
    bool muted() const { return muted_; }
    // Only remembered: muting is done by setting the volume to minVolume.
    void setMuted(bool value);
    // The last source had sound but the output has no device at all: the
    // player stays stopped until one is found.
    bool soundDeviceMissing() const { return soundDeviceMissing_; }
    // False while the sound's file does not answer: the preview goes on
    // without it. True without a sound.
    bool soundAnswers() const { return soundAnswers_; }
    // False from when the sound output did not answer until a stream of it
    // opens, or is heard, again: the preview goes on without it.
    bool soundOutputAnswers() const { return soundOutputAnswers_; }
    // Why the output refused the stream's format, while it does (the output
    // then does not answer either); empty otherwise.
    QString soundOutputRefusal() const { return soundOutputRefusal_; }
    // Whether the next callback of `frames` frames finds its sound read
    // ahead, or none will come soon; for callbacks driven by hand.
    bool soundReady(unsigned long frames) const;
    // For a sound card whose callbacks a test drives by hand, step by step:
    // how long the player waits for one (silencePatience until set).
    void setSilencePatience(std::chrono::milliseconds patience) { silencePatience_ = patience; }

public slots:
    void play() override;
    void pause() override;

signals:
    void maxTimeChanged(qint64 value);
    void timeChanged(qint64 value, bool isDeep = false);
    void volumeChanged(int value);
    void mutedChanged(bool value);
    void soundDeviceMissingChanged(bool value);
    void soundAnswersChanged(bool value);
    void soundOutputAnswersChanged(bool value);
    void soundOutputRefusalChanged(const QString& value);
    void fakeSignal();
    void completed();

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    // False (and `turn` left empty) while the sound's reader moves the
    // whole source; pictures are read only holding the turn.
    bool pictureTurn(std::unique_lock<std::mutex>& turn);

private:
    using Clock = std::chrono::steady_clock;

    void openSound();
    // Lets the stream, the reader and the clock go; emits nothing.
    void releaseSound();
    // releaseSound, then the source goes too.
    void tearDown();
    // Logs the failure and stops: the sound cannot go on.
    void failSound(const char* operation, const std::exception& error);
    void seekTo(qint64 value);
    void stopTimer();
    // A feed for a new stream in place of the one there is, playing a run
    // at once when `playing`.
    void newFeed(bool playing);
    // A new run of the feed from where the clock stands.
    void startRun();
    SoundFeed::RunStart runStart() const;
    // The clock goes on from where it is by the monotonic clock.
    void runFree();
    // Stops for want of a device, the sound kept for when one is found.
    void standWithoutDevice();
    void deviceFound();
    // What the stream thread did.
    void onStreamReport(const StreamThread::Report& report);
    // Whether the playing output has been silent too long; a new stream
    // then.
    void watchOutput();
    void setSoundOutputAnswers(bool value);
    void setSoundOutputRefusal(const QString& why);
    void updateSoundAnswers();

    int volume_ = 100;
    bool muted_ = false;
    bool soundDeviceMissing_ = false;
    bool playWhenFound_ = false; // play() was asked while it was missing
    bool soundAnswers_ = true;
    bool soundOutputAnswers_ = true;
    QString soundOutputRefusal_;
    kestrel::av_source_ptr source_;
    qint64 duration_ = 0; // of the sound, in ms
    std::unique_ptr<SoundReader> reader_;
    std::shared_ptr<SoundFeed> feed_; // cut off before the reader goes
    std::shared_ptr<ComponentModel::GuardedReceiver> receiver_;
    std::unique_ptr<StreamThread> streams_;
    bool opened_ = false; // a stream was opened for this source
    // Paused, with no seek since: the next run goes on where the sound
    // stopped.
    bool resumeWhereStopped_ = false;

    // The clock: where it stands while no callback counts, and since when
    // it runs free of the sound.
    qint64 baseTime_ = 0;
    std::optional<Clock::time_point> freeSince_;
    std::uint64_t run_ = 0;          // the last run asked for
    Clock::time_point runAskedAt_;   // or started by the stream thread
    bool runStarted_ = false;        // the stream thread said so
    Clock::time_point lastTick_;
    Clock::time_point watchedFrom_;  // the window's thread ran since
    Clock::time_point feedMadeAt_;
    std::chrono::milliseconds silencePatience_ = silencePatience;
    int timerId_ = -1;
};

} // namespace Multimedia
