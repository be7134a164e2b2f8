#include "DTAbandonableRead.h"

#include "DTRegularFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kestrel {

namespace {

// How often a waiting caller looks at its interruption.
const std::chrono::milliseconds interruption_look(50);

thread_local read_interruption_ptr current_interruption;

[[noreturn]] void refuse(const std::string& reason) { KESTREL_THROW(errors::failure(reason)); }

[[noreturn]] void read_failed(int error) {
    refuse("cannot be read: " + std::generic_category().message(error));
}

// read(2) retried when a signal cut it short: bytes, or -1 with errno.
ssize_t read_some(int fd, uint8_t* buffer, std::size_t size) {
    ssize_t got;
    do
        got = ::read(fd, buffer, size);
    while (got < 0 && errno == EINTR);
    return got;
}

} // namespace

read_interruption_scope::read_interruption_scope(read_interruption_ptr interruption)
    : outer_(std::move(current_interruption)) {
    current_interruption = std::move(interruption);
}

read_interruption_scope::~read_interruption_scope() { current_interruption = std::move(outer_); }

read_interruption_ptr current_read_interruption() { return current_interruption; }

// The thread's side: everything it touches lives here, kept alive by the
// thread itself as long as it runs.
struct abandonable_file::worker {
    std::mutex mutex;
    std::condition_variable changed;
    const std::string path;
    const int given_fd; // -1: open the path
    // Set by the caller.
    bool read_asked = false;
    std::size_t wanted = 0;
    bool closing = false; // the caller left: close and end
    // Set by the thread.
    bool opened = false;
    int fd = -1;
    std::string refusal;
    long long size = 0;
    bool answered = false;
    std::vector<uint8_t> bytes; // only the thread touches it while a read is asked
    ssize_t got = 0;
    int error = 0;

    worker(std::string path, int descriptor) : path(std::move(path)), given_fd(descriptor) {}

    static void serve(const std::shared_ptr<worker>& self) {
        std::string refusal;
        long long size = -1;
        const int fd = self->given_fd >= 0 ? self->given_fd : open_regular_file(self->path, &refusal, &size);
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->fd = fd;
            self->refusal = refusal;
            self->size = size;
            self->opened = true;
        }
        self->changed.notify_all();
        if (fd < 0)
            return;
        for (;;) {
            std::size_t wanted = 0;
            {
                std::unique_lock<std::mutex> lock(self->mutex);
                self->changed.wait(lock, [&] { return self->read_asked || self->closing; });
                if (self->closing)
                    break;
                self->read_asked = false;
                wanted = self->wanted;
            }
            self->bytes.resize(wanted);
            const ssize_t got = read_some(fd, self->bytes.data(), wanted);
            const int error = got < 0 ? errno : 0;
            {
                std::lock_guard<std::mutex> lock(self->mutex);
                self->got = got;
                self->error = error;
                self->answered = true;
            }
            self->changed.notify_all();
        }
        ::close(fd);
    }

    // Waits under `lock` until `ready`; gives up, leaving the thread to
    // close the file, once the interruption is or was switched on.
    template <class Ready>
    void wait(std::unique_lock<std::mutex>& lock, const read_interruption& interruption, Ready ready) {
        const unsigned long long before = interruption.times_on();
        while (!ready()) {
            if (interruption.on() || interruption.times_on() != before) {
                closing = true;
                changed.notify_all();
                KESTREL_THROW(read_interrupted());
            }
            changed.wait_for(lock, interruption_look);
        }
    }
};

namespace {

long long size_of(int descriptor) {
    struct stat status;
    return ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) ? static_cast<long long>(status.st_size)
                                                                         : -1;
}

} // namespace

bool abandonable_file::start_worker(const std::string& path, int descriptor) {
    if (!interruption_)
        return false;
    if (interruption_->on()) {
        if (descriptor >= 0)
            ::close(descriptor);
        KESTREL_THROW(read_interrupted());
    }
    const std::shared_ptr<worker> started = std::make_shared<worker>(path, descriptor);
    try {
        std::thread([started] { worker::serve(started); }).detach();
    } catch (const std::system_error&) {
        return false; // no thread to spare: read here, without a way out
    }
    worker_ = started;
    return true;
}

abandonable_file::abandonable_file(const std::string& path) : interruption_(current_read_interruption()) {
    std::string refusal;
    if (start_worker(path, -1)) {
        {
            std::unique_lock<std::mutex> lock(worker_->mutex);
            worker_->wait(lock, *interruption_, [this] { return worker_->opened; });
            refusal = worker_->refusal;
            size_ = worker_->size;
        }
        if (!refusal.empty())
            worker_.reset(); // its thread has ended or is ending
    } else {
        fd_ = open_regular_file(path, &refusal, &size_);
    }
    if (!refusal.empty())
        refuse(refusal);
}

abandonable_file::abandonable_file(int descriptor)
    : interruption_(current_read_interruption()), size_(size_of(descriptor)) {
    if (!start_worker(std::string(), descriptor))
        fd_ = descriptor;
}

abandonable_file::~abandonable_file() {
    if (worker_) {
        {
            std::lock_guard<std::mutex> lock(worker_->mutex);
            worker_->closing = true;
        }
        worker_->changed.notify_all();
    } else if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t abandonable_file::read(uint8_t* buffer, std::size_t size) {
    if (!worker_) {
        const ssize_t got = read_some(fd_, buffer, size);
        if (got < 0)
            read_failed(errno);
        return static_cast<std::size_t>(got);
    }
    std::unique_lock<std::mutex> lock(worker_->mutex);
    if (worker_->closing)
        KESTREL_THROW(read_interrupted()); // an earlier wait was given up
    worker_->wanted = size;
    worker_->answered = false;
    worker_->read_asked = true;
    worker_->changed.notify_all();
    worker_->wait(lock, *interruption_, [this] { return worker_->answered; });
    if (worker_->got < 0)
        read_failed(worker_->error);
    const std::size_t got = static_cast<std::size_t>(worker_->got);
    std::copy(worker_->bytes.begin(), worker_->bytes.begin() + static_cast<std::ptrdiff_t>(got), buffer);
    return got;
}

} // namespace kestrel
