#pragma once
// Cancellation of a queued background job: the queue keeps the token, the
// caller keeps the Controller and may cancel from any thread. A job checks
// the token once, before it starts; a cancel after that has no effect.

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/thread/mutex.hpp>

namespace kestrel {

class Controller {
public:
    class Impl : private boost::noncopyable {
    public:
        static boost::shared_ptr<Impl> create();
        bool is_cancelled() const;

    private:
        friend class Controller;
        Impl() = default;
        mutable boost::mutex mutex_;
        bool cancelled_ = false;
    };
    typedef boost::shared_ptr<Impl> impl_ptr;

    static boost::shared_ptr<Controller> create(const impl_ptr& token);
    explicit Controller(impl_ptr token);

    void cancel();

private:
    impl_ptr token_;
};

typedef boost::shared_ptr<Controller> ControllerPtr;

} // namespace kestrel
