#include "multimedia/SoundProcess.h"

#include "multimedia/PortAudioOutput.h"
#include "multimedia/SoundDeviceLooks.h"
#include "multimedia/SoundProcessMessages.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace Multimedia {

const char* const soundProcessOption = "--sound-output";

namespace {

using namespace SoundMessages;

// Where the process's words go: its standard output as it started. The
// standard output itself then goes where standard error does, so that
// nothing a sound library prints there is taken for a word.
int wordsOut = STDOUT_FILENO;

// The sound queued to play, of the epoch started last.
struct Queue {
    std::mutex mutex;
    std::deque<float> samples; // interleaved stereo
    std::uint64_t epoch = 0;   // 0: none started
    std::uint64_t taken = 0;   // frames of the epoch played
};

// An ask for the main thread, with the frames of the epoch it ended that
// were played (a Start's answer).
struct Waiting {
    Header header;
    std::uint64_t played;
};

struct Asks {
    std::mutex mutex;
    std::condition_variable came;
    std::deque<Waiting> waiting;
};

// The stream the program asked for.
struct Stream {
    std::unique_ptr<AudioStream> opened;
    bool started = false;
};

// One write, or none when the program does not take it now (a callback
// never waits).
bool tellAtOnce(const std::vector<char>& bytes)
{
    return ::write(wordsOut, bytes.data(), bytes.size()) == ssize_t(bytes.size());
}

void tell(const std::vector<char>& bytes)
{
    for (;;) {
        const ssize_t written = ::write(wordsOut, bytes.data(), bytes.size());
        if (written == ssize_t(bytes.size()))
            return;
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            ::_exit(0); // the program has gone
        pollfd out{wordsOut, POLLOUT, 0};
        ::poll(&out, 1, 100);
    }
}

bool readExactly(void* into, std::size_t size)
{
    char* at = static_cast<char*>(into);
    while (size > 0) {
        const ssize_t count = ::read(STDIN_FILENO, at, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        at += count;
        size -= std::size_t(count);
    }
    return true;
}

int playQueue(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
              PaStreamCallbackFlags, void* queue)
{
    Queue& q = *static_cast<Queue*>(queue);
    float* samples = static_cast<float*>(output);
    Played played{};
    std::uint64_t epoch;
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        const std::size_t count = std::min<std::size_t>(q.samples.size() / channels, frames) * channels;
        std::copy(q.samples.begin(), q.samples.begin() + long(count), samples);
        q.samples.erase(q.samples.begin(), q.samples.begin() + long(count));
        std::fill(samples + count, samples + frames * channels, 0.0f);
        epoch = q.epoch;
        played.before = q.taken;
        q.taken += count / channels;
        played.after = q.taken;
    }
    // How long the buffer waits before it is heard; a host that does not
    // know says 0.
    const double latency = time ? std::clamp(time->outputBufferDacTime - time->currentTime, 0.0, 1.0) : 0.0;
    played.heardAtNs = steadyNs(std::chrono::steady_clock::now()) + std::int64_t(latency * 1e9);
    played.frames = std::uint32_t(frames);
    tellAtOnce(message(std::uint32_t(Tell::Played), epoch, &played, sizeof played));
    return paContinue;
}

// Reads the program's words: sound goes to the queue at once, asks to the
// main thread; the queue follows the asks that change it in their order.
// The end of the input, or words that are none, end the process.
void readAsks(Queue& queue, Asks& asks)
{
    for (;;) {
        Header header;
        if (!readExactly(&header, sizeof header) || header.size > sizeBound)
            ::_exit(0);
        std::vector<char> payload(header.size);
        if (!readExactly(payload.data(), payload.size()))
            ::_exit(0);
        const Ask ask = Ask(header.kind);
        if (ask == Ask::Frames) {
            std::lock_guard<std::mutex> lock(queue.mutex);
            const float* samples = reinterpret_cast<const float*>(payload.data());
            const std::size_t count = payload.size() / (sizeof(float) * channels) * channels;
            if (header.tag == queue.epoch && queue.epoch != 0)
                queue.samples.insert(queue.samples.end(), samples, samples + count);
            continue;
        }
        std::uint64_t played = 0;
        if (ask == Ask::Start || ask == Ask::Abort || ask == Ask::Close) {
            std::lock_guard<std::mutex> lock(queue.mutex);
            // What a callback took is the card's: heard, whatever follows.
            played = queue.taken;
            queue.samples.clear();
            queue.taken = 0;
            queue.epoch = 0;
            if (ask == Ask::Start && payload.size() == sizeof queue.epoch)
                std::memcpy(&queue.epoch, payload.data(), sizeof queue.epoch);
        }
        std::lock_guard<std::mutex> lock(asks.mutex);
        asks.waiting.push_back(Waiting{header, played});
        asks.came.notify_one();
    }
}

// Answers one ask: its value, or throws.
int answer(const Waiting& asked, PortAudioOutput& output, SoundDeviceLooks& looks, Stream& stream,
           const std::shared_ptr<Queue>& queue)
{
    const Ask ask = Ask(asked.header.kind);
    const auto opened = [&stream]() -> AudioStream& {
        if (!stream.opened)
            throw std::runtime_error("no stream is open");
        return *stream.opened;
    };
    switch (ask) {
    case Ask::Look:
        return (stream.opened ? output.hasOutputDevice() : looks.look(output)) ? 1 : 0;
    case Ask::Open:
        if (stream.opened)
            throw std::runtime_error("a stream is open already");
        stream.opened = output.openCallbackStream(&playQueue, queue);
        stream.started = false;
        return int(std::lround(stream.opened->rate()));
    case Ask::Start:
        // A stream runs from its first start on: a new epoch only changes
        // what it plays, at once.
        if (!stream.started)
            opened().start();
        stream.started = true;
        return int(std::min<std::uint64_t>(asked.played, std::numeric_limits<std::int32_t>::max()));
    case Ask::Abort:
        opened().abort();
        stream.started = false;
        return 1;
    case Ask::Close:
        opened().close();
        stream.opened.reset();
        return 1;
    case Ask::IsActive:
        return stream.opened && stream.opened->isActive() ? 1 : 0;
    case Ask::Frames:
        break;
    }
    throw std::runtime_error("unknown ask");
}

} // namespace

int runSoundProcess()
{
    // Signals as a new program has them: the program may have blocked some.
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    wordsOut = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (wordsOut < 0)
        return 1;
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    ::fcntl(wordsOut, F_SETFL, ::fcntl(wordsOut, F_GETFL) | O_NONBLOCK);

    // Never destroyed: the process ends without terminating PortAudio.
    auto* queue = new std::shared_ptr<Queue>(std::make_shared<Queue>());
    auto* asks = new Asks;
    auto* output = new PortAudioOutput;
    auto* looks = new SoundDeviceLooks;
    auto* stream = new Stream;
    std::thread([queue, asks] { readAsks(**queue, *asks); }).detach();
    for (;;) {
        std::unique_lock<std::mutex> lock(asks->mutex);
        asks->came.wait(lock, [asks] { return !asks->waiting.empty(); });
        const Waiting asked = asks->waiting.front();
        asks->waiting.pop_front();
        lock.unlock();
        const Header& header = asked.header;
        Answer reply{failed};
        std::string why;
        try {
            reply.value = answer(asked, *output, *looks, *stream, *queue);
        } catch (const FormatRefused& error) {
            reply.value = formatRefused;
            why = std::string(error.what()).substr(0, textBound);
        } catch (const std::exception& error) {
            why = std::string(error.what()).substr(0, textBound);
        }
        tell(message(std::uint32_t(Tell::Answer), header.tag, &reply, sizeof reply, why.data(), why.size()));
    }
}

} // namespace Multimedia
