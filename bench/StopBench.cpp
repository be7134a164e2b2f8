// How long a conversion takes to stop: the time from the request to the
// end, its unfinished video removed, over a number of runs (median, max).
// Two roads, each stopped at a spread of moments (0.2 to 6.5 s after the
// production began, so that some stops fall while a photo is decoded):
//   kestrel_make_show   the command-line maker (beside this program) as a
//                       process, sent SIGTERM; from the signal to the
//                       process's end, which removes the video first
//   producer            the producer in this process, made as the
//                       application makes it (unfinished video, read-ahead
//                       switched on), asked to stop and released as the
//                       application's Quit does; from the request to
//                       stop()'s return and to the release (file removed)
// Every run checks that the stop ended as cancelled and left no file.
// Target on two busy cores: median at most 0.5 s, every run at most 1 s.
//
//   taskset -c 1 sh -c 'while :; do :; done' &
//   taskset -c 0,1 kestrel_stop_bench [runs] [preset]
//
// Making the photos (six 12-megapixel camera-like JPEGs) takes a few
// seconds.

#include "files/DTFolderEntries.h"
#include "files/DTUnfinishedVideo.h"
#include "slideshow2/DTSlideshowPresets.h"
#include "slideshow2/DTSlideshowProduce.h"

#include "NumberArguments.h"
#include "QuietLog.h"
#include "ShowMaker.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

using namespace kestrel;
using clock_type = std::chrono::steady_clock;

namespace {

const int photo_count = 6;
const double music_seconds = 60.0;
// Waits that would mean a hang, not a slow machine.
const std::chrono::seconds start_limit(120);
const std::chrono::seconds stop_limit(30);

double seconds_between(clock_type::time_point from, clock_type::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// When run `i` asks for the stop, counted from the production's start:
// 0.2 to 6.5 s, at the first photo's decoding, inside the first slide and
// (on a busy machine) near the second photo's.
std::chrono::milliseconds stop_delay(int i) { return std::chrono::milliseconds(200 + (i % 8) * 900); }

void make_files(const test::TempDir& folder) {
    std::filesystem::create_directories(folder.file("photos"));
    std::vector<std::thread> painters;
    const int width = 4000, height = 3000;
    for (int i = 0; i < photo_count; ++i)
        painters.emplace_back([&, i] {
            test::jpeg_options options;
            options.width = width;
            options.height = height;
            options.quality = 88 + i; // no two files alike
            test::write_file(folder.file("photos/photo-" + std::to_string(i) + ".jpg"),
                             test::make_jpeg(options, test::photo_like_painter(width, height, true)));
        });
    for (std::thread& painter : painters)
        painter.join();
    test::tone_file tone;
    tone.extension = "mp3";
    tone.seconds = music_seconds;
    test::make_tone_file(folder.file("music.mp3"), tone);
}

// The names in a folder, hidden ones (an unfinished video's) included.
std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    list_folder(folder, names, true);
    return names;
}

struct figures {
    std::vector<double> seconds;

    double median() const {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n == 0 ? 0.0 : n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
    }
    double max() const { return seconds.empty() ? 0.0 : *std::max_element(seconds.begin(), seconds.end()); }
};

void print_line(std::ostream& out, const char* what, const figures& f) {
    out << "  " << std::left << std::setw(34) << what << std::right << " median " << std::setw(6) << f.median()
        << " s  max " << std::setw(6) << f.max() << " s  (";
    for (std::size_t i = 0; i < f.seconds.size(); ++i)
        out << (i ? " " : "") << f.seconds[i];
    out << ")" << std::endl;
}

// ---- kestrel_make_show as a process, sent SIGTERM -----------------------

std::string make_show_program() {
    std::array<char, 4096> path{};
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        throw std::runtime_error("cannot find this program's path");
    return (std::filesystem::path(std::string(path.data(), static_cast<std::size_t>(length))).parent_path() /
            "kestrel_make_show")
        .string();
}

// Starts the maker with its output and errors in files of `folder`.
pid_t start_maker(const std::string& program, const std::vector<std::string>& args, const std::string& folder) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, (folder + "/out.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, (folder + "/err.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int error = posix_spawn(&child, program.c_str(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (error != 0)
        throw std::runtime_error("cannot start " + program);
    return child;
}

// The exit status, or -1 when the child did not end within the limit (it
// is killed then).
int wait_child(pid_t child, std::chrono::seconds limit) {
    const clock_type::time_point deadline = clock_type::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (clock_type::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

// One run: the seconds from SIGTERM to the maker's end.
double make_show_run(const std::string& program, const std::string& photos, const std::string& music,
                     const std::string& preset, const std::string& folder, int run) {
    std::filesystem::create_directories(folder + "/video");
    const std::string out = folder + "/video/show.mp4";
    const pid_t child = start_maker(program, {photos, music, preset, out}, folder);
    // The line that names the output comes as the production begins.
    const clock_type::time_point limit = clock_type::now() + start_limit;
    while (test::read_file(folder + "/out.txt").find("; making ") == std::string::npos) {
        if (clock_type::now() > limit) {
            ::kill(child, SIGKILL);
            wait_child(child, stop_limit);
            throw std::runtime_error("kestrel_make_show never began producing: " +
                                     test::read_file(folder + "/err.txt"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(stop_delay(run));
    const clock_type::time_point asked = clock_type::now();
    ::kill(child, SIGTERM);
    const int status = wait_child(child, stop_limit);
    const double seconds = seconds_between(asked, clock_type::now());
    if (status != 1)
        throw std::runtime_error("kestrel_make_show ended with " + std::to_string(status) + ", not 1 (cancelled): " +
                                 test::read_file(folder + "/err.txt"));
    if (!folder_names(folder + "/video").empty())
        throw std::runtime_error("kestrel_make_show left a file behind: " + folder_names(folder + "/video")[0]);
    return seconds;
}

// ---- the producer in this process, as the application drives it ---------

struct producer_stop {
    double stopped = 0.0;  // until stop() returned
    double released = 0.0; // until the producer and its file were gone
};

producer_stop producer_run(const slideshow2::slideshow_ptr& show, const std::string& preset,
                           const std::string& folder, int run) {
    std::filesystem::create_directories(folder);
    auto video = std::make_unique<unfinished_video>();
    if (video->create(folder) != 0)
        throw std::runtime_error("cannot make a file in " + folder);
    slideshow2::slideshow_produce_ptr producer = slideshow2::slideshow_produce_creator::create(
        show, video->writer_path(), media_settings::create("produce-preset", preset));
    struct ending {
        std::mutex mutex;
        std::condition_variable reported;
        bool finished = false;
        int result = -1;
    };
    const auto end = std::make_shared<ending>();
    producer->produce({}, [end](slideshow2::slideshow_produce::Result result) {
        std::lock_guard<std::mutex> lock(end->mutex);
        end->result = result;
        end->finished = true;
        end->reported.notify_all();
    });
    std::this_thread::sleep_for(stop_delay(run));
    producer_stop figures;
    const clock_type::time_point asked = clock_type::now();
    producer->stop();
    figures.stopped = seconds_between(asked, clock_type::now());
    producer.reset();
    video.reset();
    figures.released = seconds_between(asked, clock_type::now());
    std::unique_lock<std::mutex> lock(end->mutex);
    if (!end->reported.wait_for(lock, stop_limit, [&] { return end->finished; }))
        throw std::runtime_error("the producer never reported its end");
    if (end->result != slideshow2::slideshow_produce::cancelled)
        throw std::runtime_error("the producer ended with " + std::to_string(end->result) + ", not cancelled");
    if (!folder_names(folder).empty())
        throw std::runtime_error("the producer left a file behind: " + folder_names(folder)[0]);
    return figures;
}

int bench_main(int runs, const std::string& preset, std::ostream& out) {
    test::TempDir folder;
    out << "making " << photo_count << " 4000x3000 photos and " << music_seconds << " s of music..." << std::endl;
    make_files(folder);
    const std::string photos = folder.file("photos"), music = folder.file("music.mp3");
    out << std::fixed << std::setprecision(3);
    out << "stopping a conversion (" << preset << "), " << runs << " runs, stop asked 0.2 to 6.5 s in" << std::endl;

    figures maker;
    const std::string program = make_show_program();
    for (int i = 0; i < runs; ++i)
        maker.seconds.push_back(
            make_show_run(program, photos, music, preset, folder.file("maker-" + std::to_string(i)), i));
    print_line(out, "kestrel_make_show, SIGTERM to end", maker);

    figures stopped, released;
    {
        const make_show::opened_show made = make_show::open_show(make_show::jpeg_files(photos), music);
        for (int i = 0; i < runs; ++i) {
            const producer_stop run = producer_run(made.show, preset, folder.file("producer-" + std::to_string(i)), i);
            stopped.seconds.push_back(run.stopped);
            released.seconds.push_back(run.released);
        }
    }
    print_line(out, "producer, stop() returned", stopped);
    print_line(out, "producer, released, file removed", released);

    const bool met = maker.median() <= 0.5 && maker.max() <= 1.0 && released.median() <= 0.5 && released.max() <= 1.0;
    out << "target (median <= 0.5 s, every run <= 1 s): " << (met ? "met" : "NOT met") << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const command_line::arguments line(
        argc, argv,
        {"kestrel_stop_bench", "[runs] [preset]",
         "Measures how long a conversion takes to stop, on a show of six camera-like 12-megapixel photos and\n"
         "a minute of music: kestrel_make_show (built beside it) sent SIGTERM, and the producer stopped and\n"
         "released as the application does, each run stopped at another moment 0.2 to 6.5 s in. Prints each\n"
         "run's time, the median and the largest. Run it on two busy cores:\n"
         "  taskset -c 1 sh -c 'while :; do :; done' & taskset -c 0,1 kestrel_stop_bench\n"
         "  runs    1 to 1000 (default 10)\n"
         "  preset  the output preset (default mac-medium)\n",
         0, 2});
    if (line.ended())
        return line.exit_status();
    const std::optional<int> runs = bench::whole_number(line, 0, "runs", 10, 1, 1000);
    const std::string preset = line.at(1, "mac-medium");
    const std::vector<std::string>& presets = slideshow2::preset_names();
    const bool known = std::find(presets.begin(), presets.end(), preset) != presets.end();
    if (!known)
        line.refuse("there is no preset \"" + preset + "\"");
    if (!runs || !known)
        return command_line::exit_usage;
    make_show::quiet_log log;
    std::ostream& out = log.out();
    try {
        return bench_main(*runs, preset, out);
    } catch (const std::exception& e) {
        std::cerr << "kestrel_stop_bench: " << e.what() << std::endl;
        return 1;
    }
}
