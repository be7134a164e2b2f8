#include "files/DTAbandonableRead.h"

#include "files/DTFailureReason.h"
#include "files/DTPathWalk.h"
#include "files/DTRegularFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

namespace kestrel {

namespace {

// What a call reads of a regular file at a time, at least: a photo of a
// few hundred KiB comes with its opening, a camera's photo in a few dozen
// calls.
const std::size_t read_ahead_size = 256 * 1024;

[[noreturn]] void refuse(const refused_file& reason, int error) {
    KESTREL_THROW(errors::failure(reason.words) << errinfo_errno(error) << errinfo_file_refusal(reason.refusal));
}

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

// What a read that never waits, on the caller's thread, gives: bytes the
// system has at hand (0 at the end), or -1 with errno: EAGAIN when they
// would have to come from the disk or the network, EOPNOTSUPP where the
// file system cannot tell (a network share, say). Reads from the file's
// position on, as read(2) does.
ssize_t read_at_hand(int fd, uint8_t* buffer, std::size_t size) {
    ssize_t got;
    do
        got = current_no_wait_calls().read_at_hand(fd, buffer, size, -1);
    while (got < 0 && errno == EINTR);
    return got;
}

// Whether the caller's thread may read the file with read_at_hand, and
// whether its first bytes are at hand already; looked at from offset 0,
// which leaves the position alone. (A 0 from a file of `size` bytes is
// no answer: see abandonable_file::read.)
struct at_hand_look {
    bool possible = false;
    bool first_bytes = false;
};

at_hand_look look_at_hand(int fd, long long size) {
    uint8_t byte = 0;
    const ssize_t got = current_no_wait_calls().read_at_hand(fd, &byte, 1, 0);
    at_hand_look look;
    look.first_bytes = got > 0 || (got == 0 && size == 0);
    look.possible = got >= 0 || errno == EAGAIN;
    return look;
}

struct read_answer {
    ssize_t got = 0; // -1: failed with `error`
    int error = 0;
    bool ended = false; // the end of the file follows the bytes
};

// Up to `wanted` bytes: of a regular file until there are as many or its
// end comes, else what one read gives (a pipe would wait for more). A
// failure after some bytes comes again with the next read.
read_answer read_into(int fd, uint8_t* buffer, std::size_t wanted, bool regular) {
    read_answer answer;
    std::size_t total = 0;
    do {
        const ssize_t got = read_some(fd, buffer + total, wanted - total);
        if (got < 0) {
            if (total == 0) {
                answer.got = -1;
                answer.error = errno;
                return answer;
            }
            break;
        }
        if (got == 0) {
            answer.ended = true;
            break;
        }
        total += static_cast<std::size_t>(got);
    } while (regular && total < wanted);
    answer.got = static_cast<ssize_t>(total);
    return answer;
}

} // namespace

// What the file and the calls made for it on the set's threads share; a
// call keeps it alive while it runs. While a call is under way (asked, not
// yet answered) the descriptor and `bytes` are the call's; otherwise the
// caller's. A call whose caller has left closes the descriptor.
struct abandonable_file::worker final : call_state {
    // Set by the calls.
    int fd;
    long long size; // -1 for what is no regular file
    refused_file refusal;       // why the opening found nothing to read
    bool at_hand = false;       // the caller may try read_at_hand
    std::vector<uint8_t> bytes; // what the last read put in it
    read_answer answer;

    worker(read_threads threads, std::string file, int descriptor, long long size)
        : call_state(std::move(threads), std::move(file)), fd(descriptor), size(size) {}

    // On the call's thread: up to `wanted` bytes into `bytes`.
    read_answer read_bytes(int descriptor, std::size_t wanted, bool regular) {
        try {
            if (bytes.size() < wanted)
                bytes.resize(wanted);
        } catch (const std::bad_alloc&) {
            read_answer failed;
            failed.got = -1;
            failed.error = ENOMEM;
            return failed;
        }
        return read_into(descriptor, bytes.data(), wanted, regular);
    }

    // The call of the opening: the regular file at `path`, followed one
    // name at a time so that each file system asked is told (a link on
    // this machine's disk may lead into a share), and its first bytes
    // unless the caller finds them at hand.
    static void open_call(const std::shared_ptr<worker>& self, const std::string& path) {
        refused_file refusal;
        long long size = -1;
        int opened = -1;
        try {
            opened = open_regular_file(path, &refusal, &size, true, self.get());
        } catch (const std::bad_alloc&) {
            opened = -ENOMEM;
            refusal.words = errors::file_access_reason(ENOMEM);
        }
        const at_hand_look look = opened >= 0 ? look_at_hand(opened, size) : at_hand_look();
        read_answer first;
        if (opened >= 0 && !look.first_bytes && self->asking(file_system_of_descriptor(opened)))
            first = self->read_bytes(opened, read_ahead_size, true);
        std::unique_lock<std::mutex> lock(self->mutex);
        self->fd = opened;
        self->size = size;
        self->refusal = refusal;
        self->at_hand = look.possible;
        self->finish(lock, first);
    }

    static void read_call(const std::shared_ptr<worker>& self, int descriptor, std::size_t wanted, bool regular) {
        const read_answer answer = self->read_bytes(descriptor, wanted, regular);
        std::unique_lock<std::mutex> lock(self->mutex);
        self->finish(lock, answer);
    }

    // Under `lock`, on the call's thread: gives the answer, and closes the
    // descriptor when the caller has left.
    void finish(std::unique_lock<std::mutex>& lock, const read_answer& given) {
        answer = given;
        const int left_fd = closing ? fd : -1;
        if (closing)
            fd = -1;
        call_state::answer(lock);
        if (left_fd >= 0)
            ::close(left_fd);
    }

    // The caller goes: the descriptor is closed now (by a call left to
    // itself where the close may wait), or by the call under way once it
    // returns.
    void leave() {
        int idle_fd = -1;
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
            give_up();
            if (!call_under_way()) {
                idle_fd = fd;
                fd = -1;
            }
        }
        close_left_to_itself(idle_fd, threads);
    }
};

namespace {

long long size_of(int descriptor) {
    struct stat status;
    return ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) ? static_cast<long long>(status.st_size)
                                                                         : -1;
}

} // namespace

bool abandonable_file::start_worker(int descriptor, const std::string& file, read_threads& threads) {
    if (watched_ == watched_interruption::opener) {
        if (!interruption_)
            return false;
        if (interruption_->on())
            KESTREL_THROW(read_interrupted());
    }
    // A long wait names the file: a descriptor's as the system names it.
    worker_ = std::make_shared<worker>(threads, file.empty() && descriptor >= 0 ? real_path_of(descriptor) : file,
                                       descriptor, descriptor >= 0 ? size_ : -1);
    if (descriptor >= 0)
        worker_->file_system = file_system_of_descriptor(descriptor);
    return true;
}

void abandonable_file::refuse_when_full() const {
    if (worker_->threads.full(worker_->file_system))
        KESTREL_THROW(refusal_failure(file_refusal::earlier_calls_wait));
}

read_interruption_ptr abandonable_file::watched() const {
    return watched_ == watched_interruption::caller ? current_read_interruption() : interruption_;
}

abandonable_file::abandonable_file(const std::string& path, read_threads threads)
    : abandonable_file(path, watched_interruption::opener, std::move(threads)) {}

abandonable_file::abandonable_file(const std::string& path, watched_interruption watching, read_threads threads)
    : watched_(watching), interruption_(current_read_interruption()) {
    refused_file refusal;
    if (!start_worker(-1, path, threads)) {
        fd_ = open_regular_file(path, &refusal, &size_);
        if (fd_ < 0)
            refuse(refusal, -fd_);
        return;
    }
    // A photo on this machine's disk is opened here, at once; the rest by
    // a call that may be given up.
    const int known = open_known_local_file(path, &size_, &worker_->file_system);
    if (known >= 0) {
        worker_->fd = known;
        worker_->size = size_;
        at_hand_fd_ = known;
        return;
    }
    const std::shared_ptr<worker> self = worker_;
    worker_->ask([self, path] { worker::open_call(self, path); });
    int error = 0;
    try {
        const read_interruption_ptr interruption = watched();
        std::unique_lock<std::mutex> lock(worker_->mutex);
        worker_->wait(lock, interruption.get(), [this] { return worker_->answered; });
        refusal = worker_->refusal;
        error = worker_->fd < 0 ? -worker_->fd : 0;
        size_ = worker_->size;
        if (worker_->at_hand)
            at_hand_fd_ = worker_->fd;
        // The first bytes read with the opening come to the first read.
        const read_answer& first = worker_->answer;
        worker_->outstanding = first.got != 0 || first.ended;
    } catch (...) {
        worker_->leave(); // no destructor runs for a constructor that throws
        throw;
    }
    if (error) {
        worker_.reset();
        refuse(refusal, error);
    }
}

abandonable_file::abandonable_file(int descriptor, watched_interruption watched, read_threads threads)
    : watched_(watched), interruption_(current_read_interruption()), size_(size_of(descriptor)) {
    try {
        if (!start_worker(descriptor, std::string(), threads)) {
            fd_ = descriptor;
            return;
        }
        refuse_when_full();
        if (size_ >= 0)
            at_hand_fd_ = descriptor;
    } catch (...) {
        worker_.reset();
        ::close(descriptor);
        throw;
    }
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
    read_ahead_end_ = 0;
    read_ahead_taken_ = 0;
    if (!keep)
        return;
    const read_answer& answer = worker_->answer;
    if (answer.got < 0)
        read_failed(answer.error);
    read_ahead_.swap(worker_->bytes); // the next call reads into the other buffer
    read_ahead_end_ = static_cast<std::size_t>(answer.got);
    at_end_ = answer.ended;
}

std::size_t abandonable_file::take_read_ahead(uint8_t* buffer, std::size_t size) {
    const std::size_t got = std::min(size, read_ahead_end_ - read_ahead_taken_);
    if (got == 0)
        return 0;
    std::copy_n(read_ahead_.data() + read_ahead_taken_, got, buffer);
    read_ahead_taken_ += got;
    position_ += static_cast<long long>(got);
    return got;
}

std::size_t abandonable_file::read(uint8_t* buffer, std::size_t size) {
    if (read_ahead_taken_ < read_ahead_end_)
        return take_read_ahead(buffer, size);
    if (at_end_ || size == 0)
        return 0;
    if (!worker_) {
        const ssize_t got = read_some(fd_, buffer, size);
        if (got < 0)
            read_failed(errno);
        at_end_ = got == 0;
        position_ += got;
        return static_cast<std::size_t>(got);
    }
    const read_interruption_ptr interruption = watched();
    // A read given up before, or the one made with the opening, answers
    // this call: its bytes come next. (Only this thread sets `outstanding`.)
    if (!worker_->outstanding) {
        if (interruption && interruption->on())
            KESTREL_THROW(read_interrupted());
        if (at_hand_fd_ >= 0) {
            const ssize_t got = read_at_hand(at_hand_fd_, buffer, size);
            // Linux 5.9 and 5.10 may answer 0 before the end: the end is
            // only where the file ends; before it the thread reads.
            if (got > 0 || (got == 0 && position_ >= size_)) {
                at_end_ = got == 0;
                position_ += got;
                return static_cast<std::size_t>(got);
            }
            if (got < 0 && errno != EAGAIN)
                at_hand_fd_ = -1; // the thread reads, and says why it cannot
        }
        refuse_when_full();
        const int fd = worker_->fd; // the caller's while no call is under way
        const bool regular = size_ >= 0;
        const std::size_t wanted = regular ? std::max(size, read_ahead_size) : size;
        const std::shared_ptr<worker> self = worker_;
        worker_->ask([self, fd, wanted, regular] { worker::read_call(self, fd, wanted, regular); });
    }
    std::unique_lock<std::mutex> lock(worker_->mutex);
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
    read_ahead_end_ = 0;
    read_ahead_taken_ = 0;
    at_end_ = false;
    position_ = target;
    return target;
}

} // namespace kestrel
