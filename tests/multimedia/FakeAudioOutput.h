#pragma once
// A sound card for tests: a player's stream thread opens fake streams on
// it, and the test runs their callbacks one at a time, on a thread of their
// own, with the stream time it chooses (pump). It keeps PortAudio's rules:
// starting a stream that is not stopped fails, and a stream that its
// callback ended is no longer active. It can go as a sound server does
// (goAway): no callback comes any more, a new stream cannot be opened, and
// every call into a stream hangs until the card comes back (at most
// hangBound); a server that ended leaves its streams inactive, one that
// hangs leaves them seeming to run. Installed as the
// factory of every audio player constructed while it lives. What it knows
// is shared with its outputs and streams, which a stream thread left
// hanging may keep after the card has gone.

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

    std::atomic<bool> hasDevice{true};
    std::atomic<bool> failOpen{false};
    std::atomic<bool> failStart{false};
    std::atomic<bool> gone{false};  // no callback, no opening
    std::atomic<bool> ended{false}; // no stream active
    std::atomic<int> opened{0}, started{0}, stopped{0}, aborted{0}, closed{0}, lost{0};

    std::mutex mutex; // guards the rest
    std::condition_variable back;
    bool hanging = false;
    int hung = 0; // calls hanging now
    std::weak_ptr<FakeAudioStream> stream; // the one opened last
    std::vector<std::unique_ptr<AudioStream>> lostStreams;

    // While the card hangs, until it comes back or hangBound has passed.
    void hangHere()
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!hanging)
            return;
        ++hung;
        back.wait_for(lock, hangBound, [this] { return !hanging; });
        --hung;
    }
};

class FakeAudioStream {
public:
    // The card outlives its streams: its outputs and the card itself hold them.
    FakeAudioStream(FakeCard& card, std::shared_ptr<SoundFeed> feed) : card_(card), feed_(std::move(feed))
    {
    }

    void start()
    {
        card_.hangHere();
        if (card_.failStart)
            throw std::runtime_error("the fake refuses to start");
        if (!stopped_)
            throw std::logic_error("stream is not stopped");
        ++card_.started;
        stopped_ = false;
        active_ = true;
    }
    void stop()
    {
        card_.hangHere();
        ++card_.stopped;
        stopped_ = true;
        active_ = false;
    }
    void abort()
    {
        card_.hangHere();
        ++card_.aborted;
        stopped_ = true;
        active_ = false;
    }
    void close()
    {
        card_.hangHere();
        ++card_.closed;
        active_ = false;
        closed_ = true;
    }
    bool isActive() const { return active_ && !card_.ended; }
    bool isClosed() const { return closed_; }
    // A callback of `frames` frames now would play sound of the run wanted.
    bool ready(unsigned long frames) const { return isActive() && feed_->readyToPlay(frames); }

    // One callback of `frames` frames at stream time `seconds`, run on a
    // thread of its own; -1 when the stream is not active or the card has
    // gone. The samples land in `output` (interleaved stereo) when given.
    // First it waits (5 s at most) for the stream thread to start the run
    // the player wants and for its sound to be read ahead; `waitForSound`
    // false calls back at once, as a real card does.
    int pump(unsigned long frames, double seconds, std::vector<float>* output = nullptr, bool waitForSound = true)
    {
        if (card_.gone)
            return -1;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(waitForSound ? 5 : 0);
        while (!ready(frames) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!isActive())
            return -1;
        std::vector<float> samples(frames * 2, -2.0f);
        PaStreamCallbackTimeInfo time{};
        time.currentTime = seconds;
        int result = -1;
        std::thread sound([&] { result = feed_->streamCallback(nullptr, samples.data(), frames, &time, 0); });
        sound.join();
        if (result != paContinue)
            active_ = false;
        if (output)
            *output = samples;
        return result;
    }

private:
    FakeCard& card_;
    const std::shared_ptr<SoundFeed> feed_;
    std::atomic<bool> active_{false};
    std::atomic<bool> stopped_{true};
    std::atomic<bool> closed_{false};
};

// What the stream thread holds: closes the stream on its destruction, as
// PortAudio's binding does.
class FakeStreamHandle : public AudioStream {
public:
    explicit FakeStreamHandle(std::shared_ptr<FakeAudioStream> stream) : stream_(std::move(stream)) {}
    ~FakeStreamHandle() override
    {
        if (!stream_->isClosed())
            stream_->close();
    }
    void start() override { stream_->start(); }
    void stop() override { stream_->stop(); }
    void abort() override { stream_->abort(); }
    void close() override { stream_->close(); }
    bool isActive() const override { return stream_->isActive(); }

private:
    const std::shared_ptr<FakeAudioStream> stream_;
};

class FakeAudioOutput : public AudioOutput {
public:
    explicit FakeAudioOutput(std::shared_ptr<FakeCard> card) : card_(std::move(card)) {}

    bool hasOutputDevice() override { return card_->hasDevice; }
    std::unique_ptr<AudioStream> openStream(const std::shared_ptr<SoundFeed>& feed) override
    {
        if (card_->failOpen || card_->gone)
            throw std::runtime_error("the fake refuses to open");
        ++card_->opened;
        auto stream = std::make_shared<FakeAudioStream>(*card_, feed);
        std::lock_guard<std::mutex> lock(card_->mutex);
        card_->stream = stream;
        return std::make_unique<FakeStreamHandle>(stream);
    }
    void lose(std::unique_ptr<AudioStream> stream) override
    {
        ++card_->lost;
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

    // The stream opened last, while it is open; else null.
    std::shared_ptr<FakeAudioStream> stream() const
    {
        std::lock_guard<std::mutex> lock(card->mutex);
        const std::shared_ptr<FakeAudioStream> last = card->stream.lock();
        return last && !last->isClosed() ? last : nullptr;
    }
    // One callback of the stream open now, as FakeAudioStream::pump does,
    // once there is one (5 s at most; with `waitForSound`, one that would
    // play the run wanted, rather than one about to be closed); -1 without.
    int pump(unsigned long frames, double seconds, std::vector<float>* output = nullptr, bool waitForSound = true)
    {
        if (!waitFor([&] { return stream() && (!waitForSound || stream()->ready(frames)); }))
            return -1;
        return stream()->pump(frames, seconds, output, waitForSound);
    }
    // Its server stops answering: no callback comes, no stream opens, and
    // every call into a stream hangs until it answers again. `ended`: the
    // server has gone, and its streams are no longer active; else they
    // seem to run.
    void goAway(bool ended)
    {
        card->gone = true;
        card->ended = ended;
        std::lock_guard<std::mutex> lock(card->mutex);
        card->hanging = true;
    }
    // Its server answers again, and the calls hanging return.
    void comeBack()
    {
        card->gone = false;
        card->ended = false;
        std::lock_guard<std::mutex> lock(card->mutex);
        card->hanging = false;
        card->back.notify_all();
    }
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
    std::atomic<bool>& failStart = card->failStart;
    const std::atomic<int>& opened = card->opened;
    const std::atomic<int>& started = card->started;
    const std::atomic<int>& stopped = card->stopped;
    const std::atomic<int>& aborted = card->aborted;
    const std::atomic<int>& closed = card->closed;
    const std::atomic<int>& lost = card->lost;
};

} // namespace test
} // namespace Multimedia
