#pragma once
// Plays the sound of an audio/video source and keeps the preview clock, the
// one time base of the preview: milliseconds of sound handed to the device,
// measured by the device's stream time at each callback, on top of the
// source position at which the stream last started. The sound is pulled:
// the device's thread calls streamCallback, which reads the source just in
// time, converts it to 44100 Hz stereo float and applies the volume.
//
// States: stopped (no source with sound, or no sound device), paused (the
// stream is open) and playing (the stream runs and a 25 ms timer announces
// the clock). Everything but streamCallback runs on the GUI thread; the
// callback reaches it only through the posted end-of-sound event. No
// operation throws: sound device errors are logged and stop the player.
// Stopping the stream (pause, seek, a new source, the player's end) gives up
// a read of the callback that does not answer (the music on a share that
// hangs), so that it never waits for one.

#include "multimedia/AudioOutput.h"
#include "multimedia/Player.h"

#include "DTAVSource.h"
#include "DTAbandonableRead.h"
#include "DTAudioConvert.h"
#include "DTAudioFilter.h"

#include <portaudio.h>

#include <atomic>
#include <memory>

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
    void fakeSignal();
    void completed();

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    void openSound();
    // Stops and closes the stream, resets the clock and releases the
    // converter and the filter; every step is tried, errors are logged.
    void releaseSound();
    // releaseSound, then the source goes too.
    void tearDown();
    void startStream();
    void seekTo(qint64 value);
    void stopTimer();
    // Runs the stream's stop or abort with the callback's reads given up.
    template <class Stop>
    void stopGivingUpReads(Stop stop);
    // Logs the failure and stops: the sound cannot go on.
    void failSound(const char* operation, const std::exception& error);
    // Runs the step; on an exception, failSound and false.
    template <class Step>
    bool stepOrStop(const char* operation, Step step);
    unsigned long fillOutput(float* output, unsigned long frames);
    void applyVolumeForSound();
    void postEndOfSound();

    int volume_ = 100;
    bool muted_ = false;
    bool soundDeviceMissing_ = false;
    kestrel::av_source_ptr source_;
    kestrel::audio_convert_ptr converter_;
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
    // Watched by the callback's reads; on while the stream stops.
    const kestrel::read_interruption_ptr reads_ = std::make_shared<kestrel::read_interruption>();
};

} // namespace Multimedia
