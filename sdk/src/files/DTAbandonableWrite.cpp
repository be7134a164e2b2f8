#include "files/DTAbandonableWrite.h"

#include "files/DTPathWalk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>
#include <cstdlib>
#include <system_error>

namespace kestrel {

namespace {

[[noreturn]] void failed(const char* what, int error) {
    KESTREL_THROW(errors::failure(std::string(what) + ": " + std::generic_category().message(error))
                  << errinfo_errno(error));
}

const char held_folder_prefix[] = "/proc/self/fd/";

// The folder descriptor a path through a held folder goes through
// ("/proc/self/fd/7/name", as unfinished_video::writer_path gives it);
// -1 for any other path.
int held_folder_of(const std::string& path) {
    const std::size_t prefix = sizeof held_folder_prefix - 1;
    if (path.compare(0, prefix, held_folder_prefix) != 0)
        return -1;
    char* end = nullptr;
    const long fd = std::strtol(path.c_str() + prefix, &end, 10);
    return end != path.c_str() + prefix && *end == '/' && fd >= 0 && fd <= 1 << 30 ? static_cast<int>(fd) : -1;
}

// The path as the user knows it, for a wait that lasts: a path through a
// held folder names the folder where it is now.
std::string shown_path(const std::string& path) {
    const int folder = held_folder_of(path);
    if (folder < 0)
        return path;
    const std::string where = real_path_of(folder);
    return where.empty() ? path : where + path.substr(path.find('/', sizeof held_folder_prefix - 1));
}

file_system_id file_system_asked(const std::string& path) {
    const int folder = held_folder_of(path);
    return folder >= 0 ? file_system_of_descriptor(folder) : file_system_reached(path);
}

// One read(2) or write(2) of a step, retried when a signal cut it short:
// the bytes moved.
template <class Descriptor, class Call>
std::size_t moved(std::optional<Descriptor>& file, const char* what, Call call) {
    if (!file)
        failed(what, EBADF);
    ssize_t count;
    do
        count = call(file->fd);
    while (count < 0 && errno == EINTR);
    if (count < 0)
        failed(what, errno);
    return static_cast<std::size_t>(count);
}

} // namespace

abandonable_output::descriptor::~descriptor() {
    if (fd >= 0)
        ::close(fd);
}

abandonable_output::abandonable_output(const std::string& path, int flags, read_threads threads)
    : file_(shown_path(path), current_read_interruption(), std::move(threads)) {
    file_.set_file_system(file_system_asked(path));
    file_.step<bool>([path, flags](std::optional<descriptor>& file) {
        // The path's bytes as they are: a name that is not UTF-8 opens too.
        const int fd = ::open(path.c_str(), flags | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0)
            failed("cannot be opened for writing", errno);
        file.emplace(fd);
        return true;
    });
}

// A step's bytes are the caller's, which waits for the step or, given
// up, takes no more steps: they are copied for the step to own.
std::size_t abandonable_output::write(const uint8_t* buffer, std::size_t size) {
    const auto bytes = std::make_shared<std::vector<uint8_t>>(buffer, buffer + size);
    return file_.step<std::size_t>([bytes](std::optional<descriptor>& file) {
        return moved(file, "cannot be written", [&bytes](int fd) { return ::write(fd, bytes->data(), bytes->size()); });
    });
}

std::size_t abandonable_output::read(uint8_t* buffer, std::size_t size) {
    const auto bytes = std::make_shared<std::vector<uint8_t>>(size);
    const std::size_t got = file_.step<std::size_t>([bytes](std::optional<descriptor>& file) {
        return moved(file, "cannot be read", [&bytes](int fd) { return ::read(fd, bytes->data(), bytes->size()); });
    });
    std::copy_n(bytes->begin(), got, buffer);
    return got;
}

long long abandonable_output::seek(long long offset, int whence) {
    return file_.step<long long>([offset, whence](std::optional<descriptor>& file) {
        const off_t position = file ? ::lseek(file->fd, static_cast<off_t>(offset), whence) : (errno = EBADF, -1);
        if (position < 0)
            failed("cannot move in the file", errno);
        return static_cast<long long>(position);
    });
}

long long abandonable_output::size() {
    return file_.step<long long>([](std::optional<descriptor>& file) {
        struct stat status;
        if (!file || ::fstat(file->fd, &status) != 0)
            failed("cannot be looked at", file ? errno : EBADF);
        return static_cast<long long>(status.st_size);
    });
}

void abandonable_output::close() {
    file_.step<bool>([](std::optional<descriptor>& file) {
        if (!file)
            failed("cannot be closed", EBADF);
        const int fd = file->fd;
        file->fd = -1;
        file.reset();
        if (::close(fd) != 0)
            failed("cannot be closed", errno);
        return true;
    });
}

} // namespace kestrel
