#pragma once
// The library's one failure channel: every failure is thrown as a kind of
// errors::dt_error through KESTREL_THROW, which records the throwing
// function, file and line and makes the exception capturable for a rethrow
// on another thread (boost::current_exception).

#include <boost/exception/all.hpp>
#include <boost/type_traits/is_virtual_base_of.hpp>

#include <exception>
#include <string>

namespace kestrel {
namespace errors {

class dt_error : public virtual boost::exception, public virtual std::exception {
public:
    dt_error();
    explicit dt_error(std::string text);
    const char* what() const noexcept override;

private:
    std::string text_;
};

#define KESTREL_DECLARE_ERROR(name)                                       \
    class name : public virtual dt_error {                                \
    public:                                                               \
        name();                                                           \
        explicit name(std::string text) : dt_error(std::move(text)) {}    \
    };

KESTREL_DECLARE_ERROR(unexpected)
KESTREL_DECLARE_ERROR(create_file)
KESTREL_DECLARE_ERROR(invalid_pointer)
KESTREL_DECLARE_ERROR(invalid_argument)
KESTREL_DECLARE_ERROR(invalid_operation)
KESTREL_DECLARE_ERROR(error)
KESTREL_DECLARE_ERROR(failure)
KESTREL_DECLARE_ERROR(bad_alloc)

#undef KESTREL_DECLARE_ERROR

namespace detail {

// The object that is really thrown. Boost's own wrapper would rebuild the
// virtual base dt_error with its default text; this one is the most derived
// class, so it copies the virtual bases itself and every copy keeps the text.
template <class E, bool = boost::is_virtual_base_of<dt_error, E>::value>
class thrown final : public E, public boost::exception_detail::clone_base {
public:
    explicit thrown(const E& e)
        : boost::exception(e), std::exception(e), dt_error(e), E(e) {}
    thrown(const thrown& other)
        : boost::exception(other), std::exception(other), dt_error(other),
          E(other), boost::exception_detail::clone_base() {}
    const clone_base* clone() const override { return new thrown(*this); }
    void rethrow() const override { throw *this; }
};

// Kinds that derive from dt_error non-virtually (the muxer's errors).
template <class E>
class thrown<E, false> final : public E, public boost::exception_detail::clone_base {
public:
    explicit thrown(const E& e) : boost::exception(e), std::exception(e), E(e) {}
    thrown(const thrown& other)
        : boost::exception(other), std::exception(other), E(other),
          boost::exception_detail::clone_base() {}
    const clone_base* clone() const override { return new thrown(*this); }
    void rethrow() const override { throw *this; }
};

template <class E>
[[noreturn]] void throw_located(const E& e, const char* function, const char* file, int line) {
    thrown<E> located(e);
    located << boost::throw_function(function) << boost::throw_file(file)
            << boost::throw_line(line);
    throw located;
}

} // namespace detail
} // namespace errors

// FFmpeg or another library call that failed, and the code it returned.
using errinfo_api_function = boost::errinfo_api_function;
using errinfo_errno = boost::errinfo_errno;

} // namespace kestrel

// Throws an error of the family with the function, file and line attached:
// KESTREL_THROW(errors::unexpected() << errinfo_api_function("av_new_packet"));
#define KESTREL_THROW(e) \
    ::kestrel::errors::detail::throw_located((e), BOOST_CURRENT_FUNCTION, __FILE__, __LINE__)
