#include "files/DTFailureReason.h"

#include "base/DTErrors.h"
#include "files/DTFileRefusal.h"

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

// What a located failure says beyond its reason, "" when nothing.
std::string details_of(const boost::exception& failure, const std::string& reason) {
    std::string details;
    const auto add = [&details](const std::string& part) { details += (details.empty() ? "" : ", ") + part; };
    const std::exception* standard = dynamic_cast<const std::exception*>(&failure);
    if (standard && standard->what() && reason != standard->what() &&
        std::strcmp(standard->what(), dt_error().what()) != 0)
        add(standard->what());
    const char* const* function = boost::get_error_info<errinfo_api_function>(failure);
    if (function && *function)
        add(std::string(*function) + " failed");
    if (const int* code = boost::get_error_info<errinfo_errno>(failure))
        add("code " + std::to_string(*code));
    const char* const* file = boost::get_error_info<boost::throw_file>(failure);
    const int* line = boost::get_error_info<boost::throw_line>(failure);
    if (file && *file && line) {
        const char* slash = std::strrchr(*file, '/');
        add(std::string("at ") + (slash ? slash + 1 : *file) + ":" + std::to_string(*line));
    }
    return details;
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

std::string log_text_of(const std::exception_ptr& failure) {
    const std::string reason = reason_of(failure);
    std::string details;
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const boost::exception& e) {
        details = details_of(e, reason);
    } catch (...) {
    }
    return details.empty() ? reason : reason + " (" + details + ")";
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
    // What a read that may never answer gives up with: a refusal of its own
    // is worded by whoever shows it.
    case ETIMEDOUT:
        return log_words(file_refusal::does_not_answer);
    default:
        return "cannot be opened: " + std::generic_category().message(error_number);
    }
}

} // namespace errors
} // namespace kestrel
