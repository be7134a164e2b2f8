#pragma once
// Reads the sound of an audio/video source ahead, on a thread of its own:
// blocks converted to 44100 Hz stereo float wait in a queue of at most two
// seconds, which the sound callback takes from without ever waiting for the
// reader (what is missing it plays as silence). Frames count from the
// source's 0 at 44100 a second; the callback's playhead moves on with every
// frame it plays, sound or silence, so the sound stays with the clock.
//
// Music that does not answer (a share that hangs): each wait of the reader
// on a file gives up after a patience, so no lock of the source is held for
// long; the sound then "does not answer" and the queue runs dry. Now and
// then the reader moves the whole source to just past the playhead (while
// it holds pictureTurn(), so that nobody reads pictures meanwhile) until
// the sound answers again; then once more, dropping the sound that answered.
// A move or a read within which a wait gave up counts as one the file did
// not answer, whatever it returned: a demuxer that cannot read on lands
// where it last could without a word, and sound from before the give-up
// is never played after it.
//
// The last half second of sound taken is kept, so that the playhead can go
// back where the sound was heard when the preview pauses (rewind): sound
// taken ahead and never heard plays again from there.
//
// Threads: construction, seek, answers() and destruction on the GUI
// thread; take, catchUp and rewind on the sound callback's; `changed` on the
// reader's, after answers() changed. Nothing here waits for a file on the calling thread:
// seek gives up the reader's read and moves the source itself only within a
// tenth of a second, else moves the pictures alone (av_source::move_pictures)
// and leaves the sound to the reader; the destructor gives the reader up and
// joins it when it ends within a bound, else lets it end on its own, owning
// only shared state.

#include "media/DTAudioData.h"
#include "media/DTAudioFormat.h"
#include "sources/DTAVSource.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace Multimedia {

// Moves the source on the calling thread; a file that does not answer
// within half a second gives up ("does not answer", ETIMEDOUT). Returns
// what the source's seek returns.
double seekWaitingAtMost(kestrel::av_source& source, double ms);

class SoundReader {
public:
    static const int rate = 44100;
    static const int channels = 2;

    // What the queue holds: `rate` Hz, `channels` interleaved float
    // channels, front left and right.
    static kestrel::audio_format_ptr format();

    // Starts reading at `startMs` of the source, which must have sound and
    // be at that position. `changed` must only post.
    SoundReader(kestrel::av_source_ptr source, double startMs, std::function<void()> changed);
    ~SoundReader();
    SoundReader(const SoundReader&) = delete;
    SoundReader& operator=(const SoundReader&) = delete;

    // Drops what was read ahead, gives up a read under way and moves the
    // source to `ms`; returns the ms where the sound now starts. When the
    // reader does not leave the source soon, or the sound does not answer
    // within a patience, the reader moves the source once it answers, and
    // `ms` is returned; the pictures move meanwhile where the source can
    // move them alone. Throws what the source's seek throws otherwise.
    double seek(double ms);
    // What the callback plays for the next `frames` frames: silence, then
    // the sound at hand (null or shorter when missing; silence after it).
    struct Taken {
        unsigned long silentBefore = 0;
        kestrel::audio_data_ptr sound;
        bool ended = false;  // the sound ran out: nothing more will come
        bool failed = false; // it ran out because reading failed
    };
    Taken take(unsigned long frames);
    // The playhead goes on to `ms` where it stands before it: the time
    // between plays as if it had been played (the sound came back after the
    // clock ran without it). Any thread.
    void catchUp(double ms);
    // The playhead goes back to `ms` where it stands past it, no callback
    // taking meanwhile: what was taken since plays again, from what was kept
    // of it, else read again there.
    void rewind(double ms);
    // False while the sound does not answer.
    bool answers() const;
    // At least `frames` frames wait, or none will come soon (the end, a
    // failure, a sound that does not answer).
    bool ready(unsigned long frames) const;
    // Taken while pictures are read: false (and `turn` left empty) while the
    // reader moves the source.
    bool pictureTurn(std::unique_lock<std::mutex>& turn);

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared);
    // One block of sound into the queue, or why none came.
    static void readBlock(Shared& s, uint64_t generation, int& emptyBlocks);
    // The pictures to `ms` while the sound waits for the reader, where the
    // source can move them without waiting.
    static void movePicturesAlone(Shared& s, double ms);
    // Moves the whole source to just past the playhead.
    static void moveSource(Shared& s, uint64_t generation, std::chrono::steady_clock::time_point& lastMove);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace Multimedia
