#pragma once
// Text conversions between UTF-8, wide text and the user's 8-bit code page,
// opening files by path, and base64.

#include <boost/shared_ptr.hpp>

#include <cstdio>
#include <string>

namespace kestrel {

// Invalid input throws std::logic_error("character conversion failed").
std::wstring utf8_to_wide(const std::string& text);
std::string wide_to_utf8(const std::wstring& text);
// Text in the user's default 8-bit encoding to UTF-8. Switches the process
// locale while it runs, so it must not run beside locale-dependent threads.
std::string local8bit_to_utf8(const std::string& text);

// Closes the FILE when the last handle goes; an open that failed still
// gives a FILEPtr, holding null.
void fclose__(FILE* file);
typedef boost::shared_ptr<FILE> FILEPtr;

// The path's bytes go to the system as they are: a name that is not UTF-8
// opens too. Never inherited by programs the library starts.
FILEPtr open_file(const std::string& path, const char* mode);
FILEPtr open_file(const std::wstring& path, const wchar_t* mode);

// Standard base64 (RFC 4648), no line breaks.
std::string base64_encode(const unsigned char* bytes, unsigned int count);
// Stops for good at the first character outside the alphabet ("=" too).
std::string base64_decode(const std::string& text);

namespace utils {
// Deleters for shared buffers: one that never frees, one that frees
// through a function given the address of the pointer.
struct no_delete {
    template <class T>
    void operator()(T*) const {}
};

template <class T>
struct func_deleter {
    typedef void (*free_function)(T**);
    explicit func_deleter(free_function f) : free(f) {}
    void operator()(T* p) const {
        if (free)
            free(&p);
    }
    free_function free;
};
} // namespace utils

} // namespace kestrel
