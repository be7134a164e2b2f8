#include "UnchangedFile.h"

#include <fcntl.h>
#include <unistd.h>

namespace make_show {

unchanged_file::unchanged_file(const std::string& path) {
    // A path descriptor: it holds the file without opening it for reading,
    // so a pipe or a device put at the path meanwhile is never opened.
    fd_ = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd_ >= 0 && ::fstat(fd_, &opened_) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

unchanged_file::~unchanged_file() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool unchanged_file::changed() const {
    struct stat now;
    if (fd_ < 0 || ::fstat(fd_, &now) != 0)
        return false;
    return now.st_size != opened_.st_size || now.st_mtim.tv_sec != opened_.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != opened_.st_mtim.tv_nsec;
}

} // namespace make_show
