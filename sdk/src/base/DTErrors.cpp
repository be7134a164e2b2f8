#include "base/DTErrors.h"

namespace kestrel {
namespace errors {

dt_error::dt_error() : text_("kestrel sdk error") {}

dt_error::dt_error(std::string text) : text_(std::move(text)) {}

const char* dt_error::what() const noexcept { return text_.c_str(); }

unexpected::unexpected() : dt_error("unexpected") {}
create_file::create_file() {}
invalid_pointer::invalid_pointer() : dt_error("invalid pointer") {}
invalid_argument::invalid_argument() : dt_error("invalid argument") {}
invalid_operation::invalid_operation() : dt_error("invalid operation") {}
error::error() {}
failure::failure() {}
bad_alloc::bad_alloc() : dt_error("bad alloc") {}

} // namespace errors
} // namespace kestrel
