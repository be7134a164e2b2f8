#pragma once
// An input stream over the HTTP client's buffer (IStreamBuf.h): set
// options, open a URL, read the body. A failed open sets failbit; the
// reason is rdbuf()->error(). One thread at a time.

#include "net/IStreamBuf.h"
#include "net/OptionSet.h"
#include "net/Url.h"

#include <boost/utility/base_from_member.hpp>

#include <istream>

namespace urdl {

class istream : private boost::base_from_member<istreambuf>, public std::istream {
public:
    istream() : std::istream(&this->member) {}
    istream(const istream&) = delete;
    istream& operator=(const istream&) = delete;

    template <class T>
    void set_option(const T& value) {
        option_set options;
        options.set_option(value);
        rdbuf()->set_options(options);
    }

    void open(const url& target) {
        if (rdbuf()->open(target))
            clear();
        else
            setstate(std::ios_base::failbit);
    }

    istreambuf* rdbuf() const { return const_cast<istreambuf*>(&this->member); }
};

} // namespace urdl
