#include "multimedia/SoundReader.h"

#include "multimedia/BoundedWaits.h"

#include "base/DTErrors.h"
#include "files/DTFailureReason.h"
#include "files/DTFileRefusal.h"
#include "files/DTReadInterruption.h"
#include "media/DTAudioBuffer.h"
#include "media/DTAudioConvert.h"

#include <QDebug>

#include <boost/exception/get_error_info.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cmath>

namespace Multimedia {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const int64_t queueFrames = 2 * SoundReader::rate;
// Sound taken that is kept for a rewind.
const int64_t keptFrames = SoundReader::rate / 2;
const double blockMs = 50.0;
// A read of a healthy share answers in milliseconds; past this the sound
// does not answer, and the source's lock is let go.
const milliseconds readPatience(1000);
// A move of the source within seekWaitingAtMost.
const milliseconds seekPatience(500);
// The window's own move of the source in a seek: how long it waits for the
// file, and for the reader to leave the source first (it leaves a read
// given up within a tenth of a second). Past these the reader moves the
// sound, and the window the pictures alone.
const milliseconds windowSeekPatience(100);
const milliseconds leaveBound(50);
// While the sound does not answer, the reader tries to move the source
// this often, holding the pictures back for at most the patience.
const milliseconds moveInterval(1000);
const milliseconds movePatience(250);
// How far past the playhead a move aims, so that the sound is there in time.
const int64_t moveLead = SoundReader::rate / 4;
const milliseconds idleLook(50);
// A reader given up ends within a tenth of a second (no call of the source
// waits for long once its reads give up); past this bound it is left to
// end on its own.
const milliseconds joinBound(300);
// A source that keeps answering with blocks without samples has run dry.
const int maxEmptyBlocks = 64;

int64_t frameAt(double ms)
{
    return static_cast<int64_t>(std::llround(ms * SoundReader::rate / 1000.0));
}

double msAt(int64_t frame)
{
    return static_cast<double>(frame) * 1000.0 / SoundReader::rate;
}

// A wait on a file given up past its patience, or refused while earlier
// ones still wait: the file does not answer.
bool doesNotAnswer(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const kestrel::read_interrupted&) {
        return false;
    } catch (const boost::exception& error) {
        const int* code = boost::get_error_info<kestrel::errinfo_errno>(error);
        return code && (*code == ETIMEDOUT || *code == EBUSY);
    } catch (...) {
        return false;
    }
}

// Runs a move or a read of the source; a wait within it that gave up makes
// it fail as the file's not answering, whatever it returned: a demuxer that
// cannot read on lands where it last could without a word, and what it
// reads there is sound from before the give-up.
template <class Call>
void answeredThroughout(Call call)
{
    const unsigned long long before = kestrel::unanswered_here();
    call();
    if (kestrel::unanswered_here() != before)
        KESTREL_THROW(kestrel::refusal_failure(kestrel::file_refusal::does_not_answer));
}

} // namespace

double seekWaitingAtMost(kestrel::av_source& source, double ms)
{
    const kestrel::read_interruption_scope patient(nullptr, seekPatience);
    return source.seek(ms);
}

struct SoundReader::Shared {
    Shared(kestrel::av_source_ptr source, int64_t start, std::function<void()> changed)
        : source(std::move(source)), changed(std::move(changed)), frontFrame(start), playhead(start)
    {
        const kestrel::audio_format_ptr output = SoundReader::format();
        const kestrel::audio_format_ptr input = kestrel::audio_format::copy(*this->source->audio()->format());
        converter = kestrel::create_audio_convert(output.get(), input.get());
        queue = kestrel::audio_buffer::create(0, output.get());
        taken = kestrel::audio_buffer::create(0, output.get());
    }

    // With `mutex` held.
    void setAnswering(bool value)
    {
        if (value == answering)
            return;
        answering = value;
        if (changed)
            changed();
    }
    // With `mutex` held: no sound comes any more.
    void endWithFailure(const char* doing, const std::exception_ptr& failure)
    {
        qWarning().noquote() << "[SoundReader]" << doing << "the sound failed:"
                             << QString::fromStdString(kestrel::errors::log_text_of(failure));
        needsMove = false;
        ended = true;
        failed = true;
    }
    // With `mutex` held: the queue starts anew at `frame`.
    void restartAt(int64_t frame)
    {
        queue->pop(queue->size());
        taken->pop(taken->size());
        frontFrame = frame;
        ended = false;
        failed = false;
    }
    // With `mutex` held: `frames` frames leave the front of the queue,
    // kept as taken.
    kestrel::audio_data_ptr popFront(unsigned int frames)
    {
        kestrel::audio_data_ptr front = queue->pop(frames);
        frontFrame += front->samples();
        taken->push_back(front.get());
        if (taken->size() > keptFrames)
            taken->pop(static_cast<unsigned int>(taken->size() - keptFrames));
        return front;
    }

    const kestrel::av_source_ptr source;
    const kestrel::read_interruption_ptr interruption = std::make_shared<kestrel::read_interruption>();
    kestrel::audio_convert_ptr converter; // the reader's alone
    // Held by whoever reads or moves the source's sound.
    std::mutex sourceMutex;
    // Held by the reader while it moves the whole source, pictures too.
    std::mutex picturesMutex;

    mutable std::mutex mutex; // guards the rest
    std::condition_variable wake;
    std::condition_variable finished;
    std::function<void()> changed; // cleared when the owner goes
    kestrel::audio_buffer_ptr queue;
    kestrel::audio_buffer_ptr taken; // the frames just before the queue's first
    int64_t frontFrame;         // of the queue's first frame, or the next one read
    int64_t playhead;           // the next frame the callback plays
    uint64_t generation = 0;    // counts the seeks: a read of an earlier one is dropped
    bool seeking = false;       // the GUI thread moves the source
    bool needsMove = false;     // to past the playhead before the next read
    bool movedForFailure = false; // since the last sound read
    bool answering = true;
    bool ended = false;
    bool failed = false;
    bool stopping = false;
    bool done = false;
};

kestrel::audio_format_ptr SoundReader::format()
{
    const uint64_t frontLeftAndRight = 3;
    return kestrel::audio_format::create(rate, kestrel::sample_format_flt, channels, frontLeftAndRight);
}

SoundReader::SoundReader(kestrel::av_source_ptr source, double startMs, std::function<void()> changed)
    : shared_(std::make_shared<Shared>(std::move(source), frameAt(startMs), std::move(changed)))
{
    thread_ = std::thread(&SoundReader::run, shared_);
}

SoundReader::~SoundReader()
{
    Shared& s = *shared_;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.stopping = true;
    s.changed = nullptr;
    s.interruption->set(true);
    s.wake.notify_all();
    if (!joinWithin(thread_, lock, s.finished, joinBound, [&s] { return s.done; }))
        qWarning() << "[SoundReader] the sound's reader did not end in time; it ends on its own";
}

double SoundReader::seek(double ms)
{
    Shared& s = *shared_;
    const int64_t target = frameAt(ms);
    bool answering;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        ++s.generation;
        s.restartAt(target);
        s.playhead = target;
        s.needsMove = false;
        s.movedForFailure = false;
        s.seeking = true;
        answering = s.answering;
    }
    // A wait under way gives up; later ones wait again.
    s.interruption->set(true);
    s.interruption->set(false);

    double landed = ms;
    bool moved = false;
    std::unique_lock<std::mutex> source(s.sourceMutex, std::defer_lock);
    try {
        // Sound that does not answer is moved by the reader once it does.
        if (answering && lockWithin(source, leaveBound)) {
            const kestrel::read_interruption_scope patient(nullptr, windowSeekPatience);
            answeredThroughout([&s, ms] { s.source->seek(ms); });
            landed = s.source->audio()->position();
            moved = true;
        }
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.seeking = false;
        if (!doesNotAnswer(failure))
            std::rethrow_exception(failure);
        s.setAnswering(false);
    }
    if (!moved)
        movePicturesAlone(s, ms);
    std::lock_guard<std::mutex> lock(s.mutex);
    s.seeking = false;
    if (moved)
        s.frontFrame = s.playhead = frameAt(landed);
    else
        s.needsMove = true;
    s.wake.notify_all();
    return landed;
}

void SoundReader::movePicturesAlone(Shared& s, double ms)
{
    // Unless the reader moves the whole source right now.
    std::unique_lock<std::mutex> pictures(s.picturesMutex, std::try_to_lock);
    if (!pictures)
        return;
    try {
        s.source->move_pictures(ms);
    } catch (const std::exception& error) {
        qWarning() << "[SoundReader] moving the pictures failed:" << error.what();
    }
}

SoundReader::Taken SoundReader::take(unsigned long frames)
{
    Shared& s = *shared_;
    Taken taken;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.playhead += frames;
    if (s.ended && s.queue->size() == 0) {
        taken.ended = true;
        taken.failed = s.failed;
        return taken;
    }
    const int64_t playhead = s.playhead - frames;
    // Sound that came too late for its place is dropped; sound ahead of
    // the playhead waits behind silence.
    if (s.frontFrame < playhead)
        s.popFront(static_cast<unsigned int>(std::min<int64_t>(playhead - s.frontFrame, s.queue->size())));
    if (s.frontFrame > playhead)
        taken.silentBefore = static_cast<unsigned long>(std::min<int64_t>(s.frontFrame - playhead, frames));
    const unsigned long wanted = frames - taken.silentBefore;
    const unsigned long given = std::min<unsigned long>(wanted, s.queue->size());
    if (given > 0)
        taken.sound = s.popFront(static_cast<unsigned int>(given));
    taken.ended = s.ended && s.queue->size() == 0;
    taken.failed = s.failed;
    s.wake.notify_all();
    return taken;
}

void SoundReader::catchUp(double ms)
{
    Shared& s = *shared_;
    const int64_t target = frameAt(ms);
    std::lock_guard<std::mutex> lock(s.mutex);
    if (target <= s.playhead || s.seeking)
        return;
    s.playhead = target;
    // Sound read ahead for the time between is dropped as it is taken;
    // rather than read its way through more than the queue holds, the
    // reader moves the source there.
    if (target - s.frontFrame > queueFrames) {
        ++s.generation;
        s.restartAt(target);
        s.needsMove = true;
    }
    s.wake.notify_all();
}

void SoundReader::rewind(double ms)
{
    Shared& s = *shared_;
    const int64_t target = frameAt(ms);
    std::lock_guard<std::mutex> lock(s.mutex);
    if (target >= s.playhead || s.seeking)
        return;
    s.playhead = target;
    if (target >= s.frontFrame)
        return;
    const int64_t back = s.frontFrame - target;
    if (back > s.taken->size()) {
        ++s.generation;
        s.restartAt(target);
        s.needsMove = true;
        s.wake.notify_all();
        return;
    }
    s.taken->pop(static_cast<unsigned int>(s.taken->size() - back));
    const kestrel::audio_data_ptr again = s.taken->pop(static_cast<unsigned int>(back));
    const kestrel::audio_data_ptr waiting = s.queue->pop(s.queue->size());
    s.queue->push_back(again.get());
    if (waiting->samples() > 0)
        s.queue->push_back(waiting.get());
    s.frontFrame = target;
}

bool SoundReader::answers() const
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->answering;
}

bool SoundReader::ready(unsigned long frames) const
{
    const Shared& s = *shared_;
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.queue->size() >= frames || s.ended || !s.answering;
}

bool SoundReader::pictureTurn(std::unique_lock<std::mutex>& turn)
{
    std::unique_lock<std::mutex> lock(shared_->picturesMutex, std::try_to_lock);
    if (!lock)
        return false;
    turn = std::move(lock);
    return true;
}

void SoundReader::run(const std::shared_ptr<Shared>& shared)
{
    Shared& s = *shared;
    int emptyBlocks = 0;
    Clock::time_point lastMove;
    std::unique_lock<std::mutex> lock(s.mutex);
    uint64_t seenGeneration = s.generation;
    while (!s.stopping) {
        if (s.generation != seenGeneration) {
            // What the converter holds belongs to the place left.
            s.converter->pop(s.converter->size());
            seenGeneration = s.generation;
            emptyBlocks = 0;
        }
        const Clock::time_point nextMove = lastMove + moveInterval;
        if (s.seeking || s.ended) {
            s.wake.wait_for(lock, idleLook);
        } else if (s.needsMove) {
            if (!s.answering && Clock::now() < nextMove) {
                s.wake.wait_until(lock, nextMove);
                continue;
            }
            lock.unlock();
            moveSource(s, seenGeneration, lastMove);
            lock.lock();
        } else if (s.queue->size() >= queueFrames) {
            s.wake.wait_for(lock, idleLook);
        } else {
            lock.unlock();
            readBlock(s, seenGeneration, emptyBlocks);
            lock.lock();
        }
    }
    s.done = true;
    s.finished.notify_all();
}

void SoundReader::readBlock(Shared& s, uint64_t generation, int& emptyBlocks)
{
    std::unique_lock<std::mutex> source(s.sourceMutex);
    {
        // A seek that came meanwhile moved the source: its own read follows.
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stopping || s.seeking || s.needsMove || s.generation != generation)
            return;
    }
    kestrel::audio_data_ptr converted;
    bool dry = false;
    try {
        const kestrel::read_interruption_scope patient(s.interruption, readPatience);
        kestrel::audio_data_timed_ptr block;
        answeredThroughout([&s, &block] { block = s.source->audio()->read(blockMs); });
        source.unlock();
        if (!block || !block->data) {
            dry = true;
        } else if (block->data->samples() > 0) {
            s.converter->push_back(block->data.get());
            converted = s.converter->pop(s.converter->size());
            emptyBlocks = 0;
        } else {
            dry = ++emptyBlocks == maxEmptyBlocks;
        }
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stopping || s.generation != generation)
            return; // given up on purpose
        if (doesNotAnswer(failure)) {
            s.needsMove = true;
            s.setAnswering(false);
        } else if (!s.movedForFailure) {
            // A read given up earlier (by a reader that went, say) may have
            // left the source unreadable until it is moved: once more.
            s.needsMove = true;
            s.movedForFailure = true;
        } else {
            s.endWithFailure("reading", failure);
        }
        return;
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.generation != generation)
        return;
    if (converted && converted->samples() > 0 && !s.answering) {
        // A move made while the file did not answer may have stopped short
        // of its target without a word (a demuxer that cannot read lands
        // where it last could), so this sound may be from seconds back:
        // dropped, and the source moved again now that it answers.
        s.needsMove = true;
        s.setAnswering(true);
        return;
    }
    if (converted && converted->samples() > 0) {
        s.queue->push_back(converted.get());
        s.movedForFailure = false;
        s.setAnswering(true);
    }
    s.ended = s.ended || dry;
}

void SoundReader::moveSource(Shared& s, uint64_t generation, Clock::time_point& lastMove)
{
    std::unique_lock<std::mutex> source(s.sourceMutex);
    std::unique_lock<std::mutex> pictures(s.picturesMutex);
    int64_t target;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stopping || s.seeking || !s.needsMove || s.generation != generation)
            return;
        target = s.playhead + moveLead;
    }
    lastMove = Clock::now();
    double landed;
    try {
        const kestrel::read_interruption_scope patient(s.interruption, movePatience);
        answeredThroughout([&s, target] { s.source->seek(msAt(target)); });
        landed = s.source->audio()->position();
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stopping || s.generation != generation)
            return;
        if (doesNotAnswer(failure)) {
            s.setAnswering(false);
        } else {
            s.endWithFailure("moving", failure);
        }
        return;
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.generation != generation)
        return;
    s.needsMove = false;
    s.restartAt(frameAt(landed));
}

} // namespace Multimedia
