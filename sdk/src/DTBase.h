#pragma once
// Roots of the library's object model: every public class is a thin facade
// (derived from interface_base) that owns one implementation object (derived
// from impl_base) and forwards every call to it.

#include <boost/noncopyable.hpp>

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

} // namespace kestrel
