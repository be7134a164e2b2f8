// The command-line show maker run as a user runs it: on a folder where some
// photos cannot be read or vanish while it works, stopped by a signal over
// an existing file or while a share does not answer, waiting for a file
// another program holds, given an OUT it may not write, and with its output
// folder moved, removed or full, or its music cut short, while it works.
// And the order in which it takes a folder's photos.

#include "support/HangingShare.h"
#include "support/LeaseHolder.h"
#include "support/MediaProbe.h"
#include "support/MusicFiles.h"
#include "support/NameOrderedPhotos.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include "ShowMaker.h"

#include "files/DTUnfinishedVideo.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace kestrel::test;

struct finished_run {
    int exit_status = -1; // -1 when the program did not exit by itself
    std::string out;
    std::string err;
};

// Started with its output in the scratch folder's stdout.txt (or into
// `output`, when given) and stderr.txt, and `settings` ("NAME=value") added
// to its environment; -1 when it could not be started. A hang-up reaches
// it as from a terminal, even when the tests run under nohup.
pid_t start_make_show(const std::vector<std::string>& arguments, const TempDir& scratch,
                      const std::vector<std::string>& settings = {}, int output = -1) {
    std::vector<std::string> words{MAKE_SHOW_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);

    std::vector<std::string> variables(settings);
    for (char** variable = environ; *variable; ++variable)
        variables.push_back(*variable);
    std::vector<char*> environment;
    for (std::string& variable : variables)
        environment.push_back(&variable[0]);
    environment.push_back(nullptr);

    const std::string out = scratch.file("stdout.txt"), err = scratch.file("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environment.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? child : -1;
}

// Waits for its end: killed when it has not ended after `seconds`.
finished_run wait_for(pid_t child, const TempDir& scratch, int seconds = 60) {
    finished_run run;
    int status = 0;
    pid_t ended = 0;
    const int limit = seconds * 10;
    for (int tenths = 0; child > 0 && ended == 0; ++tenths) {
        if (tenths == limit)
            kill(child, SIGKILL);
        ended = waitpid(child, &status, tenths < limit ? WNOHANG : 0);
        if (ended == 0)
            usleep(100 * 1000);
    }
    if (ended != child)
        return run;
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_file(scratch.file("stdout.txt"));
    run.err = read_file(scratch.file("stderr.txt"));
    return run;
}

finished_run run_make_show(const std::vector<std::string>& arguments, const TempDir& scratch) {
    return wait_for(start_make_show(arguments, scratch), scratch);
}

// Whether the program started in `scratch` printed `text` within `seconds`
// (to standard error with `errors`).
bool wait_for_output(const TempDir& scratch, const std::string& text, bool errors = false, int seconds = 60) {
    for (int tenths = 0; tenths < seconds * 10; ++tenths) {
        if (read_file(scratch.file(errors ? "stderr.txt" : "stdout.txt")).find(text) != std::string::npos)
            return true;
        usleep(100 * 1000);
    }
    return false;
}

// The sanitizer's options of this run, `more` added (the later one wins).
std::string sanitizer_options(const std::string& more) {
    const char* inherited = std::getenv("ASAN_OPTIONS");
    return std::string("ASAN_OPTIONS=") + (inherited ? inherited : "") + ":" + more;
}

// The environment in which a read of `path` hangs once `when` exists (a
// preloaded read(), tests/support/preload), or is answered after `seconds`.
std::vector<std::string> stuck_read_settings(const std::string& path, const std::string& when, int seconds = 0) {
    std::vector<std::string> settings{
        std::string("LD_PRELOAD=") + STUCK_READ_LIBRARY,
        "STUCK_READ_PATH=" + std::filesystem::canonical(path).string(), "STUCK_READ_WHEN=" + when,
        // The sanitizer's run-time library would otherwise insist on coming first.
        sanitizer_options("verify_asan_link_order=0")};
    if (seconds > 0)
        settings.push_back("STUCK_READ_SECONDS=" + std::to_string(seconds));
    return settings;
}

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const char existing_bytes[] = "an older video, kept until a new one is complete";

// A folder of photos, each a copy of one JPEG, and a music file in the
// scratch folder. Each slide adds some 5 s of video; a show of twelve
// takes the maker over a second to make, room enough to change something
// while it works.
struct show_inputs {
    std::string photos;
    std::string music;
};

show_inputs make_inputs(const TempDir& scratch, const std::vector<std::string>& names,
                        const tone_file& tone = tone_file()) {
    show_inputs inputs{scratch.file("photos"), scratch.file("music.wav")};
    mkdir(inputs.photos.c_str(), 0755);
    const std::string photo = make_jpeg(jpeg_options());
    for (const std::string& name : names)
        write_file(inputs.photos + "/" + name, photo);
    make_tone_file(inputs.music, tone);
    return inputs;
}

show_inputs make_inputs(const TempDir& scratch, int photo_count) {
    std::vector<std::string> names;
    for (int i = 0; i < photo_count; ++i)
        names.push_back(std::to_string(100 + i) + ".jpg");
    return make_inputs(scratch, names);
}

// The video OUT ("out/show.avi" in the scratch folder), holding an older
// video's bytes that a making must leave as they are until it is complete.
std::string older_video(const TempDir& scratch) {
    const std::string out = scratch.file("out");
    mkdir(out.c_str(), 0755);
    write_file(out + "/show.avi", existing_bytes);
    return out + "/show.avi";
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string last_line(const std::string& text) {
    const std::vector<std::string> lines = lines_of(text);
    return lines.empty() ? std::string() : lines.back();
}

// A folder's photos in the order the program adds them: by name as a file
// manager shows them, neither by bytes nor as the system lists them.
TEST(MakeShowPhotos, AreTakenInTheProgramsNameOrder) {
    TempDir scratch;
    write_photos_out_of_name_order(scratch.path(), "");
    std::vector<std::string> expected;
    for (const std::string& name : photo_names_in_name_order())
        expected.push_back(scratch.file(name));
    EXPECT_EQ(expected, make_show::jpeg_files(scratch.path()));
}

// File names are bytes, here not all UTF-8: they are read, and shown byte
// for byte as they are.
TEST(MakeShowProgram, MakesTheVideoAndNamesEachPhotoLeftOutWithItsReason) {
    TempDir scratch;
    const std::string photos = scratch.file("photos \xff");
    ASSERT_EQ(mkdir(photos.c_str(), 0755), 0);
    jpeg_options small;
    write_file(photos + "/a.jpg", make_jpeg(small));
    small.colour = jpeg_colour::grey;
    write_file(photos + "/b\xfe.jpg", make_jpeg(small));
    write_file(photos + "/empty\xe9.jpg", "");
    write_file(photos + "/fake.jpg", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    ASSERT_EQ(mkfifo((photos + "/pipe.jpg").c_str(), 0600), 0);
    const std::string music = scratch.file("music \xe0.wav");
    tone_file tone;
    tone.seconds = 2.0;
    make_tone_file(music, tone);
    const std::string videos = scratch.file("out \xe9"), video = videos + "/show.avi";
    ASSERT_EQ(mkdir(videos.c_str(), 0755), 0);
    write_file(video, existing_bytes);
    ASSERT_EQ(chmod(video.c_str(), 0600), 0);
    // Named through a link: the file it leads to is replaced, the link stays.
    const std::string link = videos + "/latest.avi";
    ASSERT_EQ(symlink("show.avi", link.c_str()), 0);

    // The smallest preset: frames 180 pixels high.
    const finished_run run = run_make_show({photos, music, "windows-simple", link}, scratch);
    EXPECT_EQ(names_in(videos), (std::vector<std::string>{"latest.avi", "show.avi"}))
        << "replaced, nothing left beside it";
    struct stat status;
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(stat(video.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u) << "the replaced file's permissions kept";

    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    std::vector<std::string> left_out;
    for (const std::string& line : lines_of(run.err))
        if (line.find("left out") != std::string::npos)
            left_out.push_back(line);
    EXPECT_EQ(left_out, (std::vector<std::string>{
                            "kestrel_make_show: left out: " + photos + "/empty\xe9.jpg: empty file",
                            "kestrel_make_show: left out: " + photos + "/fake.jpg: not a JPEG file (it is a PNG)",
                            "kestrel_make_show: left out: " + photos + "/pipe.jpg: not a regular file: a named pipe"}));
    const std::vector<std::string> out = lines_of(run.out);
    EXPECT_EQ(std::count(out.begin(), out.end(), "producing: 100 %"), 1) << run.out;
    EXPECT_NE(run.out.find("2 slides, "), std::string::npos) << run.out;
    EXPECT_EQ(out.back(), "done: " + link);

    const media_probe probe = probe_media_file(video);
    const stream_probe* pictures = probe.first(0);
    ASSERT_NE(pictures, nullptr);
    EXPECT_EQ(pictures->height, 180);
    EXPECT_GT(pictures->decoded_frames, 0);
    EXPECT_NE(probe.first(1), nullptr);
}

// Whether `text` came through the pipe within a minute; false at its end.
bool read_until(int pipe, const std::string& text) {
    std::string read_so_far;
    for (int tenths = 0; tenths < 600 && read_so_far.find(text) == std::string::npos; ++tenths) {
        pollfd ready{pipe, POLLIN, 0};
        if (poll(&ready, 1, 100) != 1)
            continue;
        char bytes[4096];
        const ssize_t count = read(pipe, bytes, sizeof bytes);
        if (count <= 0)
            return false;
        read_so_far.append(bytes, static_cast<std::size_t>(count));
    }
    return read_so_far.find(text) != std::string::npos;
}

// Ctrl-C, the session's end, the terminal closing or the reader of its
// output leaving (SIGPIPE at its next line) while the video is made: the
// production ends as cancelled, its unfinished file goes and the file it
// would have replaced is left byte for byte.
TEST(MakeShowProgram, AStopBySignalLeavesTheExistingFileAsItWas) {
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(number);
        TempDir scratch;
        // Three minutes of show: far longer than the signal takes to come.
        const show_inputs inputs = make_inputs(scratch, 30);
        const std::string &photos = inputs.photos, &music = inputs.music;
        const std::string video = older_video(scratch), out = scratch.file("out");

        int reader[2] = {-1, -1};
        const bool reader_leaves = number == SIGPIPE;
        if (reader_leaves) {
            ASSERT_EQ(pipe2(reader, O_CLOEXEC), 0);
        }
        const pid_t child = start_make_show({photos, music, "windows-simple", video}, scratch, {}, reader[1]);
        ASSERT_GT(child, 0);
        // Stopped once it writes, under the hidden name beside the file.
        bool producing = false;
        if (reader_leaves) {
            close(reader[1]);
            producing = read_until(reader[0], "producing:");
        } else {
            producing = wait_for_output(scratch, "producing:");
        }
        const std::vector<std::string> while_producing = names_in(out);
        if (reader_leaves)
            close(reader[0]);
        else
            kill(child, number);
        const finished_run run = wait_for(child, scratch);

        ASSERT_TRUE(producing) << run.out << run.err;
        ASSERT_EQ(while_producing.size(), 2u);
        EXPECT_EQ(while_producing[0].rfind(".lumivista-unfinished-", 0), 0u) << while_producing[0];
        EXPECT_EQ(run.exit_status, 1) << run.out << run.err;
        EXPECT_NE(run.err.find("Cancelled."), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("[kestrel][error]"), std::string::npos) << "a stop is no error: " << run.err;
        EXPECT_EQ(read_file(video), existing_bytes);
        EXPECT_EQ(names_in(out), std::vector<std::string>{"show.avi"});
    }
}

// Ctrl-C or SIGTERM while the photos open (one of them on a share that
// hangs): the maker ends as cancelled, as it does later, and OUT stays.
TEST(MakeShowProgram, AStopWhileThePhotosOpenEndsTheMakerAsCancelled) {
    for (const int number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(number);
        TempDir scratch;
        const show_inputs inputs = make_inputs(scratch, {"a.jpg", "b.jpg"});
        const std::string &photos = inputs.photos, &music = inputs.music;
        const std::string video = older_video(scratch), out = scratch.file("out");
        const std::string hang_now = scratch.file("hang now");
        write_file(hang_now, "");
        const pid_t child = start_make_show({photos, music, "windows-simple", video}, scratch,
                                            stuck_read_settings(photos + "/b.jpg", hang_now));
        ASSERT_GT(child, 0);
        const bool opening = wait_for_output(scratch, "read of STUCK_READ_PATH hangs", true);
        kill(child, number);
        const finished_run run = wait_for(child, scratch, 15);

        ASSERT_TRUE(opening) << run.out << run.err;
        EXPECT_EQ(run.out, "opening 2 photos and the music...\n");
        EXPECT_EQ(run.exit_status, 1) << run.out << run.err;
        EXPECT_EQ(last_line(run.err), "kestrel_make_show: Cancelled. (result 1)") << run.err;
        EXPECT_EQ(read_file(video), existing_bytes);
        EXPECT_EQ(names_in(out), std::vector<std::string>{"show.avi"});
    }
}

// A maker started with its output a pipe that has room for its first line
// only ("opening 2 photos and the music...", as long for any count of one
// digit): it is held at its second
// ("2 slides, ..."), once the photos have opened, until its output is read.
struct held_maker {
    pid_t child = -1;
    int output = -1; // the pipe's reading end
    bool held = false;

    held_maker(const std::vector<std::string>& arguments, const TempDir& scratch,
               const std::vector<std::string>& settings = {}) {
        int ends[2] = {-1, -1};
        if (pipe2(ends, O_CLOEXEC) != 0)
            return;
        output = ends[0];
        const int room = fcntl(ends[1], F_SETPIPE_SZ, 4096);
        const std::string first_line = "opening 2 photos and the music...\n";
        if (room > static_cast<int>(first_line.size())) {
            const std::string filling(static_cast<std::size_t>(room) - first_line.size(), 'x');
            if (write(ends[1], filling.data(), filling.size()) == static_cast<ssize_t>(filling.size()))
                child = start_make_show(arguments, scratch, settings, ends[1]);
        }
        close(ends[1]);
        // Its main thread writing to its output, which has no room left.
        for (int tenths = 0; child > 0 && tenths < 600 && !held; ++tenths) {
            held = read_file("/proc/" + std::to_string(child) + "/syscall").rfind("1 0x1 ", 0) == 0;
            if (!held)
                usleep(100 * 1000);
        }
    }
    ~held_maker() { close(output); }

    // Lets it go on: what it printed to its output, up to its end.
    std::string read_output() {
        std::string printed;
        char bytes[4096];
        for (ssize_t count; (count = read(output, bytes, sizeof bytes)) > 0;)
            printed.append(bytes, static_cast<std::size_t>(count));
        return printed;
    }
};

// Every photo gone once they have opened, before the making begins: no
// video is worth making, and none is encoded. The maker names each photo,
// says why it failed, and leaves OUT as it was. It is held at its line
// "2 slides, ..." (its output a full pipe) while the photos go.
TEST(MakeShowProgram, AShowOfWhichNotOnePhotoCouldBeReadMakesNoVideoAndNamesThem) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, {"a.jpg", "b.jpg"});
    const std::string &photos = inputs.photos, &music = inputs.music;
    const std::string video = older_video(scratch), out = scratch.file("out");

    held_maker maker({photos, music, "windows-simple", video}, scratch);
    ASSERT_GT(maker.child, 0);
    std::remove((photos + "/a.jpg").c_str());
    std::remove((photos + "/b.jpg").c_str());
    const std::string printed = maker.read_output();
    const finished_run run = wait_for(maker.child, scratch);

    ASSERT_TRUE(maker.held) << printed << run.err;
    EXPECT_EQ(run.exit_status, 8) << printed << run.err;
    EXPECT_EQ(printed.find("producing:"), std::string::npos) << "nothing encoded: " << printed;
    std::vector<std::string> named;
    for (const std::string& line : lines_of(run.err))
        if (line.rfind("kestrel_make_show: could not be read", 0) == 0)
            named.push_back(line);
    EXPECT_EQ(named, (std::vector<std::string>{"kestrel_make_show: could not be read: " + photos + "/a.jpg: not found",
                                               "kestrel_make_show: could not be read: " + photos + "/b.jpg: not found"}));
    EXPECT_EQ(last_line(run.err), "kestrel_make_show: Not one photo of the slideshow could be read. (result 8)");
    EXPECT_EQ(read_file(video), existing_bytes);
    EXPECT_EQ(names_in(out), std::vector<std::string>{"show.avi"});
}

// The making ends early (the music changed before it began) while the
// photo cache still loads the second photo, which has become no JPEG and
// answers slowly (two seconds a read); the first photo was cut short. The
// maker's closing lines (the damaged photo, then the result) come after
// every line of that load, and nothing of the engine comes after them,
// not even from a worker that still logs while the maker ends (a stand-in,
// preloaded).
TEST(MakeShowProgram, TheClosingLinesComeAfterEveryLineOfTheEngine) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, {"a.jpg", "b.jpg", "c.jpg"});
    const std::string &photos = inputs.photos, &music = inputs.music;
    const std::string video = older_video(scratch), slow_now = scratch.file("slow now");
    const std::string late_line_written = scratch.file("late line written");
    std::vector<std::string> settings = stuck_read_settings(photos + "/b.jpg", slow_now, 2);
    settings[0] += std::string(":") + LATE_LOG_LINE_LIBRARY;
    settings.push_back("LATE_LOG_DONE=" + late_line_written);

    held_maker maker({photos, music, "windows-simple", video}, scratch, settings);
    ASSERT_GT(maker.child, 0);
    // Cut in its picture data, its header whole: the check at the making's
    // start passes it, and the first picture finds it damaged.
    const std::string photo = read_file(photos + "/a.jpg");
    const std::size_t scan = photo.find("\xFF\xDA");
    write_file(photos + "/a.jpg", photo.substr(0, scan + (photo.size() - scan) / 2));
    write_file(photos + "/b.jpg", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    write_file(slow_now, "");
    truncate(music.c_str(), 100);
    const std::string printed = maker.read_output();
    const finished_run run = wait_for(maker.child, scratch);

    ASSERT_TRUE(maker.held) << printed << run.err;
    EXPECT_EQ(run.exit_status, 66) << printed << run.err;
    EXPECT_TRUE(std::filesystem::exists(late_line_written)) << "the stand-in never logged";
    const std::vector<std::string> err = lines_of(run.err);
    const auto the_makers = [](const std::string& line) { return line.rfind("kestrel_make_show: ", 0) == 0; };
    const auto closing = std::find_if(err.begin(), err.end(), the_makers);
    ASSERT_NE(closing, err.end()) << run.err;
    EXPECT_EQ(closing->rfind("kestrel_make_show: damaged, shown as far as it could be read: " + photos + "/a.jpg: ", 0),
              0u)
        << run.err;
    EXPECT_TRUE(std::all_of(closing, err.end(), the_makers)) << run.err;
    EXPECT_EQ(err.back(), "kestrel_make_show: the music " + music +
                              " changed while the video was made (cut short or written over); " + video +
                              " was left as it was");
    EXPECT_EQ(printed.find("[kestrel]"), std::string::npos) << printed;
    EXPECT_EQ(read_file(video), existing_bytes);
}

// A photo another program holds a lease on (a file server whose client
// never lets go holds it for the system's lease-break time, 45 s): the
// maker names the wait once, in a line of its own, and goes on by itself
// once the file answers.
TEST(MakeShowProgram, AWaitThatLastsIsNamedAndTheMakingGoesOnWhenTheFileAnswers) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, {"a.jpg", "b.jpg"});
    const std::string leased = inputs.photos + "/b.jpg", video = scratch.file("show.avi");
    lease_holder holder(leased);
    if (holder.next() != 'l')
        GTEST_SKIP() << "no lease can be taken here";

    const pid_t child = start_make_show({inputs.photos, inputs.music, "windows-simple", video}, scratch);
    ASSERT_GT(child, 0);
    const std::string waiting = "waiting for " + leased + ": another program holds a lease on it";
    const bool named = wait_for_output(scratch, waiting, false, 10);
    holder.let_go();
    const finished_run run = wait_for(child, scratch);

    EXPECT_TRUE(named) << run.out << run.err;
    const std::vector<std::string> out = lines_of(run.out);
    EXPECT_EQ(std::count(out.begin(), out.end(), waiting), 1) << run.out;
    EXPECT_EQ(run.err.find("waiting for"), std::string::npos) << "said twice: " << run.err;
    EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(last_line(run.out), "done: " + video);
}

// A photo or the music whose file stops answering while the video is made
// (a share that hangs: a preloaded read() that never returns for it) holds
// the production; Ctrl-C or the session's end still ends the maker, its
// unfinished file gone and the file it would have replaced as it was. The
// music hangs once the making has begun, so that the producer itself is
// stuck in its read. A maker that waited for the read would never end: the
// bound is there to catch that, on a machine however busy; the time taken
// is printed.
TEST(MakeShowProgram, AStopBySignalEndsTheMakerWhileAPhotoOrTheMusicDoesNotAnswer) {
    struct stuck_case {
        const char* what;
        int number;
    };
    for (const stuck_case& each : {stuck_case{"photo", SIGINT}, stuck_case{"photo", SIGTERM},
                                   stuck_case{"music", SIGINT}, stuck_case{"music", SIGTERM}}) {
        const bool music_hangs = std::string(each.what) == "music";
        const int number = each.number;
        SCOPED_TRACE(std::string(each.what) + " hangs, signal " + std::to_string(number));
        TempDir scratch;
        // Music longer than the show: the producer reads it to the last picture.
        tone_file tone;
        tone.seconds = 30.0;
        const show_inputs inputs = make_inputs(scratch, {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}, tone);
        const std::string &photos = inputs.photos, &music = inputs.music;
        const std::string video = older_video(scratch), out = scratch.file("out");
        const std::string hang_now = scratch.file("hang now");
        const std::string stuck = music_hangs ? music : photos + "/d.jpg";
        const pid_t child = start_make_show({photos, music, "windows-simple", video}, scratch,
                                            stuck_read_settings(stuck, hang_now));
        ASSERT_GT(child, 0);
        // The photos have opened (the music: the making has begun): from
        // now on the file does not answer.
        const bool opened = wait_for_output(scratch, music_hangs ? "producing:" : " slides, ");
        write_file(hang_now, "");
        const bool hangs = opened && wait_for_output(scratch, "read of STUCK_READ_PATH hangs", true);
        // The photo was read ahead: the production catches up with it and holds.
        if (!music_hangs)
            usleep(1000 * 1000);
        kill(child, number);
        const auto asked = std::chrono::steady_clock::now();
        const finished_run run = wait_for(child, scratch, 15);
        const auto took = std::chrono::steady_clock::now() - asked;

        ASSERT_TRUE(hangs) << run.out << run.err;
        std::printf("%s hangs: signal %d ended the maker after %lld ms\n", each.what, number,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        EXPECT_EQ(run.exit_status, 1) << run.out << run.err;
        EXPECT_NE(run.err.find("Cancelled."), std::string::npos) << run.err;
        EXPECT_EQ(read_file(video), existing_bytes);
        EXPECT_EQ(names_in(out), std::vector<std::string>{"show.avi"});
    }
}

// Whether the maker's main thread ended within `bound`: it exited, or it
// is exiting while threads of it still wait in the kernel for a share that
// does not answer (a zombie until the share answers).
bool main_thread_ends_within(pid_t child, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const std::string stat = read_file("/proc/" + std::to_string(child) + "/stat");
        const std::size_t name_end = stat.rfind(')');
        if (name_end == std::string::npos || name_end + 2 >= stat.size() || stat[name_end + 2] == 'Z')
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        usleep(10 * 1000);
    }
}

struct share_stage {
    const char* what;
    const char* hangs; // the share's requests held from the start
    int number;        // the signal
    // Puts the music, the photos (as links) or OUT on the share.
    std::function<void(const std::string& share, show_inputs& inputs, std::string& out)> place;
    // A creation or a write given up may leave its hidden file until the
    // share answers, or the next making: the last line then names it when
    // it knows its name.
    bool may_leave_unfinished = false;
};

// A share that hangs from the start, met at each stage of the making: the
// music looked at (its kind, whether it is OUT), the music opened, the
// folder's links into the share followed, the photos closed, OUT looked
// at, created, written and closed. Ctrl-C or SIGTERM ends the maker's main
// thread within a second all the same (a stop waits about 0.3 s in all for
// the share), as cancelled, and nothing is left in OUT's folder but a
// hidden unfinished file the share has not let go, or made once it
// answered, named either way. A maker that waited for the share would never
// end: the bound of 20 s is there to catch that on a machine however busy;
// the time taken is printed.
TEST(MakeShowProgram, ASignalEndsTheMakerAtEveryStageWhereAShareDoesNotAnswer) {
    const auto music_on_share = [](const std::string& share, show_inputs& inputs, std::string&) {
        inputs.music = share + "/music.wav";
    };
    const auto photos_linked_into_share = [](const std::string& share, show_inputs& inputs, std::string&) {
        inputs.photos += " of links";
        mkdir(inputs.photos.c_str(), 0755);
        for (const char* name : {"/a.jpg", "/b.jpg"})
            symlink((share + name).c_str(), (inputs.photos + name).c_str());
    };
    const auto out_on_share = [](const std::string& share, show_inputs&, std::string& out) {
        out = share + "/show.avi";
    };
    const std::vector<share_stage> stages = {
        {"the music, whose look-ups hang", "lookup", SIGTERM, music_on_share},
        {"the music, whose reads hang", "read", SIGINT, music_on_share},
        {"a folder of links into the share, whose look-ups hang", "lookup", SIGTERM,
         photos_linked_into_share},
        {"OUT, whose look-ups hang", "lookup", SIGTERM,
         out_on_share},
        {"photos on the share, whose closes hang", "flush", SIGTERM,
         photos_linked_into_share},
        {"OUT, whose writes hang", "write", SIGINT, out_on_share, true},
        {"OUT, whose close hangs", "flush", SIGINT, out_on_share, true},
        {"OUT, whose creation hangs", "create", SIGTERM, out_on_share, true},
    };
    for (const share_stage& stage : stages) {
        SCOPED_TRACE(stage.what);
        TempDir scratch;
        show_inputs inputs = make_inputs(scratch, {"a.jpg", "b.jpg"});
        const std::string served = scratch.file("served"), mounted = scratch.file("share");
        ASSERT_EQ(mkdir(served.c_str(), 0755), 0);
        ASSERT_EQ(mkdir(mounted.c_str(), 0755), 0);
        write_file(served + "/music.wav", read_file(inputs.music));
        for (const char* name : {"/a.jpg", "/b.jpg"})
            write_file(served + name, read_file(inputs.photos + name));
        hanging_share share(served, mounted);
        if (!share.unavailable().empty())
            GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();
        std::string out = scratch.file("out") + "/show.avi";
        ASSERT_EQ(mkdir(scratch.file("out").c_str(), 0755), 0);
        stage.place(mounted, inputs, out);
        const std::string out_folder = out.rfind(mounted, 0) == 0 ? served : scratch.file("out");
        const std::vector<std::string> before = names_in(out_folder);
        share.hang(stage.hangs);

        // The leak checker would wait at the end for threads that wait in
        // the kernel for the share, which it cannot stop.
        const pid_t child = start_make_show({inputs.photos, inputs.music, "windows-simple", out}, scratch,
                                            {sanitizer_options("detect_leaks=0")});
        ASSERT_GT(child, 0);
        // Bounds far above a start and an end on two busy cores; a maker
        // that waited for the share would never end.
        const bool held = share.held_within(std::chrono::seconds(30));
        kill(child, stage.number);
        const auto asked = std::chrono::steady_clock::now();
        const bool ended = main_thread_ends_within(child, std::chrono::seconds(20));
        const auto took = std::chrono::steady_clock::now() - asked;
        if (!ended)
            kill(child, SIGKILL);
        share.answer();
        const finished_run run = wait_for(child, scratch, 20);

        ASSERT_TRUE(held) << "the maker never asked the share: " << run.out << run.err;
        std::printf("%s: signal %d ended the maker after %lld ms\n", stage.what, stage.number,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        EXPECT_TRUE(ended) << "still running 20 s after the signal";
        EXPECT_LT(took, std::chrono::seconds(1)) << "the stop waited for the share";
        EXPECT_EQ(run.exit_status, 1) << run.out << run.err;
        const std::string said = last_line(run.err);
        if (stage.may_leave_unfinished)
            EXPECT_EQ(said.rfind("kestrel_make_show: Cancelled. (result 1)", 0), 0u) << run.err;
        else
            EXPECT_EQ(said, "kestrel_make_show: Cancelled. (result 1)") << run.err;
        std::vector<std::string> after = names_in(out_folder);
        // The maker does not wait for the share: what it leaves is named,
        // made or not, and goes at the next making there.
        const std::string left = stage.hangs == std::string("create") ? " may still be made once the disk answers"
                                                                       : " could not be removed yet";
        for (const std::string& name : after) {
            if (kestrel::unfinished_video::is_unfinished_name(name)) {
                EXPECT_NE(said.find(name + left + "; the next video made in that folder removes it"),
                          std::string::npos)
                    << said;
            }
        }
        if (stage.may_leave_unfinished)
            after.erase(std::remove_if(after.begin(), after.end(), kestrel::unfinished_video::is_unfinished_name),
                        after.end());
        EXPECT_EQ(after, before);
    }
}

// The complete video's naming held on the share, then SIGTERM: the maker
// ends at once, calls the video neither made nor cancelled, and says it may
// still take OUT's name once the disk answers; a wait that lasts on the
// share's writes is named once.
TEST(MakeShowProgram, AStopWhileTheShareHoldsTheVideosNamingSaysOnlyWhatIsSure) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, {"a.jpg", "b.jpg"});
    const std::string served = scratch.file("served"), mounted = scratch.file("share");
    ASSERT_EQ(mkdir(served.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(mounted.c_str(), 0755), 0);
    hanging_share share(served, mounted);
    if (!share.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share.unavailable();
    const std::string out = mounted + "/show.avi";
    share.hang("rename");
    const pid_t child = start_make_show({inputs.photos, inputs.music, "windows-simple", out}, scratch,
                                        {sanitizer_options("detect_leaks=0")});
    ASSERT_GT(child, 0);
    const bool held = share.held_within(std::chrono::seconds(60));
    // Long enough to be named as a wait that lasts (2 s).
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    kill(child, SIGTERM);
    const bool ended = main_thread_ends_within(child, std::chrono::seconds(10));
    if (!ended)
        kill(child, SIGKILL);
    share.answer();
    const finished_run run = wait_for(child, scratch, 10);

    ASSERT_TRUE(held) << run.out << run.err;
    EXPECT_TRUE(ended) << "still running 10 s after the signal";
    EXPECT_EQ(run.exit_status, 1) << run.out << run.err;
    // The hidden name it stays under, should the naming fail, is named.
    const std::string said = last_line(run.err);
    const std::string before = "kestrel_make_show: stopped while the complete video was being named " + out +
                               ", which the disk has not answered: it may still appear under that name once the "
                               "disk answers, else it stays as " + mounted + "/",
                      after = ", which the next video made in that folder removes (result 1)";
    const std::size_t hidden = before.size();
    EXPECT_TRUE(said.size() > hidden + after.size() && said.compare(0, hidden, before) == 0 &&
                said.compare(said.size() - after.size(), after.size(), after) == 0 &&
                kestrel::unfinished_video::is_unfinished_name(
                    said.substr(hidden, said.size() - hidden - after.size())))
        << run.err;
    EXPECT_NE(run.out.find("waiting for " + out + ": it does not answer"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("done"), std::string::npos) << run.out;
}

struct vanishing_photo {
    const char* what;
    std::function<void(const std::string& path)> change;
    const char* line; // how the photo is named, before its path
    const char* reason;
};

void PrintTo(const vanishing_photo& photo, std::ostream* out) { *out << photo.what; }

class MakeShowVanishing : public testing::TestWithParam<vanishing_photo> {};

// The last photo changes once the photos have opened, long before its slide
// is drawn (five slides of 6 s come first): the video is made all the
// same, and the photo is named once with why; one cut short is named as
// damaged, and libjpeg's word on it comes with its name.
TEST_P(MakeShowVanishing, NamesAPhotoThatCouldNotBeReadWhileTheVideoWasMadeAndExitsZero) {
    TempDir scratch;
    const std::string photos = scratch.file("photos");
    ASSERT_EQ(mkdir(photos.c_str(), 0755), 0);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"})
        write_file(photos + "/" + name, make_jpeg(jpeg_options()));
    const std::string music = scratch.file("music.wav");
    make_tone_file(music, tone_file());
    const std::string video = scratch.file("show.avi");

    const pid_t child = start_make_show({photos, music, "windows-simple", video}, scratch);
    ASSERT_GT(child, 0);
    const bool changed = wait_for_output(scratch, " slides, ");
    if (changed)
        GetParam().change(photos + "/f.jpg");
    const finished_run run = wait_for(child, scratch);

    ASSERT_TRUE(changed) << run.out << run.err;
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    std::vector<std::string> named;
    for (const std::string& line : lines_of(run.err))
        if (line.rfind("kestrel_make_show: could not be read", 0) == 0 ||
            line.rfind("kestrel_make_show: damaged", 0) == 0)
            named.push_back(line);
    EXPECT_EQ(named, std::vector<std::string>{std::string("kestrel_make_show: ") + GetParam().line + photos +
                                              "/f.jpg: " + GetParam().reason});
    for (const std::string& line : lines_of(run.err)) {
        if (line.find("[libjpeg]") != std::string::npos) {
            EXPECT_NE(line.find(photos + "/f.jpg"), std::string::npos) << "libjpeg's word without the photo: " << line;
        }
    }
    EXPECT_NE(run.out.find("6 slides, "), std::string::npos) << run.out;
    const media_probe probe = probe_media_file(video);
    ASSERT_NE(probe.first(0), nullptr);
    EXPECT_GT(probe.first(0)->decoded_frames, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, MakeShowVanishing,
    testing::Values(vanishing_photo{"deleted", [](const std::string& path) { std::remove(path.c_str()); },
                                    "could not be read, shown black: ", "not found"},
                    vanishing_photo{"left_as_a_link_to_nothing",
                                    [](const std::string& path) {
                                        std::remove(path.c_str());
                                        (void)symlink("gone.jpg", path.c_str());
                                    },
                                    "could not be read, shown black: ", "a link to nothing"},
                    vanishing_photo{"replaced", [](const std::string& path) {
                                        write_file(path, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
                                    },
                                    "could not be read, shown black: ", "not a JPEG file (it is a PNG)"},
                    vanishing_photo{"cut_short",
                                    [](const std::string& path) {
                                        const std::string jpeg = read_file(path);
                                        const std::size_t scan = jpeg.find("\xFF\xDA");
                                        write_file(path, jpeg.substr(0, scan + (jpeg.size() - scan) / 2));
                                    },
                                    "damaged, shown as far as it could be read: ",
                                    "cut short: the lower part is grey"}),
    [](const testing::TestParamInfo<vanishing_photo>& info) { return std::string(info.param.what); });

} // namespace

namespace {

// What stands at a path, without following a link: its kind and its bytes
// (a link's target).
std::string entry_at(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0)
        return "nothing";
    if (S_ISLNK(status.st_mode)) {
        char target[4096];
        const ssize_t length = readlink(path.c_str(), target, sizeof target);
        return "link to " + std::string(target, length > 0 ? static_cast<std::size_t>(length) : 0);
    }
    if (S_ISREG(status.st_mode))
        return "file " + read_file(path);
    return S_ISDIR(status.st_mode) ? "folder" : S_ISFIFO(status.st_mode) ? "pipe" : "other";
}

struct refused_output {
    const char* name;
    // Puts something at OUT, the music and the photos at hand; false when
    // that cannot be done here.
    std::function<bool(const std::string& out, const show_inputs& inputs)> make;
    const char* reason; // "%m" for the music's path, "%p" for the photo's, "%f" for the folder's
};

void PrintTo(const refused_output& row, std::ostream* out) { *out << row.name; }

class MakeShowRefusedOutput : public testing::TestWithParam<refused_output> {};

std::string with_paths(std::string text, const show_inputs& inputs) {
    for (std::size_t at; (at = text.find("%m")) != std::string::npos;)
        text.replace(at, 2, inputs.music);
    for (std::size_t at; (at = text.find("%p")) != std::string::npos;)
        text.replace(at, 2, inputs.photos + "/100.jpg");
    for (std::size_t at; (at = text.find("%f")) != std::string::npos;)
        text.replace(at, 2, inputs.photos);
    return text;
}

// Nothing is made and OUT, the music and the photos stay as they were.
TEST_P(MakeShowRefusedOutput, IsLeftAsItIsAndNamedWithWhy) {
    const refused_output& row = GetParam();
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, 1);
    const std::string out = scratch.file("out"), target = out + "/show.avi";
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    if (!row.make(target, inputs))
        GTEST_SKIP() << "only the superuser makes devices";
    const std::string music_before = read_file(inputs.music), photo_before = read_file(inputs.photos + "/100.jpg");
    const std::string entry_before = entry_at(target);

    const finished_run run = run_make_show({inputs.photos, inputs.music, "windows-simple", target}, scratch);

    EXPECT_EQ(run.exit_status, 64) << run.out << run.err;
    EXPECT_EQ(run.err, "kestrel_make_show: will not write " + target + ": " + with_paths(row.reason, inputs) +
                           "; nothing was made\n");
    EXPECT_EQ(run.out, "") << "refused before the photos are opened";
    EXPECT_EQ(entry_at(target), entry_before);
    EXPECT_EQ(names_in(out), std::vector<std::string>{"show.avi"}) << "nothing made beside it";
    EXPECT_EQ(read_file(inputs.music), music_before);
    EXPECT_EQ(read_file(inputs.photos + "/100.jpg"), photo_before);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MakeShowRefusedOutput,
    testing::Values(
        refused_output{"MusicThroughALink",
                       [](const std::string& out, const show_inputs& in) {
                           return symlink(in.music.c_str(), out.c_str()) == 0;
                       },
                       "it is the same file as the music %m"},
        refused_output{"MusicAsAHardLink",
                       [](const std::string& out, const show_inputs& in) {
                           return link(in.music.c_str(), out.c_str()) == 0;
                       },
                       "it is the same file as the music %m"},
        refused_output{"PhotoAsAHardLink",
                       [](const std::string& out, const show_inputs& in) {
                           return link((in.photos + "/100.jpg").c_str(), out.c_str()) == 0;
                       },
                       "it is the same file as the photo %p"},
        // A null device of its own, never the system's.
        refused_output{"Device",
                       [](const std::string& out, const show_inputs&) {
                           return mknod(out.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
                       },
                       "it is a device"},
        refused_output{"Pipe",
                       [](const std::string& out, const show_inputs&) { return mkfifo(out.c_str(), 0644) == 0; },
                       "it is a named pipe"},
        refused_output{"DanglingLink",
                       [](const std::string& out, const show_inputs&) {
                           return symlink("videos/show.avi", out.c_str()) == 0;
                       },
                       "it is a link to videos/show.avi, which does not exist"},
        refused_output{"Folder",
                       [](const std::string& out, const show_inputs&) { return mkdir(out.c_str(), 0755) == 0; },
                       "it is a folder"}),
    [](const testing::TestParamInfo<refused_output>& info) { return std::string(info.param.name); });

// A song shorter than the show starts again, as in the program, up to the
// show's faded end: one slide of 6 s over a tone of 1 s sounds until its
// fade begins (at 3.6 s), and is silent at its end. One photo, one slide:
// both said in the singular.
TEST(MakeShowProgram, AShortSongLoopsUpToTheFadedEnd) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, 1);
    const std::string video = scratch.file("show.avi");

    const finished_run run = run_make_show({inputs.photos, inputs.music, "windows-simple", video}, scratch);

    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    const std::vector<std::string> out = lines_of(run.out);
    ASSERT_GE(out.size(), 2u) << run.out;
    EXPECT_EQ(out[0], "opening 1 photo and the music...");
    EXPECT_EQ(out[1], "1 slide, 6 s; making " + video + " (windows-simple)");
    const media_probe probe = probe_media_file(video);
    const stream_probe* sound = probe.first(1);
    ASSERT_NE(sound, nullptr);
    const std::vector<double>& peaks = sound->block_peaks;
    ASSERT_GT(peaks.size(), 100u);
    const double block_seconds = static_cast<double>(sound->decoded_samples) / peaks.size() / sound->sample_rate;
    double silent_at = -1.0;
    for (std::size_t i = 0; i < peaks.size() && silent_at < 0.0; ++i) {
        const double at = i * block_seconds;
        if (at > 0.1 && at < 3.4 && peaks[i] < 0.08)
            silent_at = at;
    }
    EXPECT_EQ(silent_at, -1.0) << "the sound stopped before the fade";
    EXPECT_LT(peaks.back(), 0.01) << "not faded out";
}

// One show made twice, the heap holding other bytes each time (glibc's
// perturbation, the address sanitizer's fill), at 960 by 720 (mac-medium):
// a width of 60 macroblocks, where libx264's AVX-512 code for its
// macroblock tree reads past a row's end. The same video, byte for byte.
TEST(MakeShowProgram, OneShowGivesOneVideoWhateverTheHeapHeld) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, 1);
    std::vector<std::string> videos;
    for (const std::string fill : {"85", "170"}) {
        const std::string video = scratch.file("show " + fill + ".mp4");
        const std::vector<std::string> heap{
            "MALLOC_PERTURB_=" + fill, sanitizer_options("malloc_fill_byte=" + fill + ":max_malloc_fill_size=" +
                                                         std::to_string(1 << 30))};
        const finished_run run =
            wait_for(start_make_show({inputs.photos, inputs.music, "mac-medium", video}, scratch, heap), scratch);
        ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
        videos.push_back(read_file(video));
    }
    const media_probe probe = probe_media_file(scratch.file("show 85.mp4"));
    ASSERT_NE(probe.first(0), nullptr);
    ASSERT_EQ(probe.first(0)->width, 960);
    ASSERT_FALSE(videos[0].empty());
    EXPECT_TRUE(videos[0] == videos[1]) << "two videos of one show";
}

struct refused_input {
    const char* name;
    // Spoils the folder, the music or the preset given.
    std::function<bool(show_inputs& inputs, std::string& preset)> spoil;
    int exit_status;
    const char* line; // with paths as refused_output's reason
};

void PrintTo(const refused_input& row, std::ostream* out) { *out << row.name; }

class MakeShowRefusedInput : public testing::TestWithParam<refused_input> {};

// Refused with one line naming what is wrong, before any photo or the music
// is opened, and nothing is made.
TEST_P(MakeShowRefusedInput, IsNamedBeforeAnythingIsOpened) {
    const refused_input& row = GetParam();
    TempDir scratch;
    show_inputs inputs = make_inputs(scratch, 1);
    std::string preset = "windows-simple";
    ASSERT_TRUE(row.spoil(inputs, preset));
    const std::string out = scratch.file("out");
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);

    const finished_run run = run_make_show({inputs.photos, inputs.music, preset, out + "/show.avi"}, scratch);

    EXPECT_EQ(run.exit_status, row.exit_status) << run.out << run.err;
    EXPECT_EQ(run.err, "kestrel_make_show: " + with_paths(row.line, inputs) + "\n");
    EXPECT_EQ(run.out, "") << "refused before the photos are opened";
    EXPECT_EQ(names_in(out), std::vector<std::string>{});
}

// The music's path given to something else than a file.
std::function<bool(show_inputs&, std::string&)> music_as(const std::function<bool(const std::string&)>& make) {
    return [make](show_inputs& inputs, std::string&) {
        inputs.music += ".other";
        return make(inputs.music);
    };
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MakeShowRefusedInput,
    testing::Values(
        refused_input{"MusicPipe", music_as([](const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; }),
                      66, "no music file at %m: not a regular file: a named pipe"},
        refused_input{"MusicFolder",
                      music_as([](const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }), 66,
                      "no music file at %m: a folder, not a file"},
        refused_input{"MusicMissing", music_as([](const std::string&) { return true; }), 66,
                      "no music file at %m: not found"},
        refused_input{"FolderALinkToNothing",
                      [](show_inputs& inputs, std::string&) {
                          inputs.photos += "-link";
                          return symlink("gone", inputs.photos.c_str()) == 0;
                      },
                      66, "the folder %f is a link to nothing"},
        refused_input{"FolderMissing",
                      [](show_inputs& inputs, std::string&) {
                          inputs.photos += "/gone";
                          return true;
                      },
                      66, "the folder %f does not exist"},
        // Names are matched exactly, case included.
        refused_input{"UnknownPreset",
                      [](show_inputs&, std::string& preset) {
                          preset = "Mac-Medium";
                          return true;
                      },
                      2,
                      "Can't find preset. (result 2) There is no preset \"Mac-Medium\"; the presets are: iphone, "
                      "iphone4, iphone5, ipad, ipad3, windows-low, windows-medium, windows-high, mac-low, "
                      "mac-medium, mac-high, tube-low, tube-medium, tube-high, mpeg, windows-simple, default."}),
    [](const testing::TestParamInfo<refused_input>& info) { return std::string(info.param.name); });


// --help and -h print the usage, the presets and what each exit status
// means, and nothing else is done; a wrong count of arguments is refused
// with the usage line.
TEST(MakeShowProgram, AnswersHelpAndRefusesAWrongCountOfArguments) {
    TempDir scratch;
    const std::string usage = "usage: kestrel_make_show FOLDER MUSIC PRESET OUT\n";
    for (const char* ask : {"--help", "-h"}) {
        SCOPED_TRACE(ask);
        const finished_run run = run_make_show({ask}, scratch);
        EXPECT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.rfind(usage, 0), 0u) << run.out;
        EXPECT_NE(run.out.find("\npresets: iphone, iphone4, iphone5, ipad, ipad3, windows-low, windows-medium, "
                               "windows-high, mac-low, mac-medium, mac-high, tube-low, tube-medium, tube-high, mpeg, "
                               "windows-simple, default\n"),
                  std::string::npos)
            << run.out;
        for (const char* status : {"\n   8  Not one photo of the slideshow could be read.\n", "\n  64  wrong arguments",
                                   "\n  66  the photos or the music cannot be had"})
            EXPECT_NE(run.out.find(status), std::string::npos) << status << " in\n" << run.out;
    }
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{}, {"photos", "music.wav", "default"}, {"a", "b", "c", "d", "e"}}) {
        const finished_run run = run_make_show(wrong, scratch);
        EXPECT_EQ(run.exit_status, 64) << wrong.size() << " arguments";
        EXPECT_EQ(run.err, usage);
        EXPECT_EQ(run.out, "");
    }
}

// OUT in a folder that is not there (or is no folder) is refused as a
// wrong argument before any photo opens.
TEST(MakeShowProgram, AnOutWhoseFolderIsMissingIsRefusedBeforeAnythingOpens) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, 1);
    for (const std::string& folder : {scratch.file("gone"), inputs.music}) {
        SCOPED_TRACE(folder);
        const finished_run run =
            run_make_show({inputs.photos, inputs.music, "windows-simple", folder + "/show.avi"}, scratch);
        EXPECT_EQ(run.exit_status, 64) << run.out << run.err;
        EXPECT_EQ(run.err, "kestrel_make_show: will not write " + folder + "/show.avi: its folder " + folder +
                               (folder == inputs.music ? " is no folder" : " does not exist") + "; nothing was made\n");
        EXPECT_EQ(run.out, "") << "refused before the photos are opened";
    }
}

// Waits for the production's first line, changes what `change` changes,
// and waits for the end.
finished_run run_changing(const std::vector<std::string>& arguments, const TempDir& scratch,
                          const std::function<void()>& change) {
    const pid_t child = start_make_show(arguments, scratch);
    if (wait_for_output(scratch, "producing:"))
        change();
    return wait_for(child, scratch);
}

// The output folder is moved while the video is made, and a folder of the
// old name, with a file of OUT's name, is made: the video goes where the
// folder is now, the replaced file's permissions kept, and the last line
// says so.
TEST(MakeShowProgram, TheDoneLineNamesWhereTheVideoIsAfterItsFolderMoved) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, 12);
    const std::string out = scratch.file("out"), moved = scratch.file("moved");
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    write_file(out + "/show.avi", existing_bytes);
    ASSERT_EQ(chmod((out + "/show.avi").c_str(), 0600), 0);

    const finished_run run = run_changing({inputs.photos, inputs.music, "windows-simple", out + "/show.avi"}, scratch,
                                          [&] {
                                              rename(out.c_str(), moved.c_str());
                                              mkdir(out.c_str(), 0755);
                                              write_file(out + "/show.avi", "another file");
                                          });

    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(last_line(run.out), "done: " + std::filesystem::canonical(moved).string() + "/show.avi");
    // The photo cache's closing gives up the reads still under way: no
    // warning, for nothing went wrong.
    EXPECT_EQ(run.err.find("[warning]"), std::string::npos) << run.err;
    EXPECT_EQ(read_file(out + "/show.avi"), "another file");
    EXPECT_EQ(names_in(moved), std::vector<std::string>{"show.avi"});
    struct stat status;
    ASSERT_EQ(stat((moved + "/show.avi").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_NE(probe_media_file(moved + "/show.avi").first(0), nullptr);
}

// A small file system of its own, when the superuser may mount one here.
struct small_disk {
    std::string path;
    bool mounted = false;
    small_disk(const std::string& where, const char* size) : path(where) {
        mkdir(path.c_str(), 0755);
        mounted = mount("tmpfs", path.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~small_disk() {
        if (mounted)
            umount2(path.c_str(), MNT_DETACH);
    }
};

// The folder removed (and made again) while the video is made, and a disk
// that fills up: the last line names the folder and the cause as the
// program does, and nothing is left there.
TEST(MakeShowProgram, AFolderRemovedOrAFullDiskIsNamedAsTheProgramNamesIt) {
    {
        SCOPED_TRACE("removed");
        TempDir scratch;
        const show_inputs inputs = make_inputs(scratch, 12);
        const std::string out = scratch.file("out");
        ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
        const finished_run run =
            run_changing({inputs.photos, inputs.music, "windows-simple", out + "/show.avi"}, scratch, [&] {
                std::filesystem::remove_all(out);
                mkdir(out.c_str(), 0755);
            });
        EXPECT_EQ(run.exit_status, 5) << run.out << run.err;
        EXPECT_EQ(last_line(run.err), "kestrel_make_show: Can't create output file. (result 5) The folder \"" +
                                                out + "\" was removed while the video was made; if a folder of "
                                                      "that name is there again, make the video again.");
        EXPECT_EQ(names_in(out), std::vector<std::string>{});
    }
    {
        SCOPED_TRACE("full");
        TempDir scratch;
        const show_inputs inputs = make_inputs(scratch, 2);
        const small_disk disk(scratch.file("disk"), "64k");
        if (!disk.mounted)
            GTEST_SKIP() << "no file system can be mounted here";
        const finished_run run = run_make_show({inputs.photos, inputs.music, "windows-simple", disk.path + "/show.avi"},
                                               scratch);
        EXPECT_EQ(run.exit_status, 6) << run.out << run.err;
        EXPECT_EQ(last_line(run.err), "kestrel_make_show: Media muxer failed. (result 6) The disk of the folder \"" +
                                                disk.path + "\" is full.");
        EXPECT_EQ(names_in(disk.path), std::vector<std::string>{});
    }
}

// The music cut short once the making began: the video would be silent from
// there, so the making ends naming the music, and OUT stays as it was.
TEST(MakeShowProgram, MusicCutShortWhileTheVideoIsMadeEndsTheMakingNamingIt) {
    TempDir scratch;
    const show_inputs inputs = make_inputs(scratch, 30);
    const std::string out = scratch.file("out"), video = out + "/show.avi";
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    write_file(video, existing_bytes);

    const finished_run run = run_changing({inputs.photos, inputs.music, "windows-simple", video}, scratch,
                                          [&] { truncate(inputs.music.c_str(), 100); });

    EXPECT_EQ(run.exit_status, 66) << run.out << run.err;
    EXPECT_EQ(last_line(run.err), "kestrel_make_show: the music " + inputs.music +
                                            " changed while the video was made (cut short or written over); " +
                                            video + " was left as it was");
    EXPECT_EQ(read_file(video), existing_bytes);
    EXPECT_EQ(names_in(out), std::vector<std::string>{"show.avi"});
}

} // namespace
