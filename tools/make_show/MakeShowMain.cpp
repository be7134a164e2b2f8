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
// warnings go to standard error, its other log lines nowhere. A wait on a
// file that lasts (a share that hangs, another program's lease) is named in
// a line "waiting for <file>: <why>". Ctrl-C, SIGTERM, the terminal closing
// or the output's reader leaving ends the maker at whatever it does, also
// while a file it looks at, opens, reads, creates, writes, closes, names or
// removes does not answer (see StopSignals.h and MakerWatch.h), and leaves
// OUT as it was: an unfinished file that could not be removed then, or
// whose creation was not answered, is named (the next making in that
// folder removes it), and a video stopped while it was being named is said
// to be possibly still taking OUT's name once the disk answers, else
// staying under its hidden name; so does music
// changed in place while the video is made (cut short, written over), which
// ends the making naming it.
// The last line says where the video is ("done: " and the path, which
// follows its folder when that was moved meanwhile), or why it was not
// made; every worker of the engine has ended before it, and nothing of the
// engine comes after it. Exit status: 0 done; the producer's result code
// (1 cancelled ... 7 unexpected, 8 when not one photo could be read, each
// named) with its meaning and, where known, the output folder's problem
// when it fails (2, an unknown preset, is refused before anything is
// opened, with the names of the presets); 64 for wrong arguments and an
// OUT that may not be written (its folder missing too), 66 when the photos
// or the music cannot be had or the music changed. --help (CommandLine.h)
// prints the usage, the presets and these exit statuses, and makes nothing.

#include "CommandLine.h"
#include "MakerWatch.h"
#include "OutputTarget.h"
#include "ProgressLines.h"
#include "QuietLog.h"
#include "RefusalWords.h"
#include "ShowMaker.h"
#include "StopSignals.h"
#include "UnchangedFile.h"

#include "files/DTReadInterruption.h"
#include "slideshow2/DTSlideshowPresets.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>
#include <iomanip>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace {

using kestrel::slideshow2::slideshow_produce;

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

// How the maker ends: its status and its last line, printed once every
// worker has ended.
struct ending {
    int status = 0;
    std::string line;
    bool on_output = false; // standard output, else standard error
};

ending failed(int status, const std::string& why) { return ending{status, "kestrel_make_show: " + why, false}; }

ending with_result(int result, const std::string& cause = std::string()) {
    return failed(result, std::string(make_show::result_text(result)) + " (result " + std::to_string(result) + ")" +
                              (cause.empty() ? "" : " " + cause));
}

struct arguments {
    std::string folder, music, preset, output;
};

// The making from the photos' folder to the video, within the maker's
// read_interruption_scope: a look, an opening or a read given up for a
// stop throws read_interrupted out of it. Its workers have ended when it
// returns.
ending make(const arguments& given, make_show::progress_lines& lines, std::atomic<bool>& stop_asked) {
    std::vector<std::string> photos;
    try {
        photos = make_show::jpeg_files(given.folder);
        make_show::require_music_file(given.music);
    } catch (const kestrel::read_interrupted&) {
        throw;
    } catch (const std::exception& e) {
        return failed(exit_no_input, e.what());
    }
    const make_show::output_target target = make_show::examine_output(given.output, given.music, photos);
    if (!target.refusal.empty())
        return failed(exit_usage, "will not write " + given.output + ": " + target.refusal + "; nothing was made");

    // Watched from before it is opened, so that no change goes unseen.
    const make_show::unchanged_file music_file(given.music);
    make_show::opened_show made;
    try {
        lines.line("opening " + counted(photos.size(), "photo") + " and the music...");
        made = make_show::open_show(photos, given.music);
    } catch (const kestrel::read_interrupted&) {
        throw;
    } catch (const std::exception& e) {
        return failed(exit_no_input, e.what());
    }
    for (const make_show::left_out_photo& photo : made.skipped)
        std::cerr << "kestrel_make_show: left out: " << photo.path << ": " << photo.reason << std::endl;
    std::ostringstream slides;
    slides.imbue(std::locale::classic());
    slides << counted(made.show->count(), "slide") << ", " << made.show->av_source()->video()->duration() / 1000.0
           << " s; making " << given.output << " (" << given.preset << ")";
    lines.line(slides.str());

    std::atomic<bool> music_changed(false);
    std::vector<kestrel::slideshow2::unreadable_photo> unreadable;
    const make_show::file_outcome outcome = make_show::produce_show_file(
        made.show, given.preset, target,
        [&](double percent) {
            lines.progress(percent);
            // The rest of the video would be silent, or another song's.
            if (!music_changed && music_file.changed()) {
                music_changed = true;
                stop_asked = true;
            }
        },
        stop_asked, [&music_file] { return !music_file.changed(); }, &unreadable);
    lines.end_progress();
    // The photo cache's loads end with the show, before anything is said
    // of the production: none of them speaks after the maker's last line.
    made.show.reset();
    const int result = outcome.result;
    // With no photo to show there is no video to show them black in.
    const bool no_video = result == slideshow_produce::no_photo_readable;
    for (const kestrel::slideshow2::unreadable_photo& photo : unreadable)
        std::cerr << "kestrel_make_show: "
                  << (photo.partly_shown ? "damaged, shown as far as it could be read: "
                      : no_video         ? "could not be read: "
                                         : "could not be read, shown black: ")
                  << photo.path << ": " << make_show::refusal_words({photo.refusal, photo.reason}) << std::endl;
    // Only what is sure: the maker ends before the disk answers, and a file
    // it leaves goes at the next making in that folder.
    const std::string left =
        outcome.left_unfinished.empty() ? std::string()
        : outcome.left_unmade
            ? "the unfinished file " + outcome.left_unfinished +
                  " may still be made once the disk answers; the next video made in that folder removes it"
            : "the unfinished file " + outcome.left_unfinished +
                  " could not be removed yet; the next video made in that folder removes it";
    const auto and_left = [&left](const std::string& said) {
        return left.empty() ? said : said.empty() ? left : said + "; " + left;
    };
    if (outcome.naming_refused)
        return failed(result, "the complete video could not be named " + outcome.naming + ": " + outcome.cause +
                                  "; it stays as " + outcome.unfinished_path +
                                  ", which the next video made in that folder removes (result " +
                                  std::to_string(result) + ")");
    if (outcome.naming_unanswered)
        return failed(result, "stopped while the complete video was being named " + outcome.naming +
                                  ", which the disk has not answered: it may still appear under that name once the "
                                  "disk answers, else it stays as " + outcome.unfinished_path +
                                  ", which the next video made in that folder removes (result " +
                                  std::to_string(result) + ")");
    if (result == slideshow_produce::cancelled && music_changed)
        return failed(exit_no_input, "the music " + given.music +
                                         " changed while the video was made (cut short or written over); " +
                                         and_left(given.output + " was left as it was"));
    if (result != slideshow_produce::done)
        return with_result(result, and_left(outcome.cause));
    return ending{0, "done: " + outcome.path, true};
}

} // namespace

int main(int argc, char** argv) {
    keep_standard_streams_open();
    // From the start: a reader that leaves never ends the program at a
    // write, nor does Ctrl-C, SIGTERM or a hang-up; each stops the making
    // (before it begins, when it comes early).
    std::atomic<bool>& stop_asked = make_show::stop_asked();
    for (const int number : {SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        make_show::stop_on_signal(number);
    // Read before the engine's chatter is kept off standard output, where
    // the usage goes.
    const command_line::arguments line(argc, argv, {"kestrel_make_show", "FOLDER MUSIC PRESET OUT", help_text(), 4, 4});
    if (line.ended())
        return line.exit_status();
    // Never destroyed, so never undone: a worker left waiting for a file
    // that never answers may still log while the process ends.
    make_show::quiet_log& log = *new make_show::quiet_log;
    const arguments given{line.at(0), line.at(1), line.at(2), line.at(3)};
    const std::vector<std::string>& presets = kestrel::slideshow2::preset_names();
    if (std::find(presets.begin(), presets.end(), given.preset) == presets.end()) {
        const ending refused = with_result(slideshow_produce::invalid_preset, "There is no preset \"" + given.preset +
                                                                                  "\"; the presets are: " +
                                                                                  preset_list() + ".");
        std::cerr << refused.line << std::endl;
        return refused.status;
    }

    make_show::progress_lines lines(log.out());
    const auto interruption = std::make_shared<kestrel::read_interruption>();
    std::optional<make_show::maker_watch> watch;
    ending last;
    try {
        watch.emplace(stop_asked, interruption, [&lines](const kestrel::long_wait& wait) {
            lines.line("waiting for " + wait.file + ": " + make_show::waiting_words(wait.why));
        });
    } catch (const std::system_error& e) {
        last = with_result(slideshow_produce::unexpected_error, std::string("No thread could be started: ") + e.what());
    }
    if (watch) {
        const kestrel::read_interruption_scope scope(interruption);
        try {
            last = make(given, lines, stop_asked);
        } catch (const kestrel::read_interrupted&) {
            last = with_result(slideshow_produce::cancelled);
        }
        watch->end();
    }
    // A worker left waiting for a file that never answers says nothing
    // after the last line.
    log.silence_engine();
    (last.on_output ? log.out() : std::cerr) << last.line + "\n" << std::flush;
    return last.status;
}
