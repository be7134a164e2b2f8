#pragma once
// Plays the sound of an audio/video source and keeps the preview clock, the
// one time base of the preview: milliseconds of sound handed to the device,
// measured by the device's stream time at each callback, on top of the
// source position at which the stream last started. The sound is read
// ahead by a SoundReader, on a thread of its own; the device's thread calls
// streamCallback, which takes what is there (silence for what is missing)
// and applies the volume.
//
// States: stopped (no source with sound, or no sound device), paused (the
// stream is open) and playing (the stream runs and a 25 ms timer announces
// the clock). Everything but streamCallback runs on the GUI thread; the
// callback reaches it only through the posted end-of-sound event. No
// operation throws: sound device errors are logged and stop the player.
// Nothing here waits for a file that does not answer (the music on a share
// that hangs): the preview goes on without its sound, soundAnswers() says
// so, and the sound comes back in its place once it answers.

#include "multimedia/AudioOutput.h"
#include "multimedia/Player.h"

#include "multimedia/SoundReader.h"

#include "audio/DTAudioFilter.h"
#include "sources/DTAVSource.h"

#include <portaudio.h>

#include <atomic>
#include <memory>
#include <mutex>

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

public:
    // Takes its sound output from createAudioOutput().
    explicit AudioPlayer(QObject* parent = nullptr);
    ~AudioPlayer() override;

    // Keeps the source when it has sound; opens a stream for it and pauses
    // at the source's position, or stops without a source, sound or device.
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
    // The last source had sound but no sound device was found, or the one
    // found refused it: the player stays stopped.
    bool soundDeviceMissing() const { return soundDeviceMissing_; }
    // False while the sound's file does not answer: the preview goes on
    // without it. True without a sound.
    bool soundAnswers() const { return soundAnswers_; }
    // Whether the next callback of `frames` frames finds its sound read
    // ahead, or none will come soon; for callbacks driven by hand.
    bool soundReady(unsigned long frames) const;

    // The stream callback, on the sound device's thread. Returns paContinue;
    // paComplete when the sound ran dry and paAbort after a failure, both
    // after posting the end-of-sound event (EventTypes::endOfSound); paAbort
    // without a source.
    int streamCallback(const void* input, void* output, unsigned long frames,
                       const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags flags);

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
    void fakeSignal();
    void completed();

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    // False (and `turn` left empty) while the sound's reader moves the
    // whole source; pictures are read only holding the turn.
    bool pictureTurn(std::unique_lock<std::mutex>& turn);

private:
    void openSound();
    // Stops and closes the stream, resets the clock and releases the
    // reader and the filter; every step is tried, errors are logged.
    void releaseSound();
    // releaseSound, then the source goes too.
    void tearDown();
    void startStream();
    void seekTo(qint64 value);
    void stopTimer();
    // Logs the failure and stops: the sound cannot go on.
    void failSound(const char* operation, const std::exception& error);
    // Runs the step; on an exception, failSound and false.
    template <class Step>
    bool stepOrStop(const char* operation, Step step);
    // Writes the silence and the sound taken, at the volume set, then
    // silence to the end; the frames written before that.
    unsigned long fillOutput(float* output, unsigned long frames, const SoundReader::Taken& taken);
    void applyVolumeForSound();
    void postEndOfSound();
    void updateSoundAnswers();

    int volume_ = 100;
    bool muted_ = false;
    bool soundDeviceMissing_ = false;
    bool soundAnswers_ = true;
    kestrel::av_source_ptr source_;
    qint64 duration_ = 0; // of the sound, in ms
    std::unique_ptr<SoundReader> reader_; // goes after the stream
    kestrel::audio_filter_ptr filter_;
    std::unique_ptr<AudioOutput> output_; // outlives every stream
    std::unique_ptr<AudioStream> stream_;
    // Seconds of device stream time; -1 until the first callback of a run.
    // Guarded by the process-wide clockMutex.
    double firstStreamTime_ = -1.0;
    double lastStreamTime_ = -1.0;
    qint64 baseTime_ = 0;
    int timerId_ = -1;

    // The volume as the sound thread sees it, and what its filter applies.
    std::atomic<int> soundVolume_{100};
    int appliedVolume_ = 100;
    // Set by the callback that posted the end-of-sound event; cleared
    // whenever the stream is restarted, so that a notice overtaken by a seek
    // or a new source is dropped.
    std::atomic<bool> soundRanDry_{false};
};

} // namespace Multimedia
