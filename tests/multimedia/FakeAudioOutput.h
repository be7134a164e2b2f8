#pragma once
// A sound card for tests: a player's stream thread opens fake streams on
// it, and the test runs the callbacks of the one open now, one at a time,
// with the stream time it chooses: by hand on a thread of their own (pump),
// or in real time on the test's thread, so that what they play is set
// against the player's clock at once and a callback that waits holds that
// thread (pumpDue). It keeps PortAudio's rules:
// starting a stream that is not stopped fails, and a stream that its
// callback ended is no longer active. It can go as a sound server that
// hangs does (goAway): no callback comes any more, no new stream opens,
// and every call into a stream hangs until the card comes back (at most
// hangBound), while its streams seem to run. Installed as the factory of
// every audio player constructed while it lives. What it knows is shared
// with its outputs and streams, which a stream thread left hanging may
// keep after the card has gone.

#include "multimedia/RunEvents.h"

#include "multimedia/AudioOutputFactory.h"
#include "multimedia/SoundFeed.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace Multimedia {
namespace test {

class FakeAudioStream;

struct FakeCard {
    static constexpr std::chrono::seconds hangBound{5};

    std::atomic<bool> hasDevice{true}, failOpen{false}, refuseFormat{false}, failStart{false};
    std::atomic<int> rate{SoundReader::rate}; // of the streams opened from now on
    std::atomic<bool> gone{false};
    std::atomic<int> opened{0}, started{0}, aborted{0}, closed{0};

    std::mutex mutex; // guards the rest, and every step of a stream
    std::condition_variable back;
    bool hanging = false;
    int hung = 0;                     // calls hanging now
    FakeAudioStream* stream = nullptr; // the one open now
    std::vector<std::unique_ptr<AudioStream>> lostStreams;
};

// Owned by the stream thread; the test reaches it through its card only.
class FakeAudioStream : public AudioStream {
public:
    FakeAudioStream(FakeCard& card, std::shared_ptr<SoundFeed> feed)
        : card_(card), feed_(std::move(feed)), rate_(card.rate)
    {
        card_.stream = this; // the output holds the card's lock
    }
    ~FakeAudioStream() override
    {
        if (!closed_)
            close();
        std::lock_guard<std::mutex> lock(card_.mutex);
        if (card_.stream == this)
            card_.stream = nullptr;
    }

    double rate() const override { return rate_; }
    void start() override
    {
        std::unique_lock<std::mutex> lock = call(card_.started);
        if (card_.failStart)
            throw std::runtime_error("the fake refuses to start");
        if (!stopped_)
            throw std::logic_error("stream is not stopped");
        stopped_ = false;
        active_ = true;
    }
    void abort() override
    {
        const std::unique_lock<std::mutex> lock = call(card_.aborted);
        stopped_ = true;
        active_ = false;
    }
    void close() override
    {
        const std::unique_lock<std::mutex> lock = call(card_.closed);
        active_ = false;
        closed_ = true;
        if (card_.stream == this)
            card_.stream = nullptr;
    }
    bool isActive() const override
    {
        std::lock_guard<std::mutex> lock(card_.mutex);
        return active_;
    }

    // With the card's lock held: whether it runs, and whether a callback of
    // `frames` frames now would play sound of the run wanted.
    bool running() const { return active_; }
    bool ready(unsigned long frames) const { return active_ && feed_->readyToPlay(frames); }
    // With the card's lock held: one callback of `frames` frames at stream
    // time `seconds`, on a thread of its own or the calling one (`inPlace`),
    // into `samples`; -1 when the stream is not active. A callback that
    // ends the stream leaves it inactive.
    int callBack(std::vector<float>& samples, unsigned long frames, double seconds, bool inPlace = false)
    {
        if (!active_)
            return -1;
        PaStreamCallbackTimeInfo time{};
        time.currentTime = seconds;
        int result = -1;
        const auto callback = [&] { result = feed_->streamCallback(nullptr, samples.data(), frames, &time, 0); };
        if (inPlace)
            callback();
        else
            std::thread(callback).join();
        active_ = result == paContinue;
        played_ += frames;
        return result;
    }
    // With the card's lock held: the frames played so far, and whether the
    // next `frames` are due by the wall clock since the stream opened.
    unsigned long played() const { return played_; }
    int playRate() const { return rate_; }
    bool due(unsigned long frames) const
    {
        const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - openedAt_).count();
        return double(played_ + frames) / rate_ <= since;
    }

private:
    // A call into the stream: while the card hangs, until it comes back or
    // hangBound has passed; then counted. The card's lock is held after.
    std::unique_lock<std::mutex> call(std::atomic<int>& count)
    {
        std::unique_lock<std::mutex> lock(card_.mutex);
        ++card_.hung;
        card_.back.wait_for(lock, FakeCard::hangBound, [this] { return !card_.hanging; });
        --card_.hung;
        ++count;
        return lock;
    }

    FakeCard& card_;
    const std::shared_ptr<SoundFeed> feed_;
    const int rate_;
    const std::chrono::steady_clock::time_point openedAt_ = std::chrono::steady_clock::now();
    bool active_ = false, stopped_ = true, closed_ = false; // under the card's lock
    unsigned long played_ = 0;
};

class FakeAudioOutput : public AudioOutput {
public:
    explicit FakeAudioOutput(std::shared_ptr<FakeCard> card) : card_(std::move(card)) {}

    bool hasOutputDevice() override { return card_->hasDevice; }
    std::unique_ptr<AudioStream> openStream(const std::shared_ptr<SoundFeed>& feed) override
    {
        if (card_->failOpen || card_->gone)
            throw std::runtime_error("the fake refuses to open");
        if (card_->refuseFormat)
            throw FormatRefused("the fake takes no such format");
        ++card_->opened;
        std::lock_guard<std::mutex> lock(card_->mutex);
        return std::make_unique<FakeAudioStream>(*card_, feed);
    }
    void lose(std::unique_ptr<AudioStream> stream) override
    {
        std::lock_guard<std::mutex> lock(card_->mutex);
        card_->lostStreams.push_back(std::move(stream));
    }
    void letGo() override {}

private:
    const std::shared_ptr<FakeCard> card_;
};

struct FakeSoundCard {
    FakeSoundCard()
    {
        setAudioOutputFactory([card = card] { return std::make_unique<FakeAudioOutput>(card); });
    }
    ~FakeSoundCard()
    {
        comeBack();
        setAudioOutputFactory(AudioOutputFactory());
    }
    FakeSoundCard(const FakeSoundCard&) = delete;
    FakeSoundCard& operator=(const FakeSoundCard&) = delete;

    // Whether a stream is open, and whether it runs.
    bool streamOpen() const
    {
        std::lock_guard<std::mutex> lock(card->mutex);
        return card->stream;
    }
    bool streamRunning() const
    {
        std::lock_guard<std::mutex> lock(card->mutex);
        return card->stream && card->stream->running();
    }
    // One callback of `frames` frames of the stream open now, at stream
    // time `seconds`; -1 without one, while it is not active or while the
    // card has gone. The samples land in `output` (interleaved stereo) when
    // given. First it waits (5 s at most) for the stream thread to start
    // the run the player wants and for its sound to be read ahead;
    // `waitForSound` false calls back at once, as a real card does.
    int pump(unsigned long frames, double seconds, std::vector<float>* output = nullptr, bool waitForSound = true)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(waitForSound ? 5 : 0);
        std::unique_lock<std::mutex> lock(card->mutex);
        while (!(card->stream && card->stream->ready(frames)) && std::chrono::steady_clock::now() < giveUp) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lock.lock();
        }
        if (!card->stream || card->gone)
            return -1;
        std::vector<float> samples(frames * 2, -2.0f);
        const int result = card->stream->callBack(samples, frames, seconds);
        if (output)
            *output = samples;
        return result;
    }
    // The callbacks of the stream open now that a device would have asked
    // for by now, in real time since it opened (each of `frames` frames at
    // its own stream time), on the calling thread, each buffer and result
    // handed to `heard`; until one is not active or the card has gone.
    void pumpDue(unsigned long frames, const std::function<void(const std::vector<float>&, int)>& heard)
    {
        std::unique_lock<std::mutex> lock(card->mutex);
        while (card->stream && !card->gone && card->stream->due(frames)) {
            std::vector<float> samples(frames * 2, -2.0f);
            const int result = card->stream->callBack(
                samples, frames, double(card->stream->played()) / card->stream->playRate(), true);
            if (result == -1)
                return;
            heard(samples, result);
        }
    }
    void goAway() { hang(true); }
    // The calls hanging return, and the card answers again.
    void comeBack() { hang(false); }
    int hangingCalls() const
    {
        std::lock_guard<std::mutex> lock(card->mutex);
        return card->hung;
    }
    // Runs the window's events until `done` or 5 s have passed.
    static bool waitFor(const std::function<bool()>& done) { return runEventsUntil(done, 5000); }

    const std::shared_ptr<FakeCard> card = std::make_shared<FakeCard>();
    std::atomic<bool>& hasDevice = card->hasDevice;
    std::atomic<bool>& failOpen = card->failOpen;
    std::atomic<bool>& refuseFormat = card->refuseFormat;
    std::atomic<bool>& failStart = card->failStart;
    const std::atomic<int>& opened = card->opened;
    const std::atomic<int>& started = card->started;
    const std::atomic<int>& aborted = card->aborted;
    const std::atomic<int>& closed = card->closed;

private:
    void hang(bool hanging)
    {
        card->gone = hanging;
        std::lock_guard<std::mutex> lock(card->mutex);
        card->hanging = hanging;
        card->back.notify_all();
    }
};

} // namespace test
} // namespace Multimedia
