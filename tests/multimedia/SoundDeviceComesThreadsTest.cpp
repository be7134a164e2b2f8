// A preview opened where there is no sound device, through the sound
// process (multimedia/SoundProcess.h): one process keeps looking for a
// device at next to no cost while none comes, the JACK library's
// complaints are said once, Play pressed meanwhile is remembered, and the
// preview plays soon after a JACK server comes. In a test process of its
// own, so that the sound processes' standard error is its own.

#include "multimedia/InChild.h"
#include "multimedia/PlayersJackServer.h"
#include "multimedia/RunEvents.h"
#include "multimedia/ThroughSoundProcess.h"

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"

#include "support/SyntheticShow.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

using Multimedia::Player;
using Multimedia::test::runEventsUntil;

namespace {

// How long no device comes, and how much of a processor the looks may take
// meanwhile; how soon the preview plays once a server is there.
const int absentMs = 3000;
const double lookShare = 0.05;
const qint64 foundBound = 3000;

// The sound processes started so far.
std::vector<pid_t> started(const std::string& starts)
{
    std::vector<pid_t> pids;
    std::istringstream lines(kestrel::test::read_file(starts));
    for (pid_t pid; lines >> pid;)
        pids.push_back(pid);
    return pids;
}

// The processor time these processes have taken, in ms, those that have
// ended left out.
double processorMs(const std::vector<pid_t>& pids)
{
    double ticks = 0.0;
    for (const pid_t pid : pids) {
        const std::string stat = kestrel::test::read_file("/proc/" + std::to_string(pid) + "/stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string before; // the state and ten more fields before the times
        double user = 0.0, system = 0.0;
        for (int i = 0; i < 11; ++i)
            fields >> before;
        fields >> user >> system;
        ticks += user + system;
    }
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

// Counts the opens of the file named `name` in the folder `folder` from
// its making on.
class OpensOf {
public:
    OpensOf(const std::string& folder, std::string name)
        : name_(std::move(name)), watch_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK))
    {
        if (watch_ >= 0)
            ::inotify_add_watch(watch_, folder.c_str(), IN_OPEN);
    }
    ~OpensOf() { ::close(watch_); }
    OpensOf(const OpensOf&) = delete;
    OpensOf& operator=(const OpensOf&) = delete;

    int count()
    {
        alignas(inotify_event) char events[4096];
        for (ssize_t got; (got = ::read(watch_, events, sizeof events)) > 0;)
            for (char* at = events; at < events + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                opens_ += event->len > 0 && name_ == event->name;
                at += sizeof(inotify_event) + event->len;
            }
        return opens_;
    }

private:
    const std::string name_;
    const int watch_;
    int opens_ = 0;
};

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

// Standard error goes to a file while it lives, for the sound processes
// started meanwhile and what they start.
struct ErrorsInto {
    explicit ErrorsInto(const std::string& path)
        : file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600))
    {
        ::dup2(file, STDERR_FILENO);
    }
    ~ErrorsInto()
    {
        ::dup2(kept, STDERR_FILENO);
        ::close(kept);
        ::close(file);
    }
    const int kept = ::dup(STDERR_FILENO);
    const int file;
};

void playOnceADeviceComes(const kestrel::test::TempDir& dir)
{
    const std::string starts = dir.file("starts"), said = dir.file("said");
    const ErrorsInto errors(said);
    ::setenv("LUMIVISTA_TEST_SOUND_STARTS", starts.c_str(), 1);
    ::setenv("HOME", dir.path().c_str(), 1);
    // Named the default server now, started later.
    Multimedia::test::PlayersJackServer server(44100, false);
    const Multimedia::test::ThroughSoundProcess sound;
    Multimedia::VideoSurface surface;
    Multimedia::VideoPlayer player;
    player.setSurface(&surface);
    player.setSource(kestrel::test::make_synthetic_show(kestrel::test::show_spec()));
    if (!runEventsUntil([&] { return player.soundDeviceMissing(); }, 10000))
        return; // this machine has a sound device
    player.play();
    EXPECT_EQ(Player::StopState, player.state());

    // A while without a device: one process looks, at next to no cost.
    const std::vector<pid_t> first = started(starts);
    const double before = processorMs(first);
    runEventsUntil([] { return false; }, absentMs);
    EXPECT_EQ(1u, started(starts).size()) << "a process a look";
    EXPECT_LT(processorMs(first) - before, lookShare * absentMs) << "the looks cost";
    const std::size_t complaints = count(kestrel::test::read_file(said), "jack server is not running");

    // An ALSA configuration that comes is read afresh (an open besides the
    // test's own that made it); the JACK library says nothing new.
    OpensOf configurationOpens(dir.path(), ".asoundrc");
    kestrel::test::write_file(dir.file(".asoundrc"), "# nothing for the preview\n");
    EXPECT_TRUE(runEventsUntil([&] { return configurationOpens.count() > 1; }, 5000))
        << "the configuration was not looked at";
    EXPECT_GT(complaints, 0u);
    EXPECT_EQ(complaints, count(kestrel::test::read_file(said), "jack server is not running"))
        << "the JACK library's complaints said again";

    // The server comes: the preview plays, as Play asked.
    server.start();
    QElapsedTimer found;
    found.start();
    EXPECT_TRUE(runEventsUntil([&] { return player.state() == Player::PlayState; }, 10000))
        << "Play was forgotten, or no device found";
    EXPECT_LT(found.elapsed(), foundBound) << "the device was found late";
    EXPECT_TRUE(runEventsUntil([&] { return player.time() > 300; }, 5000)) << "no sound";
    EXPECT_FALSE(player.soundDeviceMissing());
    EXPECT_EQ(1u, started(starts).size()) << "the process that looked plays";
}

} // namespace

TEST(SoundDeviceComesDeathTest, OneProcessLooksAtLittleCostAndPlayPressedMeanwhilePlaysOnceAServerComes)
{
    skipUnderTheRaceChecker();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::unsetenv("JACK_DEFAULT_SERVER");
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    const kestrel::test::TempDir dir;
    EXPECT_EXIT(Multimedia::test::runInChild([&] {
                    playOnceADeviceComes(dir);
                    // The child made a folder of its own, which its end leaves.
                    std::filesystem::remove_all(dir.path());
                }),
                ::testing::ExitedWithCode(0), "");
}
