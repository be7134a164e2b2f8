#include "files/DTAbandonableVideo.h"

#include "base/DTLog.h"
#include "files/DTFailureReason.h"
#include "files/DTFileSystem.h"
#include "files/DTPathWalk.h"

#include <cerrno>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

namespace kestrel {

namespace {

// A naming's answer handed to its owner while it waits; once the owner
// has given it up, the naming answers nobody but the log.
struct naming_handover {
    std::mutex mutex;
    bool given_up = false;
    std::optional<abandonable_video::naming> answer;
};

std::string in_folder(const std::string& folder, const std::string& name) {
    return (folder.empty() || folder.back() == '/' ? folder : folder + "/") + name;
}

void log_late_naming(const std::string& folder, const std::string& wanted, const abandonable_video::naming& made,
                     const std::string& hidden) {
    std::ostream& line = log_line(logger::warning()) << "[abandonable_video] ";
    if (made.error == 0 && made.name == wanted)
        line << "the complete video took its name " << log_quoted(in_folder(folder, wanted))
             << " once the disk answered";
    else if (made.error == 0)
        line << "the name " << log_quoted(in_folder(folder, wanted))
             << " was taken when the disk answered: the complete video is " << log_quoted(in_folder(folder, made.name));
    else
        line << "the complete video could not take the name " << log_quoted(in_folder(folder, wanted))
             << " when the disk answered (" << std::generic_category().message(made.error) << "): it stays as "
             << log_quoted(in_folder(folder, hidden)) << " until a video is next made in that folder, which removes it";
    line << std::endl;
}

// Where the video is once `made` answered: the name it took, else its hidden
// one.
std::string late_path(const std::string& folder, const abandonable_video::naming& made, const std::string& hidden) {
    return in_folder(folder, made.error == 0 ? made.name : hidden);
}

} // namespace

abandonable_video::abandonable_video(std::string shown, read_threads threads)
    : video_(std::move(shown), current_read_interruption(), std::move(threads)) {}

template <class Result>
Result abandonable_video::step(std::function<Result(unfinished_video&)> body, Result failed) {
    return video_.step<Result>([body = std::move(body), failed](std::optional<unfinished_video>& video) {
        return video ? body(*video) : failed;
    });
}

int abandonable_video::create(const std::string& folder) {
    video_.set_file_system(file_system_reached(folder));
    struct made {
        int error = 0;
        file_system_id file_system = 0;
        std::string name;
    };
    const std::string name = unfinished_video::new_name();
    unfinished_path_ = in_folder(folder, name);
    made answer;
    try {
        answer = video_.step<made>([folder, name](std::optional<unfinished_video>& video) {
            if (!video)
                video.emplace();
            const int error = video->create(folder, name);
            return made{error, video->file_system(), video->name()};
        });
    } catch (...) {
        // Only a creation that was asked may still make the file.
        if (!video_.given_up())
            unfinished_path_.clear();
        throw;
    }
    if (answer.file_system != 0)
        video_.set_file_system(answer.file_system);
    made_ = !answer.name.empty();
    unfinished_path_ = made_ ? in_folder(folder, answer.name) : std::string();
    return answer.error;
}

std::string abandonable_video::writer_path() {
    return step<std::string>([](unfinished_video& video) { return video.writer_path(); }, std::string());
}

std::string abandonable_video::folder_path() {
    return step<std::string>([](unfinished_video& video) { return video.folder_path(); }, std::string());
}

bool abandonable_video::folder_removed() {
    return step<bool>([](unfinished_video& video) { return video.folder_removed(); }, false);
}

abandonable_video::naming abandonable_video::name(const std::string& wanted,
                                                  std::function<naming(unfinished_video&)> give) {
    const auto handover = std::make_shared<naming_handover>();
    try {
        return video_.step<naming>([wanted, give = std::move(give), handover,
                                    tell = late_naming_told_](std::optional<unfinished_video>& video) {
            if (!video)
                return naming{ENOENT, std::string()};
            const std::string hidden = video->name();
            const naming made = give(*video);
            const std::lock_guard<std::mutex> lock(handover->mutex);
            if (!handover->given_up) {
                handover->answer = made;
                return made;
            }
            if (made.error != 0)
                video->keep();
            const std::string folder = video->folder_path();
            log_late_naming(folder, wanted, made, hidden);
            if (tell)
                tell(made.error, late_path(folder, made, hidden));
            return made;
        });
    } catch (...) {
        // An answer that came as the wait ended is taken all the same.
        {
            const std::lock_guard<std::mutex> lock(handover->mutex);
            handover->given_up = true;
            if (handover->answer)
                return *handover->answer;
        }
        // Not asked, or failed without a name: the complete video stays.
        if (video_.change_here([](std::optional<unfinished_video>& video) {
                if (video)
                    video->keep();
            }))
            log_line(logger::warning()) << "[abandonable_video] the complete video was not named "
                                        << log_quoted(wanted) << " (" << errors::log_text_of(std::current_exception())
                                        << "): it stays as " << log_quoted(unfinished_path_)
                                        << " until a video is next made in that folder, which removes it"
                                        << std::endl;
        throw;
    }
}

abandonable_video::naming abandonable_video::finish_as(const std::string& name,
                                                      std::function<std::string(int)> next_name) {
    return this->name(name, [name, next_name = std::move(next_name)](unfinished_video& video) {
        naming made{video.finish_as(name), name};
        for (int number = 2; made.error == EEXIST && next_name; ++number) {
            const std::string next = next_name(number);
            if (next.empty())
                break;
            made = naming{video.finish_as(next), next};
        }
        return made;
    });
}

int abandonable_video::finish_replacing(const std::string& name) {
    return this->name(name, [name](unfinished_video& video) { return naming{video.finish_replacing(name), name}; })
        .error;
}

int abandonable_video::set_permissions(unsigned permissions) {
    return step<int>([permissions](unfinished_video& video) { return video.set_permissions(permissions); }, ENOENT);
}

bool abandonable_video::discard(std::chrono::steady_clock::duration patience) {
    // The name goes first: the file's close may wait for the file system
    // behind a write given up, and is left to itself.
    bool removed = false;
    try {
        removed = video_.step<bool>(
            [](std::optional<unfinished_video>& video) { return !video || video->remove_name(); }, patience, false);
    } catch (...) {
    }
    video_.end();
    return removed;
}

int abandonable_video::probe(const std::string& folder) {
    return abandonable_call<int>(folder, [folder](call_steps& steps) {
        // The walk tells each file system it asks, a link into a share
        // included; the probe then asks the last of them.
        if (locate_path(folder, true, steps).refusal != file_refusal::none)
            return EBUSY;
        return unfinished_video::probe(folder);
    });
}

} // namespace kestrel
