#include "multimedia/StreamThread.h"

#include "multimedia/BoundedWaits.h"
#include "multimedia/SoundFeed.h"

#include <QDebug>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace Multimedia {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const milliseconds retryAfter(1000);
const milliseconds lookEvery(200);
// A stream whose callbacks have stopped this long, and how long its output
// may take to say that it ended. The grace is generous: a JACK server that
// is shutting down still takes new clients, and PortAudio, started again
// meanwhile, aborts the process when the new client cannot be activated.
const milliseconds silentFor(200);
const milliseconds endingGrace(2000);
// How long the owner waits for the thread it lets go: an output that
// answers closes its stream in a moment.
const milliseconds joinBound(100);

std::atomic<int> threadsAlive{0};

} // namespace

constexpr std::chrono::milliseconds StreamThread::hungAfter;

struct StreamThread::Shared {
    Shared(std::unique_ptr<AudioOutput> output, std::function<void(const Report&)> report)
        : output(std::move(output)), report(std::move(report))
    {
    }

    void tell(Step step, std::uint64_t feed, std::uint64_t run, const std::string& why = std::string())
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (report)
            report(Report{step, feed, run, why});
    }

    const std::unique_ptr<AudioOutput> output; // the thread's alone

    std::mutex mutex; // guards the rest
    std::condition_variable wake;
    std::condition_variable finished;
    std::function<void(const Report&)> report; // cleared when the owner goes
    std::shared_ptr<SoundFeed> feed;           // wanted
    std::uint64_t run = 0;
    std::uint64_t changes = 0;
    bool quit = false;
    bool done = false;
};

// What the thread has: its alone.
struct StreamThread::Current {
    std::unique_ptr<AudioStream> stream;
    std::shared_ptr<SoundFeed> feed; // the stream's
    std::uint64_t run = 0;           // the stream was started for
    bool started = false;            // the stream once ran
    bool broken = false;             // a call into it failed: to be closed
    bool lost = false;               // never to be called again
    bool outputInUse = false;        // to be let go once no stream is open
    // A feed whose stream ran and is gone: it gets no other.
    std::shared_ptr<SoundFeed> spent;
    Clock::time_point retryAt;
    Clock::time_point lookedAt;
};

StreamThread::StreamThread(std::unique_ptr<AudioOutput> output, std::function<void(const Report&)> report)
    : shared_(std::make_shared<Shared>(std::move(output), std::move(report)))
{
    ++threadsAlive;
    thread_ = std::thread(&StreamThread::run, shared_);
}

int StreamThread::alive()
{
    return threadsAlive;
}

StreamThread::~StreamThread()
{
    Shared& s = *shared_;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.quit = true;
    s.report = nullptr;
    ++s.changes;
    s.wake.notify_all();
    if (!joinWithin(thread_, lock, s.finished, joinBound, [&s] { return s.done; }))
        qWarning() << "[StreamThread] the sound output did not let its stream go in time; it does so on its own";
}

void StreamThread::want(std::shared_ptr<SoundFeed> feed, std::uint64_t run)
{
    Shared& s = *shared_;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.feed = std::move(feed);
    s.run = run;
    ++s.changes;
    s.wake.notify_all();
}

void StreamThread::run(const std::shared_ptr<Shared>& shared)
{
    Shared& s = *shared;
    Current c;
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            seen = s.changes;
            if (s.quit && !c.stream)
                break;
        }
        if (step(s, c))
            continue;
        look(s, c);
        // Until what is wanted changes, the next look at the stream, or the
        // next try at opening one.
        std::unique_lock<std::mutex> lock(s.mutex);
        const bool retrying = !c.stream && s.feed && s.feed != c.spent;
        if (c.stream || retrying)
            s.wake.wait_until(lock, c.stream ? Clock::now() + lookEvery : c.retryAt, [&] { return s.changes != seen; });
        else
            s.wake.wait(lock, [&] { return s.changes != seen; });
    }
    letGo(s, c);
    std::lock_guard<std::mutex> lock(s.mutex);
    s.done = true;
    s.finished.notify_all();
    --threadsAlive;
}

bool StreamThread::step(Shared& s, Current& c)
{
    std::shared_ptr<SoundFeed> feed;
    std::uint64_t run;
    bool quit;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        quit = s.quit;
        feed = quit ? nullptr : s.feed;
        run = s.run;
    }
    if (c.stream && (c.feed != feed || c.broken || c.lost)) {
        close(s, c, quit);
        return true;
    }
    if (!c.stream) {
        if (!feed || feed == c.spent || Clock::now() < c.retryAt)
            return false;
        open(s, c, feed);
        return true;
    }
    if (run != c.run) {
        if (run != 0)
            startRun(s, c, run);
        else
            hold(s, c);
        c.run = run;
        return true;
    }
    return false;
}

template <class Call>
bool StreamThread::streamCall(Current& c, const char* doing, Call call)
{
    const Clock::time_point began = Clock::now();
    try {
        call();
        return true;
    } catch (const std::exception& error) {
        const bool hung = Clock::now() - began > hungAfter;
        qWarning() << "[StreamThread]" << doing << "the stream failed" << (hung ? "after a long wait:" : ":")
                   << error.what();
        c.lost = c.lost || hung;
        c.broken = true;
        return false;
    }
}

void StreamThread::open(Shared& s, Current& c, const std::shared_ptr<SoundFeed>& feed)
{
    // Should this fail, the next try is a second away.
    c.retryAt = Clock::now() + retryAfter;
    c.outputInUse = true;
    // A look that found nothing lets the output go: the next one looks
    // afresh (a server that has come back since).
    try {
        if (!s.output->hasOutputDevice()) {
            letGo(s, c);
            s.tell(Step::NoDevice, feed->id(), 0);
            return;
        }
        c.stream = s.output->openStream(feed);
        feed->playAt(c.stream->rate());
    } catch (const FormatRefused& refusal) {
        qWarning() << "[StreamThread] the sound output refused the stream:" << refusal.what();
        letGo(s, c);
        s.tell(Step::Refused, feed->id(), 0, refusal.what());
        return;
    } catch (const std::exception& error) {
        qWarning() << "[StreamThread] opening a stream failed:" << error.what();
        c.stream.reset();
        letGo(s, c);
        s.tell(Step::OpenFailed, feed->id(), 0);
        return;
    }
    c.feed = feed;
    c.run = 0;
    c.started = c.broken = c.lost = false;
    if (!streamCall(c, "starting", [&c] { c.stream->start(); })) {
        s.tell(Step::OpenFailed, feed->id(), 0);
        return;
    }
    c.started = true;
    c.lookedAt = Clock::now();
    c.retryAt = Clock::time_point();
    s.tell(Step::Opened, feed->id(), 0);
}

void StreamThread::startRun(Shared& s, Current& c, std::uint64_t run)
{
    // Sound queued for the run before is dropped.
    if (!streamCall(c, "starting again", [&c, run] { c.stream->startRun(*c.feed, run); })) {
        s.tell(Step::Lost, c.feed->id(), run);
        return;
    }
    s.tell(Step::Started, c.feed->id(), run);
}

void StreamThread::hold(Shared& s, Current& c)
{
    if (!streamCall(c, "holding", [&c] { c.stream->hold(); })) {
        s.tell(Step::Lost, c.feed->id(), 0);
        return;
    }
    s.tell(Step::Held, c.feed->id(), 0);
}

void StreamThread::close(Shared& s, Current& c, bool quitting)
{
    c.lost = c.lost || endedByOutput(c);
    // A stream that no longer calls back may be one whose server is going:
    // its output says so in a moment, and then it is not closed (PortAudio's
    // JACK host API ends the process closing one its server has left). As
    // the player goes, such a stream is left as it is at once.
    const auto silent = [&c] {
        return c.started && !c.feed->endedStream() && Clock::now() - c.feed->calledAt() > silentFor;
    };
    // The player may go while the output is given its moment.
    const auto quit = [&s, quitting] {
        std::lock_guard<std::mutex> lock(s.mutex);
        return quitting || s.quit;
    };
    const Clock::time_point giveUp = Clock::now() + endingGrace;
    while (!c.lost && silent() && !quit() && Clock::now() < giveUp) {
        std::this_thread::sleep_for(milliseconds(20));
        c.lost = endedByOutput(c);
    }
    c.lost = c.lost || (quit() && silent());
    if (!c.lost && streamCall(c, "closing", [&c] { c.stream->close(); }))
        c.stream.reset();
    if (c.stream && c.lost)
        s.output->lose(std::move(c.stream));
    // A close that failed at once leaves nothing to close again.
    c.stream.reset();
    if (c.started)
        c.spent = c.feed;
    c.feed.reset();
    c.run = 0;
    // The sound system is held only while a stream runs, watched: one whose
    // server went while nothing watched it may end the process as it is let
    // go (PortAudio's JACK host API does). The next look is a fresh one.
    letGo(s, c);
}

void StreamThread::letGo(Shared& s, Current& c)
{
    if (!c.outputInUse)
        return;
    c.outputInUse = false;
    try {
        s.output->letGo();
    } catch (const std::exception& error) {
        qWarning() << "[StreamThread] letting the sound output go failed:" << error.what();
    }
}

bool StreamThread::endedByOutput(Current& c)
{
    if (!c.started || c.broken)
        return false;
    try {
        if (c.stream->isActive() || c.feed->endedStream())
            return false;
    } catch (const std::exception&) {
        return false; // the sound system is held elsewhere: later
    }
    qWarning() << "[StreamThread] the sound output ended the stream by itself: it is lost";
    return true;
}

void StreamThread::look(Shared& s, Current& c)
{
    const Clock::time_point now = Clock::now();
    if (!c.stream || c.lost || now < c.lookedAt + lookEvery)
        return;
    c.lookedAt = now;
    if (!endedByOutput(c))
        return;
    c.lost = true;
    s.tell(Step::Lost, c.feed->id(), c.run);
}

} // namespace Multimedia
