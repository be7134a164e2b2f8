#pragma once
// How the producer turns failures into its result codes and log lines: the
// one place that knows which exception means which code.

#include "base/DTErrors.h"
#include "slideshow2/DTSlideshowProduce.h"

#include <exception>

namespace kestrel {
namespace slideshow2 {

// A stop request ended the production; what() is "cancel".
class error_cancel : public virtual errors::dt_error {
public:
    error_cancel() : errors::dt_error("cancel") {}
};

// Not one photo of the show could be read; what() is "no photo could be read".
class error_no_photo_readable : public virtual errors::dt_error {
public:
    error_no_photo_readable() : errors::dt_error("no photo could be read") {}
};

// The code of a failure: 3 audio encoder, 4 video encoder, 5 output file
// not created, 6 any other muxer error, 2 unknown preset, 1 cancel, 8 no
// photo readable, 7 the rest (a null pointer included).
slideshow_produce::Result result_of_failure(const std::exception_ptr& failure);

// One error line for the failure: "error: " and what() then Boost's
// diagnostic text for the library's errors, "error: " and what() (or the
// diagnostic text) for other exceptions, "unexpected error" for the rest.
void log_failure(const std::exception_ptr& failure);

} // namespace slideshow2
} // namespace kestrel
