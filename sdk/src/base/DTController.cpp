#include "base/DTController.h"

#include <boost/make_shared.hpp>

namespace kestrel {

Controller::impl_ptr Controller::Impl::create() { return impl_ptr(new Impl()); }

bool Controller::Impl::is_cancelled() const {
    boost::mutex::scoped_lock lock(mutex_);
    return cancelled_;
}

boost::shared_ptr<Controller> Controller::create(const impl_ptr& token) {
    return boost::make_shared<Controller>(token);
}

Controller::Controller(impl_ptr token) : token_(std::move(token)) {}

void Controller::cancel() {
    boost::mutex::scoped_lock lock(token_->mutex_);
    token_->cancelled_ = true;
}

} // namespace kestrel
