#include "files/DTFileRefusal.h"

#include <boost/exception/get_error_info.hpp>

#include <cerrno>

namespace kestrel {

file_refusal refusal_of(const std::exception_ptr& failure) {
    if (!failure)
        return file_refusal::none;
    try {
        std::rethrow_exception(failure);
    } catch (const boost::exception& e) {
        if (const file_refusal* refusal = boost::get_error_info<errinfo_file_refusal>(e))
            return *refusal;
    } catch (...) {
    }
    return file_refusal::none;
}

bool may_answer_later(file_refusal refusal) {
    return refusal == file_refusal::does_not_answer || refusal == file_refusal::earlier_calls_wait;
}

int errno_of(file_refusal refusal) {
    switch (refusal) {
    case file_refusal::does_not_answer:
        return ETIMEDOUT;
    case file_refusal::earlier_calls_wait:
        return EBUSY;
    case file_refusal::held_by_lease:
        return EWOULDBLOCK;
    case file_refusal::name_not_utf8:
        return EILSEQ;
    case file_refusal::none:
        break;
    }
    return 0;
}

const char* log_words(file_refusal refusal) {
    switch (refusal) {
    case file_refusal::does_not_answer:
        return "does not answer";
    case file_refusal::earlier_calls_wait:
        return "does not answer: earlier requests to its disk that never answered still wait";
    case file_refusal::held_by_lease:
        return "another program holds a lease on it";
    case file_refusal::name_not_utf8:
        return "its name is not UTF-8 text";
    case file_refusal::none:
        break;
    }
    return "";
}

namespace {
thread_local unsigned long long unanswered_made = 0;
} // namespace

errors::failure refusal_failure(file_refusal refusal) {
    if (may_answer_later(refusal))
        ++unanswered_made;
    errors::failure failure(log_words(refusal));
    failure << errinfo_errno(errno_of(refusal)) << errinfo_file_refusal(refusal);
    return failure;
}

unsigned long long unanswered_here() { return unanswered_made; }

} // namespace kestrel
