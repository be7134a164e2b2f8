// The unfinished video: named in its folder wherever the folder went, never
// replacing unless asked (on file systems without renaming that never
// replaces too), and held under a lock that another process's clean-up
// respects while a killed process's leftover goes.

#include "files/DTUnfinishedVideo.h"

#include "support/LogLines.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

using namespace kestrel;
using namespace kestrel::test;

namespace {

std::string name_of(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool entry_exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

// A process of its own that makes an unfinished video in `folder` and keeps
// it until its pipe closes (or it is killed).
struct video_process {
    pid_t pid = -1;
    int hold = -1;    // closing it lets the process end
    std::string name; // its file's name, empty when it made none

    explicit video_process(const std::string& folder) {
        int named[2], held[2];
        if (::pipe(named) != 0 || ::pipe(held) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::close(named[0]);
            ::close(held[1]);
            {
                unfinished_video video;
                if (video.create(folder) == 0) {
                    const std::string made = name_of(video.writer_path());
                    if (::write(named[1], made.data(), made.size()) < 0)
                        ::_exit(2);
                }
                ::close(named[1]);
                char byte;
                while (::read(held[0], &byte, 1) > 0) {
                }
            }
            ::_exit(0);
        }
        ::close(named[1]);
        ::close(held[0]);
        hold = held[1];
        char buffer[64];
        ssize_t length;
        while ((length = ::read(named[0], buffer, sizeof buffer)) > 0)
            name.append(buffer, static_cast<std::size_t>(length));
        ::close(named[0]);
    }
    // A failed assertion never leaves it waiting.
    ~video_process() {
        if (pid > 0)
            end(true);
    }
    // 0 when it ended by itself.
    int end(bool kill) {
        if (kill)
            ::kill(pid, SIGKILL);
        ::close(hold);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }
};

} // namespace

// What the clean-up of one create() removes: only plain files of the exact
// name whose lock it gets, never one a live process holds.
TEST(UnfinishedVideo, CleanUpRemovesOnlyAbandonedFilesOfTheExactName) {
    TempDir scratch;
    const std::string folder = scratch.path();
    video_process live(folder);
    video_process killed(folder);
    ASSERT_TRUE(unfinished_video::is_unfinished_name(live.name)) << live.name;
    ASSERT_TRUE(unfinished_video::is_unfinished_name(killed.name)) << killed.name;
    EXPECT_NE(killed.end(true), 0);
    ASSERT_TRUE(file_exists(scratch.file(killed.name)));

    enum kind { plain, link, directory, fifo };
    const struct {
        const char* name;
        kind made;
        bool stays;
    } entries[] = {
        {".lumivista-unfinished-0badf00d", plain, false},
        {".lumivista-unfinished-notes", plain, true},
        {".lumivista-unfinished-0BADF00D", plain, true},
        {".lumivista-unfinished-0badf00d1", plain, true},
        {"lumivista-unfinished-0badf00d", plain, true},
        {".lumivista-unfinished-5e1f11a7", link, true},
        {".lumivista-unfinished-d1d1d1d1", directory, true},
        {".lumivista-unfinished-f1f0f1f0", fifo, true},
    };
    write_file(scratch.file("target.mp4"), "a video");
    for (const auto& entry : entries) {
        const std::string path = scratch.file(entry.name);
        switch (entry.made) {
        case plain: write_file(path, "x"); break;
        case link: ASSERT_EQ(::symlink("target.mp4", path.c_str()), 0); break;
        case directory: ASSERT_EQ(::mkdir(path.c_str(), 0755), 0); break;
        case fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); break;
        }
    }

    unfinished_video video;
    ASSERT_EQ(video.create(folder), 0);
    for (const auto& entry : entries)
        EXPECT_EQ(entry_exists(scratch.file(entry.name)), entry.stays) << entry.name;
    EXPECT_EQ(read_file(scratch.file("target.mp4")), "a video");
    EXPECT_TRUE(file_exists(scratch.file(live.name))) << "another session's video while it is written";
    EXPECT_FALSE(entry_exists(scratch.file(killed.name))) << "a killed run's leftover";

    // Once the live one ended, it left nothing.
    EXPECT_EQ(live.end(false), 0);
    EXPECT_FALSE(entry_exists(scratch.file(live.name)));
}

// The video is written through the held folder and named there, whether
// the folder stayed, moved away or went; only a replacing finish takes the
// name of an existing file.
TEST(UnfinishedVideo, FinishingNamesTheFileWhereTheFolderIsNow) {
    enum fate { stays, moved, removed };
    const struct {
        fate folder;
        bool taken;
        bool replacing;
        int error;
    } rows[] = {
        {stays, false, false, 0},     {moved, false, false, 0},    {moved, true, false, EEXIST},
        {moved, true, true, 0},       {removed, false, false, ENOENT},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "fate " << row.folder << " taken " << row.taken << " replacing "
                                        << row.replacing);
        TempDir scratch;
        const std::string out = scratch.file("out"), elsewhere = scratch.file("elsewhere");
        ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
        unfinished_video video;
        ASSERT_EQ(video.create(out), 0);
        const std::string hidden = name_of(video.writer_path());
        std::string now = out;
        if (row.folder == moved) {
            ASSERT_EQ(::rename(out.c_str(), elsewhere.c_str()), 0);
            now = elsewhere;
        } else if (row.folder == removed) {
            ASSERT_EQ(::unlink((out + "/" + hidden).c_str()), 0);
            ASSERT_EQ(::rmdir(out.c_str()), 0);
        }
        // A moved folder is found by the kernel, with its links resolved.
        EXPECT_EQ(video.folder_path(),
                  row.folder == moved ? std::filesystem::canonical(now).string() : now);
        if (row.folder != removed)
            write_file(video.writer_path(), "video");
        if (row.taken)
            write_file(now + "/show.mp4", "old");

        EXPECT_EQ(video.finish_as(""), EINVAL);
        EXPECT_EQ(video.finish_as("sub/show.mp4"), EINVAL);
        EXPECT_EQ(video.finish_replacing(".lumivista-unfinished-00000000"), EINVAL);
        const int error = row.replacing ? video.finish_replacing("show.mp4") : video.finish_as("show.mp4");
        EXPECT_EQ(error, row.error);
        if (row.folder == removed)
            continue;
        EXPECT_EQ(read_file(now + "/show.mp4"), error == 0 ? "video" : "old");
        EXPECT_EQ(file_exists(now + "/" + hidden), error != 0) << "unfinished only while not named";
        video.discard();
        EXPECT_FALSE(file_exists(now + "/" + hidden));
        EXPECT_EQ(video.finish_as("show.mp4"), ENOENT);
    }
}

namespace {

// The file system the naming tests play: no renaming that never replaces,
// and, with `no_links`, no hard links either; with `race`, a file is made
// at the name just as the fallback names the video.
struct played_file_system {
    int rename_error;
    bool no_links;
    bool race;
};
played_file_system playing;

int rename_unsupported(int, const char*, const char*) {
    errno = playing.rename_error;
    return -1;
}

int link_as_played(int folder_fd, const char* from, const char* to) {
    if (playing.race) {
        const int made = ::openat(folder_fd, to, O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (made < 0 || ::write(made, "theirs", 6) != 6)
            return -1;
        ::close(made);
    }
    if (playing.no_links) {
        errno = EPERM;
        return -1;
    }
    return system_unfinished_video_calls().link(folder_fd, from, to);
}

int lock_unsupported(int) {
    errno = ENOLCK;
    return -1;
}

} // namespace

// Where the kernel or the file system cannot rename without replacing, the
// video is named by a second name (or onto an empty file that reserves
// the name) and never replaces a file made at the name meanwhile.
TEST(UnfinishedVideo, WithoutRenamingThatNeverReplacesAFileMadeMeanwhileSurvives) {
    const played_file_system rows[] = {
        {EINVAL, false, false}, {EINVAL, false, true}, {ENOSYS, true, false}, {ENOSYS, true, true}};
    for (const played_file_system& row : rows) {
        SCOPED_TRACE(testing::Message() << "rename errno " << row.rename_error << " no links " << row.no_links
                                        << " race " << row.race);
        playing = row;
        unfinished_video_calls calls = system_unfinished_video_calls();
        calls.rename_noreplace = rename_unsupported;
        calls.link = link_as_played;
        TempDir scratch;
        unfinished_video video(calls);
        ASSERT_EQ(video.create(scratch.path()), 0);
        const std::string hidden = name_of(video.writer_path());
        write_file(video.writer_path(), "video");

        EXPECT_EQ(video.finish_as("show.mp4"), row.race ? EEXIST : 0);
        EXPECT_EQ(read_file(scratch.file("show.mp4")), row.race ? "theirs" : "video");
        EXPECT_EQ(file_exists(scratch.file(hidden)), row.race) << "unfinished only while not named";
        video.discard();
        EXPECT_FALSE(file_exists(scratch.file(hidden)));
    }
}

namespace {

// A process of its own that holds one kind of lock on a file of an
// unfinished video's name, as a session of another kind does, until it is
// killed.
struct lock_holder {
    pid_t pid = -1;
    lock_holder(const std::string& path, bool open_file_description) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
            struct flock whole = {};
            whole.l_type = F_WRLCK;
            whole.l_whence = SEEK_SET;
            const int locked = open_file_description ? ::fcntl(fd, F_OFD_SETLK, &whole) : ::flock(fd, LOCK_EX);
            if (locked == 0 && ::write(ready[1], "x", 1) == 1)
                for (;;)
                    ::pause();
            ::_exit(1);
        }
        ::close(ready[1]);
        char byte;
        if (::read(ready[0], &byte, 1) != 1)
            pid = -1;
        ::close(ready[0]);
    }
    ~lock_holder() { end(); }
    void end() {
        if (pid <= 0)
            return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
};

} // namespace

// A session that holds either kind of lock keeps its file: this kind's
// (of its open file description) and an older run's (flock alone).
TEST(UnfinishedVideo, CleanUpRespectsEitherKindOfLock) {
    TempDir scratch;
    const std::string by_description = scratch.file(".lumivista-unfinished-0000000d");
    const std::string by_flock = scratch.file(".lumivista-unfinished-0000000f");
    lock_holder description(by_description, true), flock(by_flock, false);
    ASSERT_GT(description.pid, 0);
    ASSERT_GT(flock.pid, 0);
    {
        unfinished_video video;
        ASSERT_EQ(video.create(scratch.path()), 0);
    }
    EXPECT_TRUE(file_exists(by_description));
    EXPECT_TRUE(file_exists(by_flock));

    description.end();
    flock.end();
    unfinished_video video;
    ASSERT_EQ(video.create(scratch.path()), 0);
    EXPECT_FALSE(file_exists(by_description)) << "left by a killed run";
    EXPECT_FALSE(file_exists(by_flock)) << "left by a killed run";
}

// Where no lock can be taken, the videos are made all the same, a clean-up
// removes none of them (another session may be writing it) and the log
// says so once. Run in a process of its own: the log says it once a
// process.
TEST(UnfinishedVideo, WithoutLocksNothingIsRemovedAndTheLogSaysSoOnce) {
    TempDir scratch;
    const std::string log = scratch.file("log.txt");
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0)
            ::_exit(2);
        unfinished_video_calls calls = system_unfinished_video_calls();
        calls.lock = lock_unsupported;
        const std::string folder = scratch.file("out");
        ::mkdir(folder.c_str(), 0755);
        unfinished_video first(calls), second(calls);
        if (first.create(folder) != 0 || second.create(folder) != 0)
            ::_exit(3);
        std::cout << "kept " << file_exists(first.writer_path()) << std::endl;
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const std::string said = read_file(log);
    EXPECT_EQ(log_lines_with(said, "no lock can be taken").size(), 1u) << said;
    EXPECT_NE(said.find("kept 1"), std::string::npos) << said;
}
