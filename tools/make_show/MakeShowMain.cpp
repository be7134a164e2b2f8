// kestrel_make_show FOLDER MUSIC PRESET OUT
//
// Makes a slideshow video of the JPEGs in FOLDER (sorted by name) with the
// music file MUSIC, through the engine's producer, for an output preset
// ("mac-medium", "tube-high", "windows-low", ...), into the file OUT: made
// under a hidden name beside it, it replaces OUT only once complete.
// Prints the progress and one line for each photo left out, naming it and
// the reason, and one for each photo that could not be read while the video
// was made (its slide is black; the video is made all the same) or was
// damaged (shown as far as it could be read); the engine's own errors and
// warnings go to standard error, its other log lines nowhere. Ctrl-C (or
// SIGTERM) stops the production and leaves OUT as it was, also while a
// photo's file does not answer. Exit status: 0 done;
// the producer's result code (1 cancelled ... 7 unexpected) with its
// meaning when it fails; 64 for wrong arguments, 66 when the photos or the
// music cannot be had.

#include "QuietLog.h"
#include "ShowMaker.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <mutex>

namespace {

const int exit_usage = 64;
const int exit_no_input = 66;

std::atomic<bool> stop_asked(false);

extern "C" void ask_to_stop(int) { stop_asked = true; }

// A line per ten percent, or one line rewritten in place on a terminal.
class progress_printer {
public:
    explicit progress_printer(std::ostream& out) : out_(out), terminal_(isatty(STDOUT_FILENO) != 0) {}

    void operator()(double percent) {
        const int whole = static_cast<int>(percent);
        std::lock_guard<std::mutex> lock(mutex_);
        // The producer reports its last percent more than once.
        if (whole == shown_)
            return;
        if (terminal_) {
            out_ << "\rproducing: " << std::setw(3) << whole << " %" << std::flush;
        } else {
            if (shown_ >= 0 && whole / 10 == shown_ / 10 && whole != 100)
                return;
            out_ << "producing: " << std::setw(3) << whole << " %" << std::endl;
        }
        shown_ = whole;
    }
    void end_line() {
        if (terminal_ && shown_ >= 0)
            out_ << std::endl;
    }

private:
    std::ostream& out_;
    const bool terminal_;
    std::mutex mutex_;
    int shown_ = -1;
};

} // namespace

int main(int argc, char** argv) {
    make_show::quiet_log log;
    std::ostream& out = log.out();
    if (argc != 5) {
        std::cerr << "usage: kestrel_make_show FOLDER MUSIC PRESET OUT" << std::endl;
        return exit_usage;
    }
    const std::string folder = argv[1], music = argv[2], preset = argv[3], output = argv[4];

    make_show::opened_show made;
    try {
        const std::vector<std::string> photos = make_show::jpeg_files(folder);
        out << "opening " << photos.size() << " photos and the music..." << std::endl;
        made = make_show::open_show(photos, music);
    } catch (const std::exception& e) {
        std::cerr << "kestrel_make_show: " << e.what() << std::endl;
        return exit_no_input;
    }
    for (const make_show::left_out_photo& photo : made.skipped)
        std::cerr << "kestrel_make_show: left out: " << photo.path << ": " << photo.reason << std::endl;
    out << made.show->count() << " slides, "
              << made.show->av_source()->video()->duration() / 1000.0 << " s; making " << output
              << " (" << preset << ")" << std::endl;

    std::signal(SIGINT, ask_to_stop);
    std::signal(SIGTERM, ask_to_stop);
    progress_printer print(out);
    int file_error = 0;
    std::vector<kestrel::slideshow2::unreadable_photo> unreadable;
    const int result = make_show::produce_show_file(
        made.show, preset, output, [&print](double percent) { print(percent); }, stop_asked, file_error,
        &unreadable);
    print.end_line();
    for (const kestrel::slideshow2::unreadable_photo& photo : unreadable)
        std::cerr << "kestrel_make_show: "
                  << (photo.partly_shown ? "damaged, shown as far as it could be read: "
                                         : "could not be read, shown black: ")
                  << photo.path << ": " << photo.reason << std::endl;
    if (result != kestrel::slideshow2::slideshow_produce::done) {
        std::cerr << "kestrel_make_show: " << make_show::result_text(result) << " (result " << result << ")";
        if (file_error != 0)
            std::cerr << " " << output << ": " << std::strerror(file_error);
        std::cerr << std::endl;
        return result;
    }
    out << "done: " << output << std::endl;
    return 0;
}
