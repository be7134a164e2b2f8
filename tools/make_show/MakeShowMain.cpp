// kestrel_make_show FOLDER MUSIC PRESET OUT
//
// Makes a slideshow video of the JPEGs in FOLDER (sorted by name as the
// program sorts them: digits by value, letters without regard to case) with
// the music file MUSIC, through the engine's producer, for an output preset
// ("mac-medium", "tube-high", "windows-low", ...), into the file OUT: made
// under a hidden name beside it, it replaces OUT only once complete. What
// OUT may be is decided before anything is made (see OutputTarget.h).
// Paths are bytes, taken and shown as they are.
// Prints the progress and one line for each photo left out, naming it and
// the reason, and one for each photo that could not be read while the video
// was made (its slide is black; the video is made all the same, unless not
// one photo could be read) or was damaged (shown as far as it could be
// read); the engine's own errors and
// warnings go to standard error, its other log lines nowhere. Ctrl-C,
// SIGTERM, the terminal closing or the output's reader leaving stops the
// production and leaves OUT as it was, also while a photo's file does not
// answer (see StopSignals.h); so does music changed in place while the
// video is made (cut short, written over), which ends the making naming it.
// The last line says where the video is ("done: " and the path, which
// follows its folder when that was moved meanwhile), or why it was not
// made. Exit status: 0 done; the producer's result code (1 cancelled ... 7
// unexpected, 8 when not one photo could be read, each named) with its
// meaning and, where known, the output folder's problem when it fails (2,
// an unknown preset, is refused before anything is opened, with the names
// of the presets); 64 for wrong arguments and an OUT that may not be
// written (its folder missing too), 66 when the photos or the music cannot
// be had or the music changed. A stop asked while the photos open ends
// the maker as cancelled once they have. --help (CommandLine.h) prints the
// usage, the presets and these exit statuses, and makes nothing.

#include "CommandLine.h"
#include "OutputTarget.h"
#include "QuietLog.h"
#include "ShowMaker.h"
#include "StopSignals.h"
#include "UnchangedFile.h"

#include "slideshow2/DTSlideshowPresets.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <sstream>

namespace {

const int exit_usage = command_line::exit_usage;
const int exit_no_input = 66;
const char* const exit_usage_text = "wrong arguments, or an OUT that may not be written (its folder missing too)";
const char* const exit_no_input_text =
    "the photos or the music cannot be had, or the music changed while the video was made";

// Standard output or error closed when the program starts would go to the
// first file it opens, the video's perhaps: /dev/null takes their place.
void keep_standard_streams_open() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && ::open("/dev/null", O_RDWR) == -1)
            return;
    }
}

// "1 photo", "2 photos".
std::string counted(std::size_t count, const char* thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

std::string preset_list() {
    std::string list;
    for (const std::string& name : kestrel::slideshow2::preset_names())
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

// What --help prints after the usage line; the results' meanings are the
// ones the failures print.
std::string help_text() {
    std::ostringstream text;
    text << "Makes a slideshow video of the JPEGs in FOLDER (sorted by name) with the music file MUSIC,\n"
            "for the output PRESET, into the file OUT, which is replaced only once the video is complete.\n"
            "\npresets: "
         << preset_list() << "\n\nexit status:\n";
    using produce = kestrel::slideshow2::slideshow_produce;
    for (int result = produce::done; result <= produce::no_photo_readable; ++result)
        text << std::setw(4) << result << "  " << make_show::result_text(result) << "\n";
    text << std::setw(4) << exit_usage << "  " << exit_usage_text << "\n"
         << std::setw(4) << exit_no_input << "  " << exit_no_input_text << "\n";
    return text.str();
}

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
    keep_standard_streams_open();
    // From the start: a reader that leaves never ends the program at a
    // write, nor does Ctrl-C, SIGTERM or a hang-up while the photos open;
    // each stops the making (before it begins, when it comes early).
    std::atomic<bool>& stop_asked = make_show::stop_asked();
    for (const int number : {SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        make_show::stop_on_signal(number);
    // Read before the engine's chatter is kept off standard output, where
    // the usage goes.
    const command_line::arguments line(argc, argv, {"kestrel_make_show", "FOLDER MUSIC PRESET OUT", help_text(), 4, 4});
    if (line.ended())
        return line.exit_status();
    make_show::quiet_log log;
    std::ostream& out = log.out();
    const std::string folder = line.at(0), music = line.at(1), preset = line.at(2), output = line.at(3);
    const std::vector<std::string>& presets = kestrel::slideshow2::preset_names();
    if (std::find(presets.begin(), presets.end(), preset) == presets.end()) {
        const int result = kestrel::slideshow2::slideshow_produce::invalid_preset;
        std::cerr << "kestrel_make_show: " << make_show::result_text(result) << " (result " << result
                  << ") There is no preset \"" << preset << "\"; the presets are: " << preset_list() << "."
                  << std::endl;
        return result;
    }

    std::vector<std::string> photos;
    try {
        photos = make_show::jpeg_files(folder);
        make_show::require_music_file(music);
    } catch (const std::exception& e) {
        std::cerr << "kestrel_make_show: " << e.what() << std::endl;
        return exit_no_input;
    }
    const make_show::output_target target = make_show::examine_output(output, music, photos);
    if (!target.refusal.empty()) {
        std::cerr << "kestrel_make_show: will not write " << output << ": " << target.refusal
                  << "; nothing was made" << std::endl;
        return exit_usage;
    }

    // Watched from before it is opened, so that no change goes unseen.
    const make_show::unchanged_file music_file(music);
    make_show::opened_show made;
    try {
        out << "opening " << counted(photos.size(), "photo") << " and the music..." << std::endl;
        made = make_show::open_show(photos, music, &stop_asked);
    } catch (const std::exception& e) {
        std::cerr << "kestrel_make_show: " << e.what() << std::endl;
        return exit_no_input;
    }
    if (made.stopped) {
        const int result = kestrel::slideshow2::slideshow_produce::cancelled;
        std::cerr << "kestrel_make_show: " << make_show::result_text(result) << " (result " << result << ")"
                  << std::endl;
        return result;
    }
    for (const make_show::left_out_photo& photo : made.skipped)
        std::cerr << "kestrel_make_show: left out: " << photo.path << ": " << photo.reason << std::endl;
    out << counted(made.show->count(), "slide") << ", " << made.show->av_source()->video()->duration() / 1000.0
        << " s; making " << output << " (" << preset << ")" << std::endl;

    progress_printer print(out);
    std::atomic<bool> music_changed(false);
    std::vector<kestrel::slideshow2::unreadable_photo> unreadable;
    const make_show::file_outcome outcome = make_show::produce_show_file(
        made.show, preset, target,
        [&](double percent) {
            print(percent);
            // The rest of the video would be silent, or another song's.
            if (!music_changed && music_file.changed()) {
                music_changed = true;
                stop_asked = true;
            }
        },
        stop_asked, [&music_file] { return !music_file.changed(); }, &unreadable);
    print.end_line();
    const int result = outcome.result;
    // With no photo to show there is no video to show them black in.
    const bool no_video = result == kestrel::slideshow2::slideshow_produce::no_photo_readable;
    for (const kestrel::slideshow2::unreadable_photo& photo : unreadable)
        std::cerr << "kestrel_make_show: "
                  << (photo.partly_shown ? "damaged, shown as far as it could be read: "
                      : no_video         ? "could not be read: "
                                         : "could not be read, shown black: ")
                  << photo.path << ": " << photo.reason << std::endl;
    if (result == kestrel::slideshow2::slideshow_produce::cancelled && music_file.changed()) {
        std::cerr << "kestrel_make_show: the music " << music
                  << " changed while the video was made (cut short or written over); " << output
                  << " was left as it was" << std::endl;
        return exit_no_input;
    }
    if (result != kestrel::slideshow2::slideshow_produce::done) {
        std::cerr << "kestrel_make_show: " << make_show::result_text(result) << " (result " << result << ")";
        if (!outcome.cause.empty())
            std::cerr << " " << outcome.cause;
        std::cerr << std::endl;
        return result;
    }
    out << "done: " << outcome.path << std::endl;
    return 0;
}
