#pragma once
// What one output stream plays: the sound a SoundReader has read ahead, at
// the volume set, and the stream times that the preview clock is made of.
// The stream's callback (streamCallback) calls it on the sound device's
// thread. A feed is shared by the player, the stream thread and the stream:
// a stream left hanging may call it long after the player has gone, so the
// player cuts it off (detach) before it lets its reader go; every callback
// after that writes silence and returns paAbort.
//
// Runs: a callback plays, and counts for the clock, only in the run the
// player wants (wantRun) once the stream thread has started the stream for
// it (beginRun); any other callback writes silence and leaves the reader
// and the clock alone (a stream still draining after a pause, one started
// before a seek). The first callback that counts moves the reader's
// playhead on to where the run starts, which, while the clock runs free of
// the sound, is where the clock is at that moment: sound that comes back
// joins the pictures' time.
//
// Where a run's sound stops: where its clock stood as it ended, unless its
// stream says how far it was heard (runHeard: a stream that sent sound
// ahead and dropped what was not played). A run that goes on where the
// sound stopped (after a pause) moves the reader's playhead there, back or
// on, so that nothing heard is heard again and nothing is left out.
//
// A stream that plays at a rate other than the reader's (44100 Hz) is
// given the reader's sound resampled (playAt): the reader's playhead runs a
// few milliseconds ahead of what the stream was given, by what the
// resampler holds, which a new run drops.
//
// Threads: wantRun, runFree, setVolume, progress, stoppedMs, takeRanDry
// and detach on the GUI thread, playAt, beginRun, endedStream and calledAt
// on the stream thread (beginRun, runHeard and soundComing also on a sound
// process's pump), streamCallback on the device's; each takes the feed's
// lock, which a callback holds only while it fills its buffer.

#include "multimedia/SoundReader.h"

#include "audio/DTAudioFilter.h"
#include "media/DTAudioConvert.h"

#include <portaudio.h>

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace Multimedia {

class SoundFeed {
public:
    using Clock = std::chrono::steady_clock;

    // Where a run's sound starts: at `ms`, or, when the clock runs free of
    // the sound since `since`, at `ms` and the time gone since then; or,
    // `whereStopped` and not free, where the sound of the runs before
    // stopped once one was heard (`ms` being where the clock stood then).
    struct RunStart {
        qint64 ms = 0;
        std::optional<Clock::time_point> since;
        bool whereStopped = false;
        double at(Clock::time_point now) const;
    };
    // The run wanted so far.
    struct Progress {
        bool counted = false; // a callback of it has played
        double startMs = 0.0; // where its sound started
        double firstTime = 0.0; // stream times of its first and latest callback, s
        double lastTime = 0.0;
        Clock::time_point lastAt; // when its latest callback came
        bool ranDry = false; // a callback found the end of the sound
    };

    // `endOfSound` is called (under the feed's lock) by the callback that
    // finds the end of the sound or fails; it must only post.
    SoundFeed(SoundReader& reader, int volume, std::function<void()> endOfSound);
    SoundFeed(const SoundFeed&) = delete;
    SoundFeed& operator=(const SoundFeed&) = delete;

    // Tells feeds apart where a pointer could be reused.
    std::uint64_t id() const { return id_; }

    // The run that callbacks may count for from now on (0: none), starting
    // at `start`; what was counted before is forgotten, but for where its
    // sound stops.
    void wantRun(std::uint64_t run, const RunStart& start);
    // The run wanted starts at `start` instead, unless a callback counted.
    void runFree(const RunStart& start);
    void setVolume(int percent);
    Progress progress() const;
    // Where the sound of the runs so far stopped, in ms of the sound, as
    // far as their streams have said; none before one was heard.
    std::optional<double> stoppedMs() const;
    // Whether the run wanted ran dry since the last look.
    bool takeRanDry();
    // Whether a callback of `frames` frames would play sound now: the run
    // wanted has begun and its sound is read ahead, or none comes soon. For
    // callbacks driven by hand.
    bool readyToPlay(unsigned long frames) const;
    // No callback touches the reader from now on; waits only for one under
    // way.
    void detach();

    // The stream plays `rate` frames a second; before it starts. Throws
    // what making the resampler throws.
    void playAt(double rate);
    // The stream has just been started for `run`.
    void beginRun(std::uint64_t run);
    // Of run `run`, which has ended, the stream played only what its
    // callbacks gave up to stream time `seconds`, the rest dropped unheard.
    void runHeard(std::uint64_t run, double seconds);
    // Whether a callback of `frames` frames now would play, in the run
    // begun, silence in place of sound that is coming: not read yet, while
    // the reader answers and has not reached the end.
    bool soundComing(unsigned long frames) const;
    // A callback ended the stream (the end of the sound, a failure, the
    // feed cut off) since it was last started.
    bool endedStream() const;
    // When the stream last called back, counted or not; never: the epoch.
    Clock::time_point calledAt() const;

    // The stream callback. Returns paContinue; paComplete when the sound ran
    // dry and paAbort after a failure, both after calling endOfSound;
    // paAbort once detached.
    int streamCallback(const void* input, void* output, unsigned long frames,
                       const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags flags);

private:
    // What a callback wrote: frames of sound before silence to the end, and
    // whether the reader has run out.
    struct Filled {
        unsigned long written = 0;
        bool ended = false;
        bool failed = false;
    };
    // The next `frames` frames from the reader, at the volume set, as they
    // are (fill) or resampled to the stream's rate (fillResampled).
    Filled fill(float* output, unsigned long frames);
    Filled fillResampled(float* output, unsigned long frames);
    // The sound taken, at the volume set; null without one.
    kestrel::audio_data_ptr amplified(const SoundReader::Taken& taken);
    void applyVolume();
    // Marks the end and posts it; returns `result`.
    int ranDry(int result);
    // Under the lock: whether the run wanted starts where the sound
    // stopped, and where that is (stopped_ set).
    bool resumes() const;
    double stoppedAt() const;

    const std::uint64_t id_;
    const kestrel::audio_filter_ptr filter_; // the callback's alone
    double rate_;
    kestrel::audio_convert_ptr toStream_; // null at the reader's rate
    int appliedVolume_;
    std::atomic<int> volume_;

    mutable std::mutex mutex_; // guards the rest
    SoundReader* reader_;
    std::function<void()> endOfSound_;
    std::uint64_t wanted_ = 0;
    std::uint64_t begun_ = 0;
    bool ended_ = false;
    Clock::time_point calledAt_;
    RunStart start_;
    Progress progress_;
    // Where the sound stopped: the last run heard (`stoppedRun`, as its
    // progress ended), or where a run never heard was to start.
    std::optional<Progress> stopped_;
    std::uint64_t stoppedRun_ = 0;
};

} // namespace Multimedia
