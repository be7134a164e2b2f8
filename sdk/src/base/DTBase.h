#pragma once
// Roots of the library's object model: every public class is a thin facade
// that owns one implementation object (derived from impl_base) and forwards
// every call to it.
//
//   class media_packet : public facade<media_packet> {
//   public:
//       class Impl : public impl_base { ... };
//       explicit media_packet(Impl* impl) : facade(impl) {}
//       int size() const { return impl()->size(); }
//   };
//
// facade<F> takes the implementation over at construction (also when a
// derived constructor throws later) and destroys it with the facade; F is
// the facade class itself, and impl() hands out its nested F::Impl.

#include <boost/noncopyable.hpp>

#include <memory>

namespace kestrel {

// Facades are shared by handle, never copied.
class interface_base {
public:
    interface_base() = default;
    interface_base(const interface_base&) = delete;
    interface_base& operator=(const interface_base&) = delete;
};

class impl_base : private boost::noncopyable {
public:
    virtual ~impl_base() = 0;
};

inline impl_base::~impl_base() = default;

template <class Facade>
class facade : public interface_base {
public:
    virtual ~facade() = default;

protected:
    // Null is allowed for a facade whose constructor sets its
    // implementation afterwards (reset_impl).
    explicit facade(impl_base* impl) : impl_(impl) {}

    // Deduced, so that Facade::Impl is looked up once Facade is complete.
    auto impl() const { return static_cast<typename Facade::Impl*>(impl_.get()); }
    // Destroys the current implementation and owns the given one.
    void reset_impl(impl_base* impl) { impl_.reset(impl); }

private:
    std::unique_ptr<impl_base> impl_;
};

} // namespace kestrel
