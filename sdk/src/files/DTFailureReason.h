#pragma once
// Why a file or a choice was refused, in words for the person who chose it
// ("empty file", "not a JPEG file (it is a PNG)", "no sound in it"). The
// error's own text is for the log; a failure that the user may see carries
// its reason in errinfo_reason, or is thrown with a text that is one.

#include <boost/exception/error_info.hpp>

#include <exception>
#include <string>

namespace kestrel {

typedef boost::error_info<struct tag_failure_reason, std::string> errinfo_reason;

namespace errors {

// The reason of a caught failure: its errinfo_reason, else its text when
// that says more than the library's default one, else "unexpected error".
std::string reason_of(const std::exception_ptr& failure);

// The same failure in one line for the log: its reason, then what the error
// says beyond it (its own text, the library call that failed and the code
// it gave, where it was thrown): "not found (av_open_input_file failed,
// code 2, at DTFFMediaSplitter.cpp:16)".
std::string log_text_of(const std::exception_ptr& failure);

// A file that could not be opened, by the errno of the failed open: "not
// found", "no permission to read it", "a folder, not a file", "does not
// answer" (ETIMEDOUT), else the system's words.
std::string file_access_reason(int error_number);

} // namespace errors
} // namespace kestrel
