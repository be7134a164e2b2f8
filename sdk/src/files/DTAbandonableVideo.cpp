#include "files/DTAbandonableVideo.h"

#include "files/DTFileSystem.h"
#include "files/DTPathWalk.h"

#include <cerrno>
#include <utility>

namespace kestrel {

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
        int error;
        file_system_id file_system;
        std::string name;
    };
    const made answer = video_.step<made>([folder](std::optional<unfinished_video>& video) {
        if (!video)
            video.emplace();
        const int error = video->create(folder);
        return made{error, video->file_system(), video->name()};
    });
    if (answer.file_system != 0)
        video_.set_file_system(answer.file_system);
    if (!answer.name.empty())
        unfinished_path_ = (folder.empty() || folder.back() == '/' ? folder : folder + "/") + answer.name;
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

int abandonable_video::finish_as(const std::string& name) {
    return step<int>([name](unfinished_video& video) { return video.finish_as(name); }, ENOENT);
}

int abandonable_video::finish_replacing(const std::string& name) {
    return step<int>([name](unfinished_video& video) { return video.finish_replacing(name); }, ENOENT);
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
