// A whole production beside libx264 alone: a fixed show (20 generated
// 12-megapixel photos, slides of 6 s, transitions of 1.2 s, Ken Burns
// motion, music; 4:3 frames) made through the producer for "mac-medium" and
// "tube-high", beside libx264 encoding as many prepared frames with the
// same options (EncoderAlone.h). For each preset it prints the time per
// frame of:
//   encoder alone   libx264 on prepared YUV pictures: 25 smooth synthetic
//                   ones, and a slide's worth (6 s) of the show's own
//                   pictures, which cost libx264 far more (photo grain at
//                   CRF 18); the time target is judged against the latter
//   production      the producer with the renderer reading ahead on its own
//                   thread (as the application produces)
//   no read-ahead   the producer rendering each picture itself first
//   render alone    the renderer's pictures read one after another
// and the peak memory of the encoder-alone and the production processes.
// A production that overlaps rendering with encoding takes about as long
// as the slower of the two, one that does not, their sum. Targets:
// production at most 1.10 x the encoder alone per frame; its peak at most
// the encoder alone's + 150 MB.
//
//   kestrel_production_bench [slides]
//
// Every run is a process of its own (this program, started again), so that
// each peak is that run's alone. Making the photos takes about half a minute.

#include "base/DTNumberText.h"
#include "slideshow2/DTSlideshowPresets.h"

#include "EncoderAlone.h"
#include "NumberArguments.h"
#include "ProcessMemory.h"
#include "ProcessTimes.h"
#include "QuietLog.h"
#include "ShowMaker.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <locale>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace kestrel;

namespace {

const double slide_seconds = 6.0; // the application's defaults, as ShowMaker sets them
const int frames_per_second = 25;
const char* const presets[] = {"mac-medium", "tube-high"};

// What one run reports: wall and processor seconds, frames, peak memory.
struct run_figures {
    double seconds = 0.0;
    double processor_seconds = 0.0;
    int frames = 0;
    double peak_mb = 0.0;

    double ms_per_frame() const { return frames > 0 ? seconds * 1000.0 / frames : 0.0; }
};

using bench::processor_seconds;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- the runs, each in a child process --------------------------------

std::vector<std::string> photos_in(const std::string& folder) { return make_show::jpeg_files(folder); }

// The encoding's time, and the processor time of the whole call (opening
// the codec and, for the synthetic run, making its 25 pictures included).
template <class Encode>
run_figures encoded(int frames, const Encode& encode) {
    const double processor_start = processor_seconds();
    const bench::encoder_figures encoder = encode();
    run_figures run;
    run.processor_seconds = processor_seconds() - processor_start;
    run.seconds = encoder.seconds;
    run.frames = frames;
    return run;
}

run_figures encoder_run(const std::string& preset, int frames) {
    return encoded(frames, [&] { return bench::encode_alone(preset, frames, 4.0 / 3.0); });
}

// The pictures of the show's second slide (its first, with one slide),
// fades at both ends, as the producer would take them, made before the
// clock starts.
run_figures encoder_on_show_run(const std::string& preset, int frames, const std::string& folder,
                                const std::string& music) {
    std::vector<AVFramePtr> pictures;
    {
        const make_show::opened_show made = make_show::open_show(photos_in(folder), music);
        const av_source_ptr source = made.show->av_source();
        source->apply_settings(slideshow2::apply_preset(preset, media_settings::create()));
        const int slide_frames = static_cast<int>(slide_seconds * frames_per_second);
        source->seek(made.show->count() > 1 ? slide_seconds * 1000.0 : 0.0);
        for (int i = 0; i < slide_frames; ++i) {
            const video_data_timed_ptr frame = source->video()->read();
            if (!frame)
                break;
            pictures.push_back(bench::yuv_picture(frame->data->plane_data(0), frame->data->line_size(0),
                                                  frame->data->width(), frame->data->height()));
        }
    }
    return encoded(frames, [&] { return bench::encode_prepared(preset, frames, pictures); });
}

run_figures production_run(const std::string& preset, const std::string& folder, const std::string& music,
                           const std::string& output, bool read_ahead) {
    const make_show::opened_show made = make_show::open_show(photos_in(folder), music);
    run_figures run;
    run.frames = static_cast<int>(made.show->av_source()->video()->duration() * frames_per_second / 1000.0 + 0.5);
    const std::atomic<bool> never(false);
    const double processor_start = processor_seconds();
    const auto start = std::chrono::steady_clock::now();
    const int result = make_show::produce_show(made.show, preset, output, {}, never, read_ahead);
    run.seconds = seconds_since(start);
    run.processor_seconds = processor_seconds() - processor_start;
    if (result != 0)
        throw std::runtime_error(std::string("production failed: ") + make_show::result_text(result));
    return run;
}

// The preset's frame size and rate applied, as the producer applies them,
// then every picture read directly.
run_figures render_run(const std::string& preset, const std::string& folder, const std::string& music) {
    const make_show::opened_show made = make_show::open_show(photos_in(folder), music);
    const av_source_ptr source = made.show->av_source();
    source->apply_settings(slideshow2::apply_preset(preset, media_settings::create()));
    run_figures run;
    const double processor_start = processor_seconds();
    const auto start = std::chrono::steady_clock::now();
    source->seek(0.0);
    while (source->video()->read())
        ++run.frames;
    run.seconds = seconds_since(start);
    run.processor_seconds = processor_seconds() - processor_start;
    return run;
}

int child_main(const std::vector<std::string>& args, std::ostream& out) {
    run_figures run;
    const std::string& kind = args.at(0);
    if (kind == "encoder")
        run = encoder_run(args.at(1), text::from_text<int>(args.at(2)));
    else if (kind == "encoder-show")
        run = encoder_on_show_run(args.at(1), text::from_text<int>(args.at(2)), args.at(3), args.at(4));
    else if (kind == "produce")
        run = production_run(args.at(1), args.at(2), args.at(3), args.at(4), args.at(5) == "ahead");
    else if (kind == "render")
        run = render_run(args.at(1), args.at(2), args.at(3));
    else
        throw std::runtime_error("unknown run " + kind);
    run.peak_mb = bench::peak_memory_mb();
    out << "figures " << run.seconds << ' ' << run.processor_seconds << ' ' << run.frames << ' ' << run.peak_mb
        << std::endl;
    return 0;
}

// ---- the parent: the show's files, the runs, the table -----------------

std::string quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string own_path() {
    std::array<char, 4096> path{};
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        throw std::runtime_error("cannot find this program's path");
    return std::string(path.data(), static_cast<std::size_t>(length));
}

run_figures run_child(const std::string& program, const std::vector<std::string>& args) {
    std::string command = quoted(program) + " --run";
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start " + command);
    std::string output;
    std::array<char, 4096> chunk{};
    while (std::fgets(chunk.data(), static_cast<int>(chunk.size()), pipe))
        output += chunk.data();
    const int status = pclose(pipe);
    std::istringstream lines(output);
    lines.imbue(std::locale::classic());
    std::string word;
    run_figures run;
    while (lines >> word)
        if (word == "figures" && lines >> run.seconds >> run.processor_seconds >> run.frames >> run.peak_mb &&
            status == 0)
            return run;
    throw std::runtime_error("the run " + command + " failed");
}

void make_files(const test::TempDir& folder, int slides) {
    std::vector<std::thread> painters;
    const int width = 4000, height = 3000;
    const unsigned threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    for (unsigned t = 0; t < threads; ++t)
        painters.emplace_back([&, t] {
            for (int i = static_cast<int>(t); i < slides; i += static_cast<int>(threads)) {
                test::jpeg_options options;
                options.width = width;
                options.height = height;
                options.quality = 86 + i % 10; // no two files alike
                std::ostringstream name;
                name << "photos/photo-" << std::setw(2) << std::setfill('0') << i << ".jpg";
                test::write_file(folder.file(name.str()),
                                 test::make_jpeg(options, test::photo_like_painter(width, height, true)));
            }
        });
    for (std::thread& painter : painters)
        painter.join();
    test::tone_file tone;
    tone.extension = "mp3";
    tone.seconds = slides * slide_seconds + 10.0; // cut to the show and faded out
    test::make_tone_file(folder.file("music.mp3"), tone);
}

int parent_main(int slides, std::ostream& out) {
    const int frames = static_cast<int>(slides * slide_seconds * frames_per_second);
    test::TempDir folder;
    std::filesystem::create_directories(folder.file("photos"));
    out << "making " << slides << " 4000x3000 photos and " << slides * slide_seconds << " s of music..."
        << std::endl;
    make_files(folder, slides);
    const std::string program = own_path();
    const std::string photos = folder.file("photos"), music = folder.file("music.mp3");

    out << std::fixed << std::setprecision(2);
    out << "show: " << slides << " slides of 6 s, transitions 1.2 s, Ken Burns, music, 4:3; " << frames
        << " frames" << std::endl;
    bool met = true;
    for (const char* preset : presets) {
        const run_figures synthetic = run_child(program, {"encoder", preset, std::to_string(frames)});
        const run_figures encoder =
            run_child(program, {"encoder-show", preset, std::to_string(frames), photos, music});
        const run_figures production =
            run_child(program, {"produce", preset, photos, music, folder.file("show-ahead"), "ahead"});
        const run_figures direct =
            run_child(program, {"produce", preset, photos, music, folder.file("show-direct"), "direct"});
        const run_figures render = run_child(program, {"render", preset, photos, music});
        const double ratio = production.ms_per_frame() / encoder.ms_per_frame();
        const double extra_mb = production.peak_mb - synthetic.peak_mb;
        met = met && ratio <= 1.10 && extra_mb <= 150.0;
        out << preset << " (" << production.frames << " frames)\n"
            << "  encoder alone  " << std::setw(7) << synthetic.ms_per_frame()
            << " ms/frame (synthetic pictures)  peak " << std::setw(7) << synthetic.peak_mb << " MB\n"
            << "  encoder alone  " << std::setw(7) << encoder.ms_per_frame()
            << " ms/frame (the show's pictures)  processor "
            << encoder.processor_seconds * 1000.0 / encoder.frames << " ms/frame\n"
            << "  production     " << std::setw(7) << production.ms_per_frame() << " ms/frame  " << std::setw(5)
            << ratio << "x  peak " << std::setw(7) << production.peak_mb << " MB (+" << extra_mb
            << ")  processor " << production.processor_seconds * 1000.0 / production.frames << " ms/frame\n"
            << "  no read-ahead  " << std::setw(7) << direct.ms_per_frame() << " ms/frame  " << std::setw(5)
            << direct.ms_per_frame() / encoder.ms_per_frame() << "x  processor "
            << direct.processor_seconds * 1000.0 / direct.frames << " ms/frame\n"
            << "  render alone   " << std::setw(7) << render.ms_per_frame() << " ms/frame  processor "
            << render.processor_seconds * 1000.0 / render.frames << " ms/frame\n"
            << "  overlap: production " << production.ms_per_frame() << " ms vs sum of parts "
            << encoder.ms_per_frame() + render.ms_per_frame() << " ms" << std::endl;
    }
    out << "targets (production <= 1.10x encoder alone, peak <= encoder alone + 150 MB): "
        << (met ? "met" : "NOT met") << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // "--run": one run, in a process of its own, started by this program.
    const bool child = argc > 1 && std::string(argv[1]) == "--run";
    std::optional<int> slides;
    if (!child) {
        const command_line::arguments line(
            argc, argv,
            {"kestrel_production_bench", "[slides]",
             "Makes a fixed show (generated 12-megapixel JPEGs, 6 s slides, 1.2 s transitions, Ken Burns,\n"
             "music, 4:3 frames) through the producer for mac-medium and tube-high, and beside it libx264 alone\n"
             "encoding as many frames with the same options, each run in a process of its own, and prints the\n"
             "time per frame and the peak memory of each. The whole run takes several minutes.\n"
             "  slides  photos in the show, 1 to 1000 (default 20)\n",
             0, 1});
        if (line.ended())
            return line.exit_status();
        slides = bench::whole_number(line, 0, "slides", 20, 1, 1000);
        if (!slides)
            return command_line::exit_usage;
    }
    make_show::quiet_log log;
    std::ostream& out = log.out();
    try {
        if (child)
            return child_main(std::vector<std::string>(argv + 2, argv + argc), out);
        return parent_main(*slides, out);
    } catch (const std::exception& e) {
        std::cerr << "kestrel_production_bench: " << e.what() << std::endl;
        return 1;
    }
}
