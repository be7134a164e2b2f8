#include "DTPhotoManager.h"

#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "base/DTNumberText.h"
#include "files/DTAbandonableRead.h"
#include "files/DTFailureReason.h"
#include "slideshow2/DTGilPhoto.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/make_shared.hpp>
#include <boost/noncopyable.hpp>
#include <boost/thread/mutex.hpp>

#include <algorithm>
#include <climits>
#include <chrono>
#include <exception>
#include <thread>
#include <vector>

namespace kestrel {
namespace slideshow2 {

namespace {

const unsigned int default_side = 180;
// More workers than this is a typing error, not a machine.
const long long max_workers = 256;

unsigned int worker_count(const media_settings_ptr& settings) {
    const std::string text = media_settings::clone(settings)->get("hardware-concurrency");
    // Some systems cannot tell their processor count: one worker then.
    if (text.empty())
        return std::max(1u, std::thread::hardware_concurrency());
    const long long count = text::from_text<long long>(text);
    if (count < 0 || count > max_workers)
        KESTREL_THROW(errors::invalid_argument("[photo_manager] hardware-concurrency out of range: " + text));
    return static_cast<unsigned int>(count);
}

// How long a load waits for its file: a day at most, never less than 0.
std::chrono::milliseconds open_patience(const media_settings_ptr& settings) {
    const std::string text = media_settings::clone(settings)->get("open-patience");
    if (text.empty())
        return std::chrono::milliseconds(0);
    const double seconds = text::from_text<double>(text);
    if (!(seconds >= 0 && seconds <= 86400))
        KESTREL_THROW(errors::invalid_argument("[photo_manager] open-patience out of range: " + text));
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

// Read as a signed number so that "-1" is refused instead of wrapping to a
// side of four billion pixels.
unsigned int side_length(const media_settings& settings) {
    const std::string text = settings.get("max-side-length");
    if (text.empty())
        return default_side;
    const long long side = text::from_text<long long>(text);
    if (side <= 0 || side > UINT_MAX)
        KESTREL_THROW(errors::invalid_argument("[photo_manager] max-side-length out of range: " + text));
    return static_cast<unsigned int>(side);
}

bool correct_orientation(const media_settings& settings) {
    const std::string text = settings.get("correct-orientation");
    return text.empty() || text::from_text<bool>(text);
}

} // namespace

class photo_manager::Impl : public impl_base {
public:
    explicit Impl(const media_settings_ptr& settings);
    ~Impl() override;

    ControllerPtr post_open(const std::string& path, const media_settings_ptr& settings,
                            const explained_callback& on_open);
    void post_open_no_handle(const std::string& path, const media_settings_ptr& settings,
                             const explained_callback& on_open);
    int pending_count() const;

private:
    class queue;

    void stop_and_join();

    boost::shared_ptr<queue> queue_;
    // Standard threads: a worker detached from its own callback hands what
    // it holds over in a way the race checker sees.
    std::vector<std::thread> workers_;
};

// The task queue and what its tasks share. Every worker holds it until its
// thread ends, so a worker whose callback destroyed the manager still
// finds it while it leaves.
class photo_manager::Impl::queue {
public:
    explicit queue(media_settings_ptr settings)
        : settings_(std::move(settings)), patience_(open_patience(settings_)),
          work_(boost::asio::make_work_guard(io_)) {}

    // The tasks' reads watch the queue's interruption, and its patience.
    void run() {
        const read_interruption_scope reading(interruption_, patience_);
        io_.run();
    }
    // Queued tasks never start; running ones end soon, since their reads
    // give up: one waiting for a file that does not answer holds nobody.
    void stop() {
        interruption_->set(true);
        io_.stop();
    }

    void post(const std::string& path, const media_settings_ptr& request, const explained_callback& on_open,
              const Controller::impl_ptr& token) {
        {
            boost::mutex::scoped_lock lock(mutex_);
            ++pending_;
        }
        // Tasks run only inside run(), whose caller holds this queue.
        boost::asio::post(io_, [this, path, request, on_open, token] {
            load_photo_task(path, request, on_open, token);
        });
    }

    int pending_count() const {
        boost::mutex::scoped_lock lock(mutex_);
        return pending_;
    }

private:
    void load_photo_task(const std::string& path, const media_settings_ptr& request,
                         const explained_callback& on_open, const Controller::impl_ptr& token) {
        OpenResult result = not_opened;
        photo_ptr loaded;
        refused_file reason{file_refusal::none, "cancelled"};
        // The token is looked at once: a later cancel changes nothing.
        if (!token || !token->is_cancelled()) {
            try {
                const media_settings_ptr settings = media_settings::clone(settings_)->merge(request);
                const unsigned int side = side_length(*settings);
                const bool correct = correct_orientation(*settings);
                photo_ptr photo = boost::make_shared<gil_photo>(path, correct);
                photo->impl()->load(side, 1.0);
                loaded = photo;
                result = opened;
                reason = refused_file();
            } catch (...) {
                // Any failure of the load is answered as not opened; the
                // log keeps the whole of it, since the plain callback drops it.
                const std::exception_ptr failure = std::current_exception();
                reason = refused_file{refusal_of(failure), errors::reason_of(failure)};
                log_line(logger::warning()) << "[photo_manager] " << log_quoted(path)
                                            << " not opened: " << errors::log_text_of(failure) << std::endl;
            }
        }
        count_down();
        answer(on_open, result, loaded, reason);
    }

    void count_down() {
        boost::mutex::scoped_lock lock(mutex_);
        --pending_;
    }

    // A callback that throws must not take the worker (and so the process)
    // down with it.
    static void answer(const explained_callback& on_open, OpenResult result, const photo_ptr& photo,
                       const refused_file& reason) {
        if (!on_open)
            return;
        try {
            on_open(result, photo, reason);
        } catch (const std::exception& e) {
            log_line(logger::warning()) << "[photo_manager] open callback failed: " << e.what() << std::endl;
        } catch (...) {
            log_line(logger::warning()) << "[photo_manager] open callback failed" << std::endl;
        }
    }

    const media_settings_ptr settings_;
    const std::chrono::milliseconds patience_;
    const read_interruption_ptr interruption_ = std::make_shared<read_interruption>();
    boost::asio::io_context io_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    mutable boost::mutex mutex_;
    int pending_ = 0;
};

photo_manager::Impl::Impl(const media_settings_ptr& settings)
    : queue_(boost::make_shared<queue>(settings)) {
    const unsigned int count = worker_count(settings);
    try {
        workers_.reserve(count);
        for (unsigned int i = 0; i < count; ++i) {
            boost::shared_ptr<queue> shared = queue_;
            workers_.emplace_back([shared] { shared->run(); });
        }
    } catch (...) {
        stop_and_join();
        throw;
    }
}

photo_manager::Impl::~Impl() { stop_and_join(); }

void photo_manager::Impl::stop_and_join() {
    queue_->stop();
    const std::thread::id self = std::this_thread::get_id();
    for (std::thread& worker : workers_) {
        if (worker.get_id() != self) {
            worker.join();
            continue;
        }
        // Joining the calling thread would wait for ever.
        log_line(logger::error()) << "[photo_manager] destroyed from its own callback: refused to join "
                                     "the calling worker, it ends when the callback returns"
                                  << std::endl;
        worker.detach();
    }
}

ControllerPtr photo_manager::Impl::post_open(const std::string& path, const media_settings_ptr& settings,
                                             const explained_callback& on_open) {
    const Controller::impl_ptr token = Controller::Impl::create();
    queue_->post(path, settings, on_open, token);
    return Controller::create(token);
}

void photo_manager::Impl::post_open_no_handle(const std::string& path, const media_settings_ptr& settings,
                                              const explained_callback& on_open) {
    queue_->post(path, settings, on_open, Controller::impl_ptr());
}

int photo_manager::Impl::pending_count() const { return queue_->pending_count(); }

photo_manager::photo_manager() : photo_manager(media_settings_ptr()) {}

photo_manager::photo_manager(media_settings_ptr settings) : facade(new Impl(settings)) {}

photo_manager_ptr photo_manager::create(media_settings_ptr settings) {
    return boost::make_shared<photo_manager>(settings);
}

namespace {

// A callback without the reason, called as one with it; empty stays empty.
photo_manager::explained_callback unexplained(const photo_manager::open_callback& on_open) {
    if (!on_open)
        return photo_manager::explained_callback();
    return [on_open](photo_manager::OpenResult result, photo_ptr photo, const refused_file&) {
        on_open(result, photo);
    };
}

} // namespace

ControllerPtr photo_manager::open(const std::string& path, media_settings_ptr settings, open_callback on_open) {
    return impl()->post_open(path, settings, unexplained(on_open));
}

ControllerPtr photo_manager::open(const std::string& path, open_callback on_open) {
    return impl()->post_open(path, media_settings_ptr(), unexplained(on_open));
}

ControllerPtr photo_manager::open_explained(const std::string& path, media_settings_ptr settings,
                                            explained_callback on_open) {
    return impl()->post_open(path, settings, on_open);
}

void photo_manager::open_no_handle(const std::string& path, media_settings_ptr settings, open_callback on_open) {
    impl()->post_open_no_handle(path, settings, unexplained(on_open));
}

void photo_manager::open_no_handle(const std::string& path, open_callback on_open) {
    impl()->post_open_no_handle(path, media_settings_ptr(), unexplained(on_open));
}

int photo_manager::pending_count() const { return impl()->pending_count(); }

} // namespace slideshow2
} // namespace kestrel
