#include "multimedia/SoundConnection.h"

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
const std::uint64_t leastAhead = 3072;
const std::uint64_t mostAhead = 6144;

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
    void kill()
    {
        if (!ended && process >= 0)
            ::syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0);
        ended = true;
        answered.notify_all();
        wakeUp();
    }
    void wakeUp()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    }

    int input = -1, output = -1, process = -1, wake = -1;

    std::mutex mutex; // guards the rest
    std::condition_variable answered;
    std::deque<std::vector<char>> outbox; // asks the pump is to write
    std::map<std::uint64_t, std::pair<int, std::string>> answers;
    std::uint64_t asked = 0;
    std::uint64_t epochs = 0;
    bool ended = false; // the process has ended, or is killed
    bool stop = false;  // the pump is to end

    // The stream's sound: its feed (none while not fed), the epoch fed,
    // frames sent, and the process's last word on it.
    std::shared_ptr<SoundFeed> feed;
    std::uint64_t epoch = 0;
    std::uint64_t sent = 0;
    bool reported = false;
    Played latest{};
    Clock::time_point startedAt;
    std::uint32_t largestCallback = 0;
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
        state_->kill();
    }
    if (pump_.joinable())
        pump_.join();
}

int SoundConnection::ask(Ask ask, std::chrono::milliseconds bound, const void* payload, std::size_t size)
{
    return call(ask, bound, payload, size, [](State&) {});
}

int SoundConnection::start(std::shared_ptr<SoundFeed> feed, std::chrono::milliseconds bound)
{
    State& s = *state_;
    std::uint64_t epoch;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        epoch = ++s.epochs;
    }
    return call(Ask::Start, bound, &epoch, sizeof epoch, [&](State& state) {
        state.feed = std::move(feed);
        state.epoch = epoch;
        state.sent = 0;
        state.reported = false;
        state.startedAt = Clock::now();
    });
}

void SoundConnection::stopFeeding()
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->feed.reset();
    state_->epoch = 0;
}

bool SoundConnection::ended() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->ended;
}

void SoundConnection::end()
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->kill();
}

int SoundConnection::call(Ask ask, std::chrono::milliseconds bound, const void* payload, std::size_t size,
                          const std::function<void(State&)>& queued)
{
    State& s = *state_;
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.ended)
        throw std::runtime_error("the sound process has ended");
    const std::uint64_t number = ++s.asked;
    s.outbox.push_back(message(std::uint32_t(ask), number, payload, size));
    queued(s);
    s.wakeUp();
    if (!s.answered.wait_for(lock, bound, [&] { return s.answers.count(number) || s.ended; })) {
        s.kill();
        throw std::runtime_error("the sound process does not answer");
    }
    const auto answer = s.answers.find(number);
    if (answer == s.answers.end())
        throw std::runtime_error("the sound process has ended");
    const auto [value, why] = answer->second;
    s.answers.erase(answer);
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
        std::shared_ptr<SoundFeed> feed;
        std::uint64_t epoch, sent, ahead;
        double heardAt, heardFrame; // of the process's last callback
        std::uint64_t played;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            Header header;
            std::vector<char> payload;
            while (takeMessage(received, header, payload)) {
                if (Tell(header.kind) == Tell::Answer && payload.size() >= sizeof(Answer)) {
                    Answer answer;
                    std::memcpy(&answer, payload.data(), sizeof answer);
                    s.answers[header.tag] = {answer.value, std::string(payload.begin() + sizeof answer, payload.end())};
                    s.answered.notify_all();
                } else if (Tell(header.kind) == Tell::Played && payload.size() == sizeof(Played) &&
                           header.tag == s.epoch) {
                    std::memcpy(&s.latest, payload.data(), sizeof s.latest);
                    s.reported = true;
                    s.largestCallback = std::max(s.largestCallback, s.latest.frames);
                }
            }
            if (!running || received.size() > sizeBound + sizeof header)
                s.kill();
            if (s.stop || s.ended)
                break;
            outbox.swap(s.outbox);
            feed = s.feed;
            epoch = s.epoch;
            sent = s.sent;
            ahead = std::clamp<std::uint64_t>(2 * s.largestCallback + blockFrames, leastAhead, mostAhead);
            played = s.reported ? s.latest.after : 0;
            heardAt = (s.reported ? double(s.latest.heardAtNs) : double(steadyNs(s.startedAt))) / 1e9;
            heardFrame = s.reported ? double(s.latest.before) : 0.0;
        }
        bool written = true;
        for (const std::vector<char>& ask : outbox)
            written = written && writeAll(s.input, ask);
        // The first sound of a run is given the time it will be heard at,
        // the later ones the time the process last played: the clock
        // stands until the run is heard, then follows the process.
        while (written && feed && sent + blockFrames <= played + ahead) {
            PaStreamCallbackTimeInfo time{};
            time.currentTime = heardAt;
            if (!feed->progress().counted)
                time.currentTime += (double(sent) - heardFrame) / rate;
            const int result = feed->streamCallback(nullptr, block.data(), blockFrames, &time, 0);
            written = writeAll(s.input, message(std::uint32_t(Ask::Frames), epoch, block.data(),
                                                block.size() * sizeof(float)));
            sent += blockFrames;
            if (result != paContinue)
                feed.reset();
        }
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!written)
            s.kill();
        if (epoch != 0 && s.epoch == epoch) {
            s.sent = sent;
            if (!feed)
                s.feed.reset(); // the feed ended the stream
        }
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    s.ended = true;
    s.answered.notify_all();
}

} // namespace Multimedia
