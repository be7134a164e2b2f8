#include "DTFailureReason.h"

#include "DTErrors.h"

#include <boost/exception/get_error_info.hpp>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace kestrel {
namespace errors {

namespace {

const char unexpected_reason[] = "unexpected error";

std::string reason_text(const std::exception& failure) {
    if (const boost::exception* located = dynamic_cast<const boost::exception*>(&failure))
        if (const std::string* reason = boost::get_error_info<errinfo_reason>(*located))
            return *reason;
    const char* text = failure.what();
    if (!text || !*text || std::strcmp(text, dt_error().what()) == 0)
        return unexpected_reason;
    return text;
}

} // namespace

std::string reason_of(const std::exception_ptr& failure) {
    if (!failure)
        return unexpected_reason;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return reason_text(e);
    } catch (const boost::exception& e) {
        if (const std::string* reason = boost::get_error_info<errinfo_reason>(e))
            return *reason;
    } catch (...) {
    }
    return unexpected_reason;
}

std::string file_access_reason(int error_number) {
    switch (error_number) {
    case ENOENT:
    case ENOTDIR:
        return "not found";
    case EACCES:
    case EPERM:
        return "no permission to read it";
    case EISDIR:
        return "a folder, not a file";
    default:
        return "cannot be opened: " + std::generic_category().message(error_number);
    }
}

} // namespace errors
} // namespace kestrel
