#include "multimedia/SoundConnection.h"

#include "multimedia/AudioOutput.h"
#include "multimedia/SoundFeed.h"
#include "multimedia/SoundProcess.h"

#include "componentmodel/Descriptors.h"
#include "componentmodel/ProgramLauncher.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Multimedia {

namespace {

using namespace SoundMessages;
using Clock = std::chrono::steady_clock;
using ComponentModel::closeIfOpen;

// The launcher starts the process at once.
const int startBoundMs = 10000;
// A word to the process that cannot be written this long (its input full:
// it no longer reads) ends it.
const std::chrono::milliseconds writeBound(2000);
// The sound is sent in blocks of this many frames, and kept this far ahead
// of what the process played (further when its callbacks take more at a
// time), within what its input holds.
const std::uint64_t blockFrames = 512;
const double leastAheadSeconds = 0.07;
const double mostAheadSeconds = 0.14;

// Writes all of `bytes` to the process's input within writeBound. A
// process that has gone raises SIGPIPE, which this thread blocks: taken
// here.
bool writeAll(int fd, const std::vector<char>& bytes)
{
    if (ComponentModel::writeAll(fd, bytes.data(), bytes.size(), Clock::now() + writeBound))
        return true;
    if (errno == EPIPE) {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        const timespec now{0, 0};
        ::sigtimedwait(&pipe, nullptr, &now);
    }
    return false;
}

// Appends what the process wrote; false once it has ended.
bool readAvailable(int fd, std::vector<char>& into)
{
    char bytes[8192];
    for (;;) {
        const ssize_t count = ::read(fd, bytes, sizeof bytes);
        if (count > 0) {
            into.insert(into.end(), bytes, bytes + count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        return count < 0 && errno == EAGAIN;
    }
}

} // namespace

struct SoundConnection::State {
    ~State()
    {
        for (const int fd : {input, output, process, wake})
            closeIfOpen(fd);
    }

    // Under the lock.
    void kill(const char* why)
    {
        if (!ended && process >= 0)
            ::syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0);
        if (!ended)
            endedWhy = why;
        ended = true;
        answered.notify_all();
        wakeUp();
    }
    void wakeUp()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    }
    // Under the lock: a word of the process.
    void take(const Header& header, const std::vector<char>& payload)
    {
        if (Tell(header.kind) == Tell::Answer) {
            Answer answer;
            std::memcpy(&answer, payload.data(), sizeof answer);
            if (header.tag == startAsked)
                started(answer.value);
            answers[header.tag] = {answer.value, std::string(payload.begin() + sizeof answer, payload.end())};
            answered.notify_all();
            return;
        }
        calledBackAt = Clock::now();
        if (header.tag == epoch && epoch != 0) {
            std::memcpy(&latest, payload.data(), sizeof latest);
            reported = true;
            largestCallback = std::max(largestCallback, latest.frames);
        }
    }
    // Under the lock: the epoch asked for has started, `played` frames of
    // the one before taken by the stream (negative: it failed). The run
    // played there is told where its sound stops before the new epoch is
    // filled.
    void started(std::int32_t played)
    {
        startAsked = 0;
        if (played >= 0 && endedFeed && endedRun != 0)
            endedFeed->runHeard(endedRun, double(played) / rate);
        endedFeed.reset();
        endedRun = 0;
    }
    // Under the lock: frames of the epoch heard by `now`.
    double heard(Clock::time_point now) const
    {
        if (!reported)
            return 0.0;
        const double since = double(steadyNs(now) - latest.heardAtNs) / 1e9;
        return std::clamp(double(latest.before) + since * rate, 0.0, double(latest.after));
    }

    int input = -1, output = -1, process = -1, wake = -1;

    std::mutex mutex; // guards the rest
    std::condition_variable answered;
    std::deque<std::vector<char>> outbox; // asks the pump is to write
    std::map<std::uint64_t, std::pair<int, std::string>> answers;
    std::uint64_t asked = 0;
    std::uint64_t epochs = 0;
    bool ended = false; // the process has ended, or is killed
    std::string endedWhy;
    bool stop = false;  // the pump is to end

    // The stream's rate, its first start, its last callback.
    double rate = 44100.0;
    std::optional<Clock::time_point> startedAt;
    Clock::time_point calledBackAt;
    // Its sound: the feed (none while not fed), the epoch fed and the run
    // begun with it, frames sent, and the process's last word on it.
    std::shared_ptr<SoundFeed> feed;
    std::uint64_t epoch = 0;
    std::uint64_t run = 0;
    std::uint64_t sent = 0;
    bool reported = false;
    Played latest{};
    std::uint32_t largestCallback = 0;
    // The start not answered yet (0: none), and the feed and run of the
    // epoch it ends.
    std::uint64_t startAsked = 0;
    std::shared_ptr<SoundFeed> endedFeed;
    std::uint64_t endedRun = 0;
};

SoundConnection::SoundConnection(const QString& program) : state_(std::make_shared<State>())
{
    QString error;
    const std::optional<ComponentModel::LaunchedProgram> launched =
        ComponentModel::launch(program, program, {QString::fromLatin1(soundProcessOption)}, &error);
    if (!launched)
        throw std::runtime_error("the sound process cannot start: " + error.toStdString());
    State& s = *state_;
    s.input = launched->input;
    s.output = launched->output;
    s.process = ComponentModel::startedProcess(launched->answer, startBoundMs);
    closeIfOpen(launched->answer);
    s.wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (s.process < 0 || s.wake < 0)
        throw std::runtime_error("the sound process did not start");
    ::fcntl(s.input, F_SETFL, ::fcntl(s.input, F_GETFL) | O_NONBLOCK);
    std::thread(&SoundConnection::pump, state_).swap(pump_);
}

SoundConnection::~SoundConnection()
{
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stop = true;
        state_->kill("was let go");
    }
    if (pump_.joinable())
        pump_.join();
}

int SoundConnection::ask(Ask ask, std::chrono::milliseconds bound, const void* payload, std::size_t size)
{
    return call(ask, bound, payload, size, [](State&, std::uint64_t) {});
}

double SoundConnection::open(std::chrono::milliseconds bound)
{
    const int rate = ask(Ask::Open, bound);
    if (rate <= 0)
        throw std::runtime_error("the sound process opened its stream at no rate");
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->rate = rate;
    return rate;
}

int SoundConnection::start(std::shared_ptr<SoundFeed> feed, std::uint64_t run, std::chrono::milliseconds bound)
{
    State& s = *state_;
    std::uint64_t epoch;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        epoch = ++s.epochs;
    }
    // The run begins with the epoch, under the lock the pump sends under:
    // every block of the epoch is of the run, none before it.
    return call(Ask::Start, bound, &epoch, sizeof epoch, [&](State& state, std::uint64_t number) {
        state.startAsked = number;
        state.endedFeed = state.feed;
        state.endedRun = state.run;
        state.feed = std::move(feed);
        state.epoch = epoch;
        state.run = run;
        state.sent = 0;
        state.reported = false;
        if (!state.startedAt)
            state.startedAt = Clock::now();
        if (run != 0 && state.feed)
            state.feed->beginRun(run);
    });
}

void SoundConnection::stopFeeding()
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->feed.reset();
    state_->epoch = 0;
    state_->run = 0;
}

bool SoundConnection::ended() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->ended;
}

bool SoundConnection::callsBack(std::chrono::milliseconds silence) const
{
    State& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    return !s.startedAt || Clock::now() - std::max(*s.startedAt, s.calledBackAt) < silence;
}

void SoundConnection::end()
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->kill("was ended");
}

int SoundConnection::call(Ask ask, std::chrono::milliseconds bound, const void* payload, std::size_t size,
                          const std::function<void(State&, std::uint64_t)>& queued)
{
    State& s = *state_;
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.ended)
        throw std::runtime_error("the sound process " + s.endedWhy);
    const std::uint64_t number = ++s.asked;
    s.outbox.push_back(message(std::uint32_t(ask), number, payload, size));
    queued(s, number);
    s.wakeUp();
    if (!s.answered.wait_for(lock, bound, [&] { return s.answers.count(number) || s.ended; })) {
        s.kill("did not answer in time");
        throw std::runtime_error("the sound process does not answer");
    }
    const auto answer = s.answers.find(number);
    if (answer == s.answers.end())
        throw std::runtime_error("the sound process " + s.endedWhy);
    const auto [value, why] = answer->second;
    s.answers.erase(answer);
    if (value == formatRefused)
        throw FormatRefused(why);
    if (value < 0)
        throw std::runtime_error(why);
    return value;
}

void SoundConnection::pump(const std::shared_ptr<State>& state)
{
    State& s = *state;
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    std::vector<char> received;
    std::vector<float> block(blockFrames * channels);
    for (;;) {
        pollfd watched[2] = {{s.output, POLLIN, 0}, {s.wake, POLLIN, 0}};
        ::poll(watched, 2, 100);
        std::uint64_t wakes;
        [[maybe_unused]] const ssize_t read = ::read(s.wake, &wakes, sizeof wakes);
        const bool running = readAvailable(s.output, received);

        std::deque<std::vector<char>> outbox;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            Header header;
            std::vector<char> payload;
            for (;;) {
                const Taken taken = takeMessage(received, header, payload, fitsTell);
                if (taken == Taken::Broken)
                    s.kill("said what is no word of it");
                if (taken != Taken::Whole)
                    break;
                s.take(header, payload);
            }
            if (!running)
                s.kill("has ended");
            if (s.stop || s.ended)
                break;
            outbox.swap(s.outbox);
        }
        bool written = true;
        for (const std::vector<char>& ask : outbox)
            written = written && writeAll(s.input, ask);
        // The sound ahead, each block made under the lock, of the epoch
        // whose start has been answered (no ask waits).
        while (written) {
            std::vector<char> bytes;
            {
                std::lock_guard<std::mutex> lock(s.mutex);
                const std::uint64_t played = s.reported ? s.latest.after : 0;
                const std::uint64_t queued = s.sent - std::min(s.sent, played);
                const std::uint64_t ahead =
                    std::clamp<std::uint64_t>(2 * s.largestCallback + blockFrames,
                                              std::uint64_t(leastAheadSeconds * s.rate),
                                              std::uint64_t(mostAheadSeconds * s.rate));
                if (!s.feed || s.ended || !s.outbox.empty() || s.startAsked != 0 ||
                    s.sent + blockFrames > played + ahead)
                    break;
                // Enough for the next callback: its word comes before the
                // process needs more.
                if (queued >= std::max<std::uint64_t>(s.largestCallback, blockFrames) &&
                    s.feed->soundComing(blockFrames))
                    break;
                PaStreamCallbackTimeInfo time{};
                time.currentTime = s.heard(Clock::now()) / s.rate;
                const int result = s.feed->streamCallback(nullptr, block.data(), blockFrames, &time, 0);
                bytes = message(std::uint32_t(Ask::Frames), s.epoch, block.data(), block.size() * sizeof(float));
                s.sent += blockFrames;
                if (result != paContinue)
                    s.feed.reset(); // the feed ended the stream
            }
            written = writeAll(s.input, bytes);
        }
        if (!written) {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.kill("does not take what it is sent");
        }
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    s.ended = true;
    s.answered.notify_all();
}

} // namespace Multimedia
