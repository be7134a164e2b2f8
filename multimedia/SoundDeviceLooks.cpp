#include "multimedia/SoundDeviceLooks.h"

#include "multimedia/PortAudioOutput.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Multimedia {

namespace {

using Clock = std::chrono::steady_clock;

// After a change, each look is made afresh for this long: a server's
// socket comes a moment before the server takes clients.
const std::chrono::seconds settling(3);

std::string environmentOr(const char* name, const std::string& otherwise)
{
    const char* value = std::getenv(name);
    return value && *value ? value : otherwise;
}

// The standard streams of the process go to a memory file while it lives;
// text() is what was written meanwhile.
class KeptBack {
public:
    KeptBack() : memory_(::memfd_create("sound-look", MFD_CLOEXEC))
    {
        std::fflush(stdout);
        std::fflush(stderr);
        if (memory_ < 0)
            return;
        for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
            kept_[stream - STDOUT_FILENO] = ::dup(stream);
            ::dup2(memory_, stream);
        }
    }
    ~KeptBack()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
            int& kept = kept_[stream - STDOUT_FILENO];
            if (kept >= 0) {
                ::dup2(kept, stream);
                ::close(kept);
            }
        }
        if (memory_ >= 0)
            ::close(memory_);
    }
    KeptBack(const KeptBack&) = delete;
    KeptBack& operator=(const KeptBack&) = delete;

    std::string text() const
    {
        std::fflush(stdout);
        std::fflush(stderr);
        std::string written;
        char bytes[4096];
        for (off_t at = 0;;) {
            const ssize_t count = ::pread(memory_, bytes, sizeof bytes, at);
            if (count <= 0)
                return written;
            written.append(bytes, std::size_t(count));
            at += count;
        }
    }

private:
    const int memory_;
    int kept_[2] = {-1, -1};
};

} // namespace

constexpr std::chrono::seconds SoundDeviceLooks::lookAgainAfter;

SoundDeviceLooks::SoundDeviceLooks()
{
    const std::string user = std::to_string(::getuid());
    const std::string runtime = environmentOr("XDG_RUNTIME_DIR", "/run/user/" + user);
    // JACK's server listens on /dev/shm/jack_<server>_<user>_0; PortAudio
    // meets the default server alone.
    signPaths_ = {
        "/dev/snd",
        "/dev/shm/jack_" + environmentOr("JACK_DEFAULT_SERVER", "default") + "_" + user + "_0",
        runtime + "/pulse/native",
        runtime + "/pipewire-0",
        environmentOr("HOME", "/") + "/.asoundrc",
        "/etc/asound.conf",
    };
}

std::string SoundDeviceLooks::signs() const
{
    std::string signs;
    for (const std::string& path : signPaths_) {
        struct stat status = {};
        if (::stat(path.c_str(), &status) != 0) {
            signs += "-;";
            continue;
        }
        signs += std::to_string(status.st_ino) + "@" + std::to_string(status.st_mtim.tv_sec) + "." +
                 std::to_string(status.st_mtim.tv_nsec) + ";";
    }
    return signs;
}

bool SoundDeviceLooks::look(PortAudioOutput& output)
{
    if (found_)
        return output.hasOutputDevice();
    const Clock::time_point now = Clock::now();
    const std::string signsNow = signs();
    if (looked_ && signsNow != signsSeen_)
        changedAt_ = now;
    signsSeen_ = signsNow;
    const bool fresh = !looked_ || signsNow != signsLooked_ || now - changedAt_ < settling ||
                       now - lookedAt_ >= lookAgainAfter;
    if (!fresh)
        return false;
    signsLooked_ = signsNow;
    return lookAfresh(output);
}

bool SoundDeviceLooks::lookAfresh(PortAudioOutput& output)
{
    lookedAt_ = Clock::now();
    looked_ = true;
    std::string said;
    std::exception_ptr failure;
    {
        const KeptBack keptBack;
        try {
            output.letGo();
            found_ = output.hasOutputDevice();
        } catch (...) {
            failure = std::current_exception();
            found_ = false;
        }
        said = keptBack.text();
    }
    if (said != said_ && !said.empty())
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, said.data(), said.size());
    said_ = said;
    if (failure)
        std::rethrow_exception(failure);
    return found_;
}

} // namespace Multimedia
