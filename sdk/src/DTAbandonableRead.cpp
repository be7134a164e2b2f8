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
    KESTREL_THROW(errors::failure("cannot be read: " + std::generic_category().message(error))
                  << errinfo_errno(error));
}

[[noreturn]] void seek_failed(int error) {
    KESTREL_THROW(errors::failure("cannot move in the file: " + std::generic_category().message(error))
                  << errinfo_errno(error));
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
    bool read_asked = false; // for the thread to take
    std::size_t wanted = 0;
    bool outstanding = false; // a read asked whose answer the caller has not taken
    bool closing = false;     // the caller left: close and end
    // Set by the thread.
    bool opened = false;
    int fd = -1;
    bool reading = false; // in read(2): the descriptor is the thread's to close
    std::string refusal;
    long long size = 0;
    bool answered = false;
    std::vector<uint8_t> bytes; // only the thread touches it while reading
    ssize_t got = 0;
    int error = 0;

    worker(std::string path, int descriptor)
        : path(std::move(path)), given_fd(descriptor), opened(descriptor >= 0), fd(descriptor) {}

    static void serve(const std::shared_ptr<worker>& self) {
        if (self->given_fd < 0) {
            std::string refusal;
            long long size = -1;
            const int opened_fd = open_regular_file(self->path, &refusal, &size);
            {
                std::lock_guard<std::mutex> lock(self->mutex);
                self->fd = opened_fd;
                self->refusal = refusal;
                self->size = size;
                self->opened = true;
            }
            self->changed.notify_all();
            if (opened_fd < 0)
                return;
        }
        int fd = -1;
        for (;;) {
            std::size_t wanted = 0;
            {
                std::unique_lock<std::mutex> lock(self->mutex);
                self->changed.wait(lock, [&] { return self->read_asked || self->closing; });
                fd = self->fd;
                if (self->closing) {
                    self->fd = -1; // already -1 when the caller closed it
                    break;
                }
                self->read_asked = false;
                self->reading = true;
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
                self->reading = false;
            }
            self->changed.notify_all();
        }
        if (fd >= 0)
            ::close(fd);
    }

    // Waits under `lock` until `ready`; without an interruption as long as
    // it takes, else gives up once it is or was switched on and one more
    // look has passed: a read that answers at once is not given up for a
    // stop that comes while it runs.
    template <class Ready>
    void wait(std::unique_lock<std::mutex>& lock, const read_interruption* interruption, Ready ready) {
        if (!interruption) {
            changed.wait(lock, ready);
            return;
        }
        const unsigned long long before = interruption->times_on();
        bool seen_on = false;
        while (!ready()) {
            if (interruption->on() || interruption->times_on() != before) {
                if (seen_on)
                    KESTREL_THROW(read_interrupted());
                seen_on = true;
            }
            changed.wait_for(lock, interruption_look);
        }
    }

    // The caller goes: the thread ends; the descriptor is closed here
    // unless a read holds it, then by the thread once the read returns.
    void leave() {
        int idle_fd = -1;
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
            if (!reading) {
                idle_fd = fd;
                fd = -1;
            }
        }
        changed.notify_all();
        if (idle_fd >= 0)
            ::close(idle_fd);
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
    if (watched_ == watched_interruption::opener) {
        if (!interruption_)
            return false;
        if (interruption_->on()) {
            if (descriptor >= 0)
                ::close(descriptor);
            KESTREL_THROW(read_interrupted());
        }
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

read_interruption_ptr abandonable_file::watched() const {
    return watched_ == watched_interruption::caller ? current_read_interruption() : interruption_;
}

abandonable_file::abandonable_file(const std::string& path)
    : watched_(watched_interruption::opener), interruption_(current_read_interruption()) {
    std::string refusal;
    if (start_worker(path, -1)) {
        try {
            std::unique_lock<std::mutex> lock(worker_->mutex);
            worker_->wait(lock, interruption_.get(), [this] { return worker_->opened; });
            refusal = worker_->refusal;
            size_ = worker_->size;
        } catch (...) {
            worker_->leave(); // no destructor runs for a constructor that throws
            throw;
        }
        if (!refusal.empty())
            worker_.reset(); // its thread has ended or is ending
    } else {
        fd_ = open_regular_file(path, &refusal, &size_);
    }
    if (!refusal.empty())
        refuse(refusal);
}

abandonable_file::abandonable_file(int descriptor, watched_interruption watched)
    : watched_(watched), interruption_(current_read_interruption()), size_(size_of(descriptor)) {
    if (!start_worker(std::string(), descriptor))
        fd_ = descriptor;
}

abandonable_file::~abandonable_file() {
    if (worker_)
        worker_->leave();
    else if (fd_ >= 0)
        ::close(fd_);
}

void abandonable_file::collect_answer(std::unique_lock<std::mutex>& lock, const read_interruption* interruption,
                                        bool keep) {
    worker_->wait(lock, interruption, [this] { return worker_->answered; });
    worker_->outstanding = false;
    read_ahead_.clear();
    read_ahead_taken_ = 0;
    if (!keep)
        return;
    if (worker_->got < 0)
        read_failed(worker_->error);
    read_ahead_.swap(worker_->bytes); // the thread reads into the other buffer next
    read_ahead_.resize(static_cast<std::size_t>(worker_->got));
}

std::size_t abandonable_file::take_read_ahead(uint8_t* buffer, std::size_t size) {
    const std::size_t got = std::min(size, read_ahead_.size() - read_ahead_taken_);
    std::copy_n(read_ahead_.begin() + static_cast<std::ptrdiff_t>(read_ahead_taken_), got, buffer);
    read_ahead_taken_ += got;
    position_ += static_cast<long long>(got);
    return got;
}

std::size_t abandonable_file::read(uint8_t* buffer, std::size_t size) {
    if (read_ahead_taken_ < read_ahead_.size())
        return take_read_ahead(buffer, size);
    if (!worker_) {
        const ssize_t got = read_some(fd_, buffer, size);
        if (got < 0)
            read_failed(errno);
        position_ += got;
        return static_cast<std::size_t>(got);
    }
    const read_interruption_ptr interruption = watched();
    std::unique_lock<std::mutex> lock(worker_->mutex);
    // A read given up before answers this call: its bytes come next.
    if (!worker_->outstanding) {
        if (interruption && interruption->on())
            KESTREL_THROW(read_interrupted());
        worker_->wanted = size;
        worker_->answered = false;
        worker_->read_asked = true;
        worker_->outstanding = true;
        worker_->changed.notify_all();
    }
    collect_answer(lock, interruption.get(), true);
    lock.unlock();
    return take_read_ahead(buffer, size);
}

long long abandonable_file::seek(long long offset, int whence) {
    long long target = offset;
    if (whence == SEEK_CUR)
        target = position_ + offset;
    else if (whence == SEEK_END && size_ >= 0)
        target = size_ + offset;
    else if (whence != SEEK_SET)
        seek_failed(whence == SEEK_END ? ESPIPE : EINVAL);
    if (target < 0)
        seek_failed(EINVAL);
    if (worker_) {
        const read_interruption_ptr interruption = watched();
        std::unique_lock<std::mutex> lock(worker_->mutex);
        if (worker_->outstanding)
            collect_answer(lock, interruption.get(), false);
        // No read runs now, so the move cannot wait behind one.
        if (::lseek(worker_->fd, static_cast<off_t>(target), SEEK_SET) < 0)
            seek_failed(errno);
    } else if (::lseek(fd_, static_cast<off_t>(target), SEEK_SET) < 0) {
        seek_failed(errno);
    }
    read_ahead_.clear();
    read_ahead_taken_ = 0;
    position_ = target;
    return target;
}

} // namespace kestrel
