#pragma once
// A sound card for tests: the audio player opens fake streams on it, and
// the test runs their callbacks one at a time, on a thread of their own,
// with the stream time it chooses (pump), each once the player's sound is
// read ahead for it (waiting 5 s at most). It keeps PortAudio's rules: a
// stream that its callback ended is neither active nor stopped, and starting
// a stream that is not stopped fails. Installed as the factory of every
// audio player constructed while it lives.

#include "multimedia/AudioOutput.h"
#include "multimedia/AudioPlayer.h"

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace Multimedia {
namespace test {

class FakeAudioStream;

struct FakeSoundCard {
    FakeSoundCard();
    ~FakeSoundCard();
    FakeSoundCard(const FakeSoundCard&) = delete;
    FakeSoundCard& operator=(const FakeSoundCard&) = delete;

    bool hasDevice = true;
    bool failOpen = false;
    bool failStart = false;
    int opened = 0;
    int started = 0;
    int stopped = 0;
    int aborted = 0;
    int closed = 0;
    FakeAudioStream* stream = nullptr; // the one open now
};

class FakeAudioStream : public AudioStream {
public:
    FakeAudioStream(FakeSoundCard& card, AudioPlayer& player) : card_(card), player_(player)
    {
        card_.stream = this;
    }
    ~FakeAudioStream() override
    {
        if (card_.stream == this)
            card_.stream = nullptr;
    }

    void start() override
    {
        if (card_.failStart)
            throw std::runtime_error("the fake refuses to start");
        if (!stopped_)
            throw std::logic_error("stream is not stopped");
        ++card_.started;
        stopped_ = false;
        active_ = true;
    }
    void stop() override
    {
        ++card_.stopped;
        stopped_ = true;
        active_ = false;
    }
    void abort() override
    {
        ++card_.aborted;
        stopped_ = true;
        active_ = false;
    }
    void close() override
    {
        ++card_.closed;
        active_ = false;
    }
    bool isActive() const override { return active_; }
    bool isStopped() const override { return stopped_; }

    // One callback of `frames` frames at stream time `seconds`, run on a
    // thread of its own; -1 when the stream is not active. The samples land
    // in `output` (interleaved stereo) when given. `waitForSound` false
    // calls back at once, as a real card does, whatever is read ahead.
    int pump(unsigned long frames, double seconds, std::vector<float>* output = nullptr, bool waitForSound = true)
    {
        if (!active_)
            return -1;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(waitForSound ? 5 : 0);
        while (!player_.soundReady(frames) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::vector<float> samples(frames * 2, -2.0f);
        int result = -1;
        std::thread sound([&] { result = callback(samples.data(), frames, seconds); });
        sound.join();
        if (output)
            *output = samples;
        return result;
    }

private:
    int callback(float* samples, unsigned long frames, double seconds)
    {
        PaStreamCallbackTimeInfo time{};
        time.currentTime = seconds;
        const int result = player_.streamCallback(nullptr, samples, frames, &time, 0);
        if (result != paContinue)
            active_ = false;
        return result;
    }

    FakeSoundCard& card_;
    AudioPlayer& player_;
    bool active_ = false; // changed by the callback only while pump waits
    bool stopped_ = true;
};

class FakeAudioOutput : public AudioOutput {
public:
    explicit FakeAudioOutput(FakeSoundCard& card) : card_(card) {}

    bool hasOutputDevice() const override { return card_.hasDevice; }
    std::unique_ptr<AudioStream> openStream(AudioPlayer& player) override
    {
        if (card_.failOpen)
            throw std::runtime_error("the fake refuses to open");
        ++card_.opened;
        return std::make_unique<FakeAudioStream>(card_, player);
    }

private:
    FakeSoundCard& card_;
};

inline FakeSoundCard::FakeSoundCard()
{
    setAudioOutputFactory([this] { return std::make_unique<FakeAudioOutput>(*this); });
}

inline FakeSoundCard::~FakeSoundCard()
{
    setAudioOutputFactory(AudioOutputFactory());
}

} // namespace test
} // namespace Multimedia
