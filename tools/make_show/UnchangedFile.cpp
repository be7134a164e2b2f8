#include "UnchangedFile.h"

#include "files/DTAbandonableCall.h"
#include "files/DTFileSystem.h"
#include "files/DTReadInterruption.h"

#include <optional>

using namespace kestrel;

namespace make_show {

namespace {

typedef std::optional<struct stat> status;

status status_of(int fd, call_steps& steps) {
    struct stat now;
    if (!steps.asking(file_system_of_descriptor(fd)) || ::fstat(fd, &now) != 0)
        return std::nullopt;
    return now;
}

} // namespace

unchanged_file::unchanged_file(const std::string& path) : path_(path) {
    struct held {
        std::shared_ptr<const owned_descriptor> fd;
        status opened;
    };
    // A path descriptor: it holds the file without opening it for reading,
    // so a pipe or a device put at the path meanwhile is never opened.
    held got = abandonable_call<held>(path, [path](call_steps& steps) {
        located_path located = locate_path(path, true, steps);
        held found;
        if (located.fd.get() < 0)
            return found;
        found.opened = status_of(located.fd.get(), steps);
        found.fd = std::make_shared<const owned_descriptor>(std::move(located.fd));
        return found;
    });
    if (!got.fd || !got.opened)
        return;
    fd_ = got.fd;
    opened_ = *got.opened;
    local_ = on_local_disk(fd_->get());
}

bool unchanged_file::changed() const {
    if (!fd_)
        return false;
    status now;
    if (local_) {
        steps_in_place here;
        now = status_of(fd_->get(), here);
    } else {
        try {
            const std::shared_ptr<const owned_descriptor> fd = fd_;
            now = abandonable_call<status>(path_, [fd](call_steps& steps) { return status_of(fd->get(), steps); });
        } catch (const errors::failure&) {
            return false; // given up, or its file system has no place for one more look
        }
    }
    return now && (now->st_size != opened_.st_size || now->st_mtim.tv_sec != opened_.st_mtim.tv_sec ||
                   now->st_mtim.tv_nsec != opened_.st_mtim.tv_nsec);
}

} // namespace make_show
