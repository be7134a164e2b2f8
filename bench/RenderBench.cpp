// The slideshow renderer beside libx264, and the renderer's memory.
//
//   kestrel_render_bench [frames]        (default 140, from 10 to 145)
//
// 1. Frames rendered per second at 1280x720 and 1920x1080, as the producer
//    reads them (a copy of the frame, then the next frame drawn), from
//    12-megapixel photos moving along a Ken Burns motion: one slide per
//    frame (no transition) and two (every frame inside a transition).
// 2. libx264's encode time per frame on the same rendered pictures, with
//    the codec options of the "mac-medium" and "tube-high" output presets
//    (crf 18, profile main or high, level 4.1, one thread per processor).
//    Target: rendering a frame costs at most 0.25 of encoding it, in
//    processor time of all threads (the two share the processors while a
//    show is made); the wall-clock ratio is printed beside it.
// 3. The peak memory (VmHWM) of a fresh process that renders a whole show
//    of 20 and of 300 twelve-megapixel photos at 1280x720, read ahead as
//    the producer reads it: the process's peak, the show loaded (its
//    slides and photo objects) and the peak rendering adds to it. Target:
//    rendering 300 photos within 10 % of rendering 20.

#include "slideshow2/DTGilSlideshowCache.h"
#include "sdk/src/slideshow2/RenderedShows.h"

#include "EncoderAlone.h"
#include "NumberArguments.h"
#include "ProcessMemory.h"
#include "ProcessTimes.h"

#include <boost/make_shared.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace kestrel;
namespace fs = std::filesystem;

namespace {

const int photo_width = 4000;
const int photo_height = 3000;
const int distinct_photos = 5;
// Timed runs of each kind; the fastest counts, as the machine may be busy.
const int rounds = 3;

typedef std::chrono::steady_clock bench_clock;

double seconds_since(bench_clock::time_point begin) {
    return std::chrono::duration<double>(bench_clock::now() - begin).count();
}

std::vector<std::string> make_photos(const fs::path& dir) {
    std::vector<std::string> paths;
    for (int i = 0; i < distinct_photos; ++i) {
        test::jpeg_options options;
        options.width = photo_width;
        options.height = photo_height;
        options.quality = 92;
        const std::string bytes =
            test::make_jpeg(options, test::photo_like_painter(photo_width, photo_height, i % 2 == 1));
        const fs::path path = dir / ("photo-" + std::to_string(i) + ".jpg");
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        paths.push_back(path.string());
    }
    return paths;
}

// Milliseconds per frame by the wall clock and in processor time of all
// the process's threads.
struct frame_cost {
    double wall = 1e300;
    double processor = 1e300;
};

using bench::processor_seconds;

// Runs `work` once and keeps the lower of each figure.
template <class Work>
void measure(frame_cost& cost, int frames, const Work& work) {
    const auto begin = bench_clock::now();
    const double processor_begin = processor_seconds();
    work();
    cost.wall = std::min(cost.wall, seconds_since(begin) * 1000.0 / frames);
    cost.processor = std::min(cost.processor, (processor_seconds() - processor_begin) * 1000.0 / frames);
}

struct render_result {
    frame_cost cost;
    std::vector<video_data_ptr> frames;
};

// Direct reads after a warm-up seek that has the photos decoded. Slides of
// 60 s: without transitions slide 0 alone from 0; with a transition of
// 60 s, from 57 200 on every frame draws slides 0 and 1, both with a
// weight above 0 (for up to 145 frames). The frames are dropped as they come,
// as the producer drops them once encoded; a second, untimed run keeps
// them for the encoder.
render_result render(const std::vector<std::string>& photos, int frame_height, bool transitions,
                     int frames) {
    auto show = test::make_show({photos[0], photos[1], photos[2]}, "ls_lr_out", frame_height, "60",
                                transitions ? "60" : "0");
    const double start = transitions ? 57200 : 0;
    render_result result;
    show->av_source()->seek(start);
    // The photos of the next slides load ahead; the runs time rendering alone.
    while (show->core().photo_cache().running_loads() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto run = [&](bool keep) {
        show->av_source()->seek(start);
        for (int i = 0; i < frames; ++i) {
            const video_data_timed_ptr frame = show->av_source()->video()->read();
            if (!frame)
                throw std::runtime_error("the show ended early");
            if (keep)
                result.frames.push_back(frame->data);
        }
    };
    for (int round = 0; round < rounds; ++round)
        measure(result.cost, frames, [&] { run(false); });
    run(true);
    return result;
}

const char* const presets[] = {"mac-medium", "tube-high"};

// The preset's encoder on the rendered pictures, converted to YUV 4:2:0
// beforehand; the time from the first picture sent to the last packet out,
// per picture.
void encode(const char* preset, const std::vector<video_data_ptr>& pictures, frame_cost& cost) {
    std::vector<AVFramePtr> yuv;
    for (const video_data_ptr& picture : pictures)
        yuv.push_back(bench::yuv_picture(picture->plane_data(0), picture->line_size(0), picture->width(),
                                         picture->height()));
    const AVCodecContextPtr encoder = bench::open_encoder(preset, yuv.front()->width, yuv.front()->height);
    const int frames = static_cast<int>(yuv.size());
    measure(cost, frames, [&] { bench::encode_frames(encoder.get(), yuv, frames); });
}

frame_cost encode_cost(const char* preset, const std::vector<video_data_ptr>& pictures) {
    frame_cost cost;
    for (int round = 0; round < rounds; ++round)
        encode(preset, pictures, cost);
    return cost;
}

// A figure of /proc/self/status in kB ("VmHWM", "VmRSS").
long status_kilobytes(const char* field) { return static_cast<long>(bench::memory_mb(field) * 1024.0); }

// In a fresh process: a whole show of `count` slides over the photos in
// `dir`, read ahead at 1280x720 and taken 3 ms a frame, as the producer
// takes it. Prints the
// process's peak and, the peak having been reset once the show stood, the
// peak that rendering added to the loaded show.
int memory_run(const std::string& dir, int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
        paths.push_back((fs::path(dir) / ("slide-" + std::to_string(i) + ".jpg")).string());
    auto show = test::make_show(paths, "ls_diag_br_out", 720, "0.4", "0.2");
    const long loaded = status_kilobytes("VmRSS");
    const long peak_before = status_kilobytes("VmHWM");
    bench::reset_peak_memory(); // the peak starts again from here
    show->set_buffered(true);
    show->av_source()->seek(0);
    int frames = 0;
    // Like the producer, whose encoder takes longer per frame than the
    // renderer, so that the read-ahead queue stays full.
    while (show->av_source()->video()->read()) {
        ++frames;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    show->set_buffered(false);
    const long peak_rendering = status_kilobytes("VmHWM");
    show.reset();
    std::cout << "frames " << frames << " peak " << std::max(peak_before, peak_rendering) << " loaded " << loaded
              << " rendering " << peak_rendering - loaded << std::endl;
    return 0;
}

struct memory_figures {
    long peak = -1;      // kB, the whole process
    long loaded = -1;    // kB, the show built, before rendering
    long rendering = -1; // kB, the peak above `loaded` while rendering
};

// Runs this program again for one memory run and reads its figures.
memory_figures measure_memory(const std::string& dir, int count) {
    const std::string command = fs::read_symlink("/proc/self/exe").string() + " --memory-run '" + dir + "' " +
                                std::to_string(count) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start the memory run");
    char line[4096];
    memory_figures figures;
    while (std::fgets(line, sizeof line, pipe)) {
        int frames = 0;
        memory_figures read;
        if (std::sscanf(line, "frames %d peak %ld loaded %ld rendering %ld", &frames, &read.peak, &read.loaded,
                        &read.rendering) == 4)
            figures = read;
    }
    pclose(pipe);
    if (figures.peak < 0)
        throw std::runtime_error("the memory run failed");
    return figures;
}

// The slides' files: hard links to the generated photos, one per slide.
void link_slides(const fs::path& dir, const std::vector<std::string>& photos, int count) {
    for (int i = 0; i < count; ++i) {
        const fs::path link = dir / ("slide-" + std::to_string(i) + ".jpg");
        if (!fs::exists(link))
            fs::create_hard_link(photos[static_cast<std::size_t>(i) % photos.size()], link);
    }
}

} // namespace

int main(int argc, char** argv) {
    // One memory run, in a process of its own, started by this program.
    if (argc == 4 && std::string(argv[1]) == "--memory-run")
        return memory_run(argv[2], std::atoi(argv[3]));
    const command_line::arguments line(
        argc, argv,
        {"kestrel_render_bench", "[frames]",
         "Prints the slideshow renderer's time per frame at 1280x720 and 1920x1080 (one slide, and two\n"
         "inside a transition) beside libx264's encode time per frame on the same pictures with the\n"
         "mac-medium and tube-high options, then the peak memory of whole shows of 20 and of 300\n"
         "12-megapixel photos rendered at 1280x720, each in a process of its own. The figures go to\n"
         "standard error.\n"
         "  frames  frames rendered and encoded per run, 10 to 145 (default 140)\n",
         0, 1});
    if (line.ended())
        return line.exit_status();
    const std::optional<int> frames_given = bench::whole_number(line, 0, "frames", 140, 10, 145);
    if (!frames_given)
        return command_line::exit_usage;
    const int frames = *frames_given;
    // Keep the renderer's per-frame lines out of the figures.
    if (!std::freopen("/dev/null", "w", stdout))
        return 1;
    std::ostream out(std::cerr.rdbuf());
    out.setf(std::ios::fixed);
    out.precision(2);
    const fs::path dir = fs::temp_directory_path() / ("kestrel-render-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    try {
        out << "generating " << distinct_photos << " photos of " << photo_width << "x" << photo_height << "\n";
        const std::vector<std::string> photos = make_photos(dir);
        out << "\nms per frame, wall clock / processor time (all threads); fastest of " << rounds << " runs\n"
               "frame        render 1 slide   render 2 slides   x264 mac-medium   x264 tube-high\n";
        const auto pair = [&out](const frame_cost& cost) -> std::ostream& {
            return out << std::setw(6) << cost.wall << " / " << std::setw(6) << cost.processor;
        };
        std::vector<double> wall_ratios, processor_ratios;
        for (const int height : {720, 1080}) {
            const render_result single = render(photos, height, false, frames);
            const render_result both = render(photos, height, true, frames);
            const frame_cost mac = encode_cost(presets[0], both.frames);
            const frame_cost tube = encode_cost(presets[1], both.frames);
            out << both.frames.front()->width() << "x" << height << (height == 720 ? "  " : " ");
            pair(single.cost) << "  ";
            pair(both.cost) << "   ";
            pair(mac) << "    ";
            pair(tube) << "\n";
            wall_ratios.push_back(both.cost.wall / std::min(mac.wall, tube.wall));
            processor_ratios.push_back(both.cost.processor / std::min(mac.processor, tube.processor));
            out << "             frames per second: " << 1000 / single.cost.wall << " (1 slide), "
                << 1000 / both.cost.wall << " (2 slides)\n";
        }
        const double worst_wall = std::max(wall_ratios[0], wall_ratios[1]);
        const double worst_processor = std::max(processor_ratios[0], processor_ratios[1]);
        // Rendering and encoding share the processors while a show is made,
        // so the cost that decides whether the renderer holds the encoder
        // back is processor time; the wall clock follows how busy the
        // machine is.
        out << "render / encode, 2 slides against the faster preset, worst frame size: processor "
            << worst_processor << " (target <= 0.25: " << (worst_processor <= 0.25 ? "met" : "NOT met")
            << "), wall clock " << worst_wall << "\n";

        link_slides(dir, photos, 300);
        const memory_figures small = measure_memory(dir.string(), 20);
        const memory_figures large = measure_memory(dir.string(), 300);
        const auto mib = [](long kb) { return kb / 1024.0; };
        const double growth = 100.0 * (large.rendering - small.rendering) / small.rendering;
        out << "\npeak memory, whole show read ahead at 1280x720 (MiB):\n"
               "             process peak   show loaded   rendering's own peak above it\n"
            << "   20 photos " << std::setw(10) << mib(small.peak) << std::setw(14) << mib(small.loaded)
            << std::setw(14) << mib(small.rendering) << "\n"
            << "  300 photos " << std::setw(10) << mib(large.peak) << std::setw(14) << mib(large.loaded)
            << std::setw(14) << mib(large.rendering) << "\n"
            << "rendering 300 photos against 20: " << growth << " % (target <= 10 %: "
            << (growth <= 10.0 ? "met" : "NOT met") << "); the process peak grows with the show's own "
            << (mib(large.loaded) - mib(small.loaded)) * 1024 / 280 << " KiB a photo\n";
    } catch (const std::exception& e) {
        out << "failed: " << e.what() << "\n";
        fs::remove_all(dir);
        return 1;
    }
    fs::remove_all(dir);
    return 0;
}
