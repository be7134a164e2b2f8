// The command-line show maker run as a user runs it, on a folder where some
// photos cannot be read.

#include "support/MediaProbe.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace kestrel::test;

struct finished_run {
    int exit_status = -1; // -1 when the program did not exit by itself
    std::string out;
    std::string err;
};

// `on_out_line` (may be empty) sees each line of standard output as the
// program writes it.
finished_run run_make_show(const std::vector<std::string>& arguments, const TempDir& scratch,
                           const std::function<void(const std::string& line)>& on_out_line = {}) {
    std::vector<std::string> words{MAKE_SHOW_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);

    const std::string out = scratch.file("stdout.txt"), err = scratch.file("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    int pipe_ends[2] = {-1, -1};
    if (on_out_line && pipe2(pipe_ends, O_CLOEXEC) != 0)
        return finished_run();
    if (on_out_line)
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    finished_run run;
    if (on_out_line) {
        close(pipe_ends[1]);
        std::string pending;
        char buffer[4096];
        for (ssize_t got; spawned == 0 && (got = read(pipe_ends[0], buffer, sizeof buffer)) != 0;) {
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            pending.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                run.out += pending.substr(0, end + 1);
                on_out_line(pending.substr(0, end));
            }
        }
        run.out += pending;
        close(pipe_ends[0]);
    }
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child)
        return run;
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!on_out_line)
        run.out = read_file(out);
    run.err = read_file(err);
    return run;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(MakeShowProgram, MakesTheVideoAndNamesEachPhotoLeftOutWithItsReason) {
    TempDir scratch;
    const std::string photos = scratch.file("photos");
    ASSERT_EQ(mkdir(photos.c_str(), 0755), 0);
    jpeg_options small;
    write_file(photos + "/a.jpg", make_jpeg(small));
    small.colour = jpeg_colour::grey;
    write_file(photos + "/b.jpg", make_jpeg(small));
    write_file(photos + "/empty.jpg", "");
    write_file(photos + "/fake.jpg", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const std::string music = scratch.file("music.wav");
    tone_file tone;
    tone.seconds = 2.0;
    make_tone_file(music, tone);
    const std::string video = scratch.file("show.avi");

    // The smallest preset: frames 180 pixels high.
    const finished_run run = run_make_show({photos, music, "windows-simple", video}, scratch);

    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    std::vector<std::string> left_out;
    for (const std::string& line : lines_of(run.err))
        if (line.find("left out") != std::string::npos)
            left_out.push_back(line);
    EXPECT_EQ(left_out, (std::vector<std::string>{
                            "kestrel_make_show: left out: " + photos + "/empty.jpg: empty file",
                            "kestrel_make_show: left out: " + photos + "/fake.jpg: not a JPEG file (it is a PNG)"}));
    const std::vector<std::string> out = lines_of(run.out);
    EXPECT_EQ(std::count(out.begin(), out.end(), "producing: 100 %"), 1) << run.out;
    EXPECT_NE(run.out.find("2 slides, "), std::string::npos) << run.out;

    const media_probe probe = probe_media_file(video);
    const stream_probe* pictures = probe.first(0);
    ASSERT_NE(pictures, nullptr);
    EXPECT_EQ(pictures->height, 180);
    EXPECT_GT(pictures->decoded_frames, 0);
    EXPECT_NE(probe.first(1), nullptr);
}

struct vanishing_photo {
    const char* what;
    std::function<void(const std::string& path)> change;
    const char* reason;
};

void PrintTo(const vanishing_photo& photo, std::ostream* out) { *out << photo.what; }

class MakeShowVanishing : public testing::TestWithParam<vanishing_photo> {};

// The last photo changes once the photos have opened, long before its slide
// is drawn (five slides of 6 s come first): the video is made all the
// same, and the photo is named once with why.
TEST_P(MakeShowVanishing, NamesAPhotoThatCouldNotBeReadWhileTheVideoWasMadeAndExitsZero) {
    TempDir scratch;
    const std::string photos = scratch.file("photos");
    ASSERT_EQ(mkdir(photos.c_str(), 0755), 0);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"})
        write_file(photos + "/" + name, make_jpeg(jpeg_options()));
    const std::string music = scratch.file("music.wav");
    make_tone_file(music, tone_file());
    const std::string video = scratch.file("show.avi");

    bool changed = false;
    const finished_run run =
        run_make_show({photos, music, "windows-simple", video}, scratch, [&](const std::string& line) {
            if (!changed && line.find(" slides, ") != std::string::npos) {
                GetParam().change(photos + "/f.jpg");
                changed = true;
            }
        });

    ASSERT_TRUE(changed) << run.out << run.err;
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    std::vector<std::string> unreadable;
    for (const std::string& line : lines_of(run.err))
        if (line.find("could not be read") != std::string::npos)
            unreadable.push_back(line);
    EXPECT_EQ(unreadable, std::vector<std::string>{"kestrel_make_show: could not be read, shown black: " + photos +
                                                   "/f.jpg: " + GetParam().reason});
    EXPECT_NE(run.out.find("6 slides, "), std::string::npos) << run.out;
    const media_probe probe = probe_media_file(video);
    ASSERT_NE(probe.first(0), nullptr);
    EXPECT_GT(probe.first(0)->decoded_frames, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, MakeShowVanishing,
    testing::Values(vanishing_photo{"deleted", [](const std::string& path) { std::remove(path.c_str()); },
                                    "not found"},
                    vanishing_photo{"replaced", [](const std::string& path) {
                                        write_file(path, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
                                    },
                                    "not a JPEG file (it is a PNG)"}),
    [](const testing::TestParamInfo<vanishing_photo>& info) { return std::string(info.param.what); });

} // namespace
