#include "ShowMaker.h"

#include "RefusalWords.h"

#include "audio/DTAudioTrackFile.h"
#include "base/DTNameOrder.h"
#include "files/DTAbandonableVideo.h"
#include "files/DTFailureReason.h"
#include "files/DTFolderEntries.h"
#include "files/DTOutputFolderProblem.h"
#include "files/DTPathFacts.h"
#include "files/DTReadInterruption.h"
#include "files/DTRegularFile.h"
#include "files/DTStopDeadline.h"
#include "slideshow2/DTGilSlideshow.h"
#include "slideshow2/DTPhotoManager.h"
#include "slideshow2/DTSlide.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace kestrel;
using namespace kestrel::slideshow2;

namespace make_show {

namespace {

// How often a production looks whether a stop was asked: a small part of
// the time a stop may take.
const std::chrono::milliseconds stop_poll(10);

bool is_jpeg_name(const std::string& name) {
    std::string extension = fs::path(name).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".jpg" || extension == ".jpeg";
}

// Anything but a folder is offered as a photo: a named pipe or a device
// is refused when it is opened, and named with why; so is what cannot be
// looked at now (a link to nothing, a share that does not answer).
bool is_photo_candidate(const std::string& path) {
    const path_facts facts = look_at_path(path);
    return facts.error != 0 || !S_ISDIR(facts.mode);
}

// The slides' answers, from the photo manager's workers.
struct open_answers {
    std::mutex mutex;
    std::condition_variable arrived;
    std::size_t count = 0;
    std::vector<bool> opened;
};

} // namespace

std::vector<std::string> jpeg_files(const std::string& folder) {
    const path_facts facts = look_at_path(folder);
    if (facts.error == ENOENT || facts.error == ENOTDIR) {
        if (S_ISLNK(look_at_path(folder, false).mode))
            throw std::runtime_error("the folder " + folder + " is a link to nothing");
        throw std::runtime_error("the folder " + folder + " does not exist");
    }
    if (facts.error)
        throw std::runtime_error("cannot read the folder " + folder + ": " +
                                 refusal_words(refused_file{facts.refusal, facts.reason}));
    if (!S_ISDIR(facts.mode))
        throw std::runtime_error("not a folder: " + folder);
    std::vector<std::string> names;
    file_refusal refusal = file_refusal::none;
    if (const int error = list_folder(folder, names, true, std::chrono::steady_clock::duration::zero(), &refusal))
        throw std::runtime_error("cannot read the folder " + folder + ": " +
                                 refusal_words(refused_file{refusal, errors::file_access_reason(error)}));
    const std::string within = !folder.empty() && folder.back() == '/' ? folder : folder + "/";
    std::vector<std::string> files;
    for (const std::string& name : names) {
        if (is_jpeg_name(name) && is_photo_candidate(within + name))
            files.push_back(within + name);
    }
    std::sort(files.begin(), files.end(), name_order_less);
    return files;
}

void require_music_file(const std::string& music) {
    const std::string refusal = file_kind_reason(music);
    if (!refusal.empty())
        throw std::runtime_error("no music file at " + music + ": " + refusal);
}

opened_show open_show(const std::vector<std::string>& photos, const std::string& music) {
    const read_interruption_ptr stop = current_read_interruption();
    require_music_file(music);
    audio_track_ptr track;
    try {
        // Looping, as the application opens it: a song shorter than the
        // show starts again until the show's sound fades out.
        track = create_audio_track_file(music, nullptr, true);
    } catch (...) {
        // The decoder words a read given up as a failure of its own.
        if (stop && stop->on())
            KESTREL_THROW(read_interrupted());
        const std::exception_ptr failure = std::current_exception();
        throw std::runtime_error("cannot open the music " + music + ": " +
                                 refusal_words(refused_file{refusal_of(failure), errors::reason_of(failure)}));
    }

    initialize();
    opened_show made;
    made.show = create_gil_slideshow();
    made.show->apply_settings(media_settings::create()
                                  ->set("slide-duration", "6.0")
                                  ->set("transition-duration", "1.2")
                                  ->set("align-to-audio", "0")
                                  ->set("ken-burns", "1")
                                  ->set("frame-aspect", "4/3"));

    const auto answers = std::make_shared<open_answers>();
    answers->opened.assign(photos.size(), false);
    std::vector<slide_ptr> slides;
    {
        // Joined when it goes, so every load has answered by then.
        const photo_manager_ptr manager = photo_manager::create(media_settings::create()
                                                                    ->set("max-side-length", "180")
                                                                    ->set("correct-orientation", "1"));
        for (std::size_t i = 0; i < photos.size(); ++i) {
            slides.push_back(made.show->add_slide());
            slides.back()->open_photo(manager, photos[i], media_settings_ptr(),
                                      [answers, i](slide::OpenResult result) {
                                          std::lock_guard<std::mutex> lock(answers->mutex);
                                          answers->opened[i] = result == slide::opened;
                                          ++answers->count;
                                          answers->arrived.notify_all();
                                      },
                                      std::string());
        }
        std::unique_lock<std::mutex> lock(answers->mutex);
        while (!answers->arrived.wait_for(lock, stop_poll, [&] { return answers->count == photos.size(); })) {
            // The manager gives up the reads still waiting as it goes.
            if (stop && stop->on())
                KESTREL_THROW(read_interrupted());
        }
    }
    for (std::size_t i = photos.size(); i-- > 0;) {
        if (answers->opened[i])
            continue;
        made.skipped.insert(made.skipped.begin(), left_out_photo{photos[i], refusal_words(slides[i]->open_failure())});
        made.show->remove_slide(i);
    }
    if (made.show->count() == 0)
        throw std::runtime_error(photos.empty() ? "no photos" : "none of the photos could be opened");
    made.show->set_audio_track(track);
    return made;
}

slideshow_produce::Result produce_show(const slideshow_ptr& show, const std::string& preset,
                                       const std::string& output,
                                       const std::function<void(double)>& progress,
                                       const std::atomic<bool>& stop_asked, bool read_ahead,
                                       std::vector<unreadable_photo>* unreadable,
                                       std::optional<stop_deadline>* stopped) {
    struct ending {
        std::mutex mutex;
        std::condition_variable reported;
        bool finished = false;
        slideshow_produce::Result result = slideshow_produce::unexpected_error;
    };
    const auto end = std::make_shared<ending>();
    const media_settings_ptr settings = media_settings::create("produce-preset", preset);
    const slideshow_produce_ptr producer =
        read_ahead ? slideshow_produce_creator::create(show, output, settings)
                   : slideshow_produce_creator::create(show->av_source(), show, buffering_switch(), output,
                                                       settings);
    producer->produce(
        [progress](double percent, video_data_ptr) {
            if (progress)
                progress(percent);
        },
        [end](slideshow_produce::Result result) {
            std::lock_guard<std::mutex> lock(end->mutex);
            end->result = result;
            end->finished = true;
            end->reported.notify_all();
        });
    std::unique_lock<std::mutex> lock(end->mutex);
    bool stopping = false;
    while (!end->reported.wait_for(lock, stop_poll, [&] { return end->finished; })) {
        if (stop_asked && !stopping) {
            stopping = true;
            if (stopped)
                stopped->emplace();
            lock.unlock();
            producer->stop();
            lock.lock();
        }
    }
    if (unreadable)
        *unreadable = producer->unreadable_photos();
    return end->result;
}

namespace {

// Why the video could not be written, asked while its unfinished file still
// takes its room, as the writer saw the folder.
std::string write_failure_cause(int result, abandonable_video& video) {
    if (result != slideshow_produce::create_file_failed && result != slideshow_produce::muxer_failed)
        return std::string();
    const std::string folder = video.folder_path();
    if (video.folder_removed())
        return output_folder_problem(folder, ENOENT, true);
    const int error = abandonable_video::probe(folder);
    return error != 0 ? output_folder_problem(folder, error) : std::string();
}

// The making up to the complete video's naming; `naming` is set while its
// naming is asked, `stopped` once the production is stopped.
void make_file(file_outcome& outcome, abandonable_video& video, const slideshow_ptr& show, const std::string& preset,
               const output_target& target, const std::function<void(double)>& progress,
               const std::atomic<bool>& stop_asked, const std::function<bool()>& may_finish,
               std::vector<unreadable_photo>* unreadable, std::optional<stop_deadline>& stopped) {
    if (const int error = video.create(target.folder)) {
        outcome.cause = output_folder_problem(target.folder, error);
        return;
    }
    outcome.result =
        produce_show(show, preset, video.writer_path(), progress, stop_asked, true, unreadable, &stopped);
    if (outcome.result == slideshow_produce::done && (stop_asked || (may_finish && !may_finish())))
        outcome.result = slideshow_produce::cancelled;
    if (outcome.result != slideshow_produce::done) {
        outcome.cause = write_failure_cause(outcome.result, video);
        return;
    }
    // The replaced file's permissions, not the defaults of a new one.
    if (target.replacing)
        video.set_permissions(target.permissions);
    const std::string folder = video.folder_path();
    const std::string path = folder == target.folder ? target.out : folder + "/" + target.name;
    outcome.naming = path;
    const int error = video.finish_replacing(target.name);
    outcome.naming.clear();
    if (error) {
        outcome.result = slideshow_produce::create_file_failed;
        outcome.cause = error == EEXIST || error == EISDIR
                            ? path + " is no longer a regular file; it was left as it is"
                            : output_folder_problem(folder, error, video.folder_removed());
        return;
    }
    outcome.path = path;
}

} // namespace

file_outcome produce_show_file(const slideshow_ptr& show, const std::string& preset, const output_target& target,
                               const std::function<void(double)>& progress, const std::atomic<bool>& stop_asked,
                               const std::function<bool()>& may_finish, std::vector<unreadable_photo>* unreadable) {
    file_outcome outcome;
    outcome.result = slideshow_produce::create_file_failed;
    if (!target.refusal.empty()) {
        outcome.cause = target.out + ": " + target.refusal;
        return outcome;
    }
    // Asked before anything is made: nothing to make and remove.
    if (stop_asked) {
        outcome.result = slideshow_produce::cancelled;
        return outcome;
    }
    // Every step on the folder is a call the maker's stop gives up: a
    // share that hangs holds neither the maker nor its end.
    abandonable_video video(target.out);
    std::optional<stop_deadline> stopped;
    try {
        make_file(outcome, video, show, preset, target, progress, stop_asked, may_finish, unreadable, stopped);
    } catch (const read_interrupted&) {
        outcome.result = slideshow_produce::cancelled;
        outcome.naming_unanswered = !outcome.naming.empty();
    } catch (const errors::failure&) {
        // A step refused while earlier ones still wait: the folder does not
        // answer.
        outcome.result = slideshow_produce::create_file_failed;
        outcome.cause = "the folder " + target.folder + " " + errors::reason_of(std::current_exception());
        outcome.naming_unanswered = !outcome.naming.empty();
        outcome.naming_refused = outcome.naming_unanswered;
    }
    // A named video is nobody's to remove; an unfinished one goes now, or
    // is named. Its removal has what is left of the production's stop, else
    // a stop's time of its own.
    outcome.unfinished_path = video.unfinished_path();
    if (!stopped)
        stopped.emplace();
    if (!video.discard(stopped->left()) && !outcome.naming_unanswered) {
        outcome.left_unfinished = video.unfinished_path();
        outcome.left_unmade = !video.made();
    }
    return outcome;
}

const char* result_text(int result) {
    switch (result) {
    case slideshow_produce::done:
        return "Done.";
    case slideshow_produce::cancelled:
        return "Cancelled.";
    case slideshow_produce::invalid_preset:
        return "Can't find preset.";
    case slideshow_produce::audio_encoder_failed:
        return "Audio encoder failed.";
    case slideshow_produce::video_encoder_failed:
        return "Video encoder failed.";
    case slideshow_produce::create_file_failed:
        return "Can't create output file.";
    case slideshow_produce::muxer_failed:
        return "Media muxer failed.";
    case slideshow_produce::no_photo_readable:
        return "Not one photo of the slideshow could be read.";
    default:
        return "Unexpected error.";
    }
}

} // namespace make_show
