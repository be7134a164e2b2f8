#include "multimedia/SoundFeed.h"

#include "multimedia/SoundReader.h"

#include "audio/DTAudioFilterAmplify.h"
#include "media/DTAudioData.h"
#include "media/DTMediaSettings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Multimedia {

namespace {

const int outputChannels = SoundReader::channels;
const std::size_t outputFrameBytes = outputChannels * sizeof(float);

std::atomic<std::uint64_t> feedsMade{0};

// Stream frames a resampling callback keeps converted beyond those it
// writes, so that the resampler's delay and rounding never leave a frame
// short.
const unsigned long resampledCushion = 128;

kestrel::audio_convert_ptr resamplerTo(double rate)
{
    if (rate == double(SoundReader::rate))
        return kestrel::audio_convert_ptr();
    const kestrel::audio_format_ptr reader = SoundReader::format();
    const kestrel::audio_format_ptr stream = kestrel::audio_format::create(
        int(std::lround(rate)), reader->sample_format(), reader->channels(), reader->channel_layout());
    return kestrel::create_audio_convert(stream.get(), reader.get());
}

void pushSilence(kestrel::audio_buffer& into, unsigned long frames)
{
    if (frames > 0)
        into.push_back(kestrel::create_silence_frames(*SoundReader::format(), static_cast<unsigned int>(frames)).get());
}

void writeSilence(float* output, unsigned long fromFrame, unsigned long frames)
{
    if (output && fromFrame < frames)
        std::fill(output + fromFrame * outputChannels, output + frames * outputChannels, 0.0f);
}

kestrel::media_settings_ptr gainOf(int percent)
{
    return kestrel::media_settings::create<double>("gain", percent / 100.0);
}

} // namespace

double SoundFeed::RunStart::at(Clock::time_point now) const
{
    if (!since)
        return static_cast<double>(ms);
    return static_cast<double>(ms) + std::chrono::duration<double, std::milli>(now - *since).count();
}

SoundFeed::SoundFeed(SoundReader& reader, int volume, std::function<void()> endOfSound)
    : id_(++feedsMade),
      filter_(kestrel::audio_filter_amplify::create(SoundReader::format().get())),
      rate_(SoundReader::rate),
      appliedVolume_(volume),
      volume_(volume),
      reader_(&reader),
      endOfSound_(std::move(endOfSound))
{
    filter_->set_params(gainOf(volume));
}

void SoundFeed::wantRun(std::uint64_t run, const RunStart& start)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (wanted_ != 0 && run != wanted_) {
        if (progress_.counted) {
            stopped_ = progress_;
            stoppedRun_ = wanted_;
        } else if (!resumes()) {
            // Never heard, it leaves the sound where it was to start.
            Progress standing;
            standing.startMs = start_.at(Clock::now());
            stopped_ = standing;
            stoppedRun_ = 0;
        }
    }
    wanted_ = run;
    start_ = start;
    progress_ = Progress();
    // What the resampler holds is of the run before.
    if (toStream_)
        toStream_ = resamplerTo(rate_);
}

void SoundFeed::runFree(const RunStart& start)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!progress_.counted)
        start_ = start;
}

void SoundFeed::setVolume(int percent)
{
    volume_.store(percent);
}

SoundFeed::Progress SoundFeed::progress() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

std::optional<double> SoundFeed::stoppedMs() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopped_)
        return std::nullopt;
    return stoppedAt();
}

bool SoundFeed::takeRanDry()
{
    std::lock_guard<std::mutex> lock(mutex_);
    const bool ranDry = progress_.ranDry;
    progress_.ranDry = false;
    return ranDry;
}

bool SoundFeed::readyToPlay(unsigned long frames) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return reader_ && wanted_ != 0 && wanted_ == begun_ && reader_->ready(frames);
}

void SoundFeed::detach()
{
    std::lock_guard<std::mutex> lock(mutex_);
    reader_ = nullptr;
    endOfSound_ = nullptr;
}

void SoundFeed::playAt(double rate)
{
    kestrel::audio_convert_ptr resampler = resamplerTo(rate);
    std::lock_guard<std::mutex> lock(mutex_);
    rate_ = rate;
    toStream_ = resampler;
}

void SoundFeed::beginRun(std::uint64_t run)
{
    std::lock_guard<std::mutex> lock(mutex_);
    begun_ = run;
    ended_ = false;
}

void SoundFeed::runHeard(std::uint64_t run, double seconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_ && run != 0 && run == stoppedRun_)
        stopped_->lastTime = std::max(stopped_->lastTime, seconds);
}

bool SoundFeed::soundComing(unsigned long frames) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!reader_ || wanted_ == 0 || wanted_ != begun_ || progress_.ranDry)
        return false;
    return !reader_->ready(static_cast<unsigned long>(std::ceil(double(frames) * SoundReader::rate / rate_)));
}

bool SoundFeed::endedStream() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

SoundFeed::Clock::time_point SoundFeed::calledAt() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return calledAt_;
}

int SoundFeed::streamCallback(const void* /*input*/, void* output, unsigned long frames,
                              const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags /*flags*/)
{
    float* samples = static_cast<float*>(output);
    std::lock_guard<std::mutex> lock(mutex_);
    const Clock::time_point now = Clock::now();
    calledAt_ = now;
    if (!reader_) {
        writeSilence(samples, 0, frames);
        ended_ = true;
        return paAbort;
    }
    if (wanted_ == 0 || wanted_ != begun_ || progress_.ranDry) {
        writeSilence(samples, 0, frames);
        return paContinue;
    }
    const double streamTime = timeInfo ? timeInfo->currentTime : 0.0;
    if (!progress_.counted) {
        const bool resuming = resumes();
        progress_.startMs = resuming ? stoppedAt() : start_.at(now);
        progress_.counted = true;
        progress_.firstTime = progress_.lastTime = streamTime;
        // The playhead stands past where the sound stopped by what was
        // taken and never heard.
        if (resuming)
            reader_->rewind(progress_.startMs);
        reader_->catchUp(progress_.startMs);
    }
    // A host's stream time is an estimate (JACK's, from its cycles) that
    // may step back a little when a cycle comes late; the sound played only
    // moves on, and so does the time shown.
    progress_.lastTime = std::max(progress_.lastTime, streamTime);
    progress_.lastAt = now;
    try {
        const Filled filled = toStream_ ? fillResampled(samples, frames) : fill(samples, frames);
        if (filled.written < frames && filled.ended)
            return ranDry(filled.failed ? paAbort : paComplete);
        return paContinue;
    } catch (...) {
        writeSilence(samples, 0, frames);
        return ranDry(paAbort);
    }
}

bool SoundFeed::resumes() const
{
    return start_.whereStopped && !start_.since && stopped_;
}

double SoundFeed::stoppedAt() const
{
    return stopped_->startMs + (stopped_->lastTime - stopped_->firstTime) * 1000.0;
}

int SoundFeed::ranDry(int result)
{
    progress_.ranDry = true;
    ended_ = true;
    if (endOfSound_)
        endOfSound_();
    return result;
}

kestrel::audio_data_ptr SoundFeed::amplified(const SoundReader::Taken& taken)
{
    const unsigned int available = taken.sound ? taken.sound->samples() : 0;
    if (available == 0)
        return kestrel::audio_data_ptr();
    applyVolume();
    filter_->push_back(taken.sound.get());
    return filter_->pop(available);
}

SoundFeed::Filled SoundFeed::fill(float* output, unsigned long frames)
{
    const SoundReader::Taken taken = reader_->take(frames);
    writeSilence(output, 0, taken.silentBefore);
    Filled filled{taken.silentBefore, taken.ended, taken.failed};
    if (const kestrel::audio_data_ptr block = amplified(taken)) {
        const std::size_t bytes = std::min<std::size_t>(block->size(), (frames - filled.written) * outputFrameBytes);
        std::memcpy(output + filled.written * outputChannels, block->data(), bytes);
        filled.written += static_cast<unsigned long>(bytes / outputFrameBytes);
    }
    writeSilence(output, filled.written, frames);
    return filled;
}

SoundFeed::Filled SoundFeed::fillResampled(float* output, unsigned long frames)
{
    Filled filled;
    const unsigned long held = toStream_->size();
    if (held < frames + resampledCushion) {
        // The reader's frames for what is missing, the silence it gives
        // converted with its sound so that its playhead keeps to the stream.
        const auto asked = static_cast<unsigned long>(
            std::ceil(double(frames + resampledCushion - held) * SoundReader::rate / rate_));
        const SoundReader::Taken taken = reader_->take(asked);
        filled.ended = taken.ended;
        filled.failed = taken.failed;
        pushSilence(*toStream_, taken.silentBefore);
        unsigned long given = taken.silentBefore;
        if (const kestrel::audio_data_ptr block = amplified(taken)) {
            toStream_->push_back(block.get());
            given += block->samples();
        }
        if (!taken.ended)
            pushSilence(*toStream_, asked - std::min(asked, given));
    }
    const kestrel::audio_data_ptr converted = toStream_->pop(static_cast<unsigned int>(frames));
    const std::size_t bytes = std::min<std::size_t>(converted->size(), frames * outputFrameBytes);
    if (bytes > 0)
        std::memcpy(output, converted->data(), bytes);
    filled.written = static_cast<unsigned long>(bytes / outputFrameBytes);
    writeSilence(output, filled.written, frames);
    return filled;
}

void SoundFeed::applyVolume()
{
    const int wanted = volume_.load();
    if (wanted == appliedVolume_)
        return;
    filter_->set_params(gainOf(wanted));
    appliedVolume_ = wanted;
}

} // namespace Multimedia
