#pragma once
// Why a file could not be had, or is waited for, as a value: the library
// tells what happened, and the program and the maker tell the user in
// words of their own, which they may translate. The library's errors and
// log lines carry fixed English words for it (log_words). Any thread.

#include "base/DTErrors.h"

#include <boost/exception/error_info.hpp>

#include <exception>
#include <string>

namespace kestrel {

enum class file_refusal {
    none,               // not one of these: the failure's own reason says why
    does_not_answer,    // no answer within the patience (errno ETIMEDOUT)
    earlier_calls_wait, // refused at once: calls left waiting on its file
                        // system hold all of their places (errno EBUSY)
    held_by_lease,      // another program holds a lease on it
    name_not_utf8,      // its name is not UTF-8 text
};

typedef boost::error_info<struct tag_file_refusal, file_refusal> errinfo_file_refusal;

// Why a file was refused: its refusal, or none and the library's words
// ("not found", "a folder, not a file", ...). `words` holds the log words
// of a refusal.
struct refused_file {
    file_refusal refusal = file_refusal::none;
    std::string words;
};

// The refusal a caught failure carries; none when it carries none.
file_refusal refusal_of(const std::exception_ptr& failure);

// Whether the file may come once its file system answers again, so that it
// is worth asking again later.
bool may_answer_later(file_refusal refusal);

// The errno a failure of that refusal carries.
int errno_of(file_refusal refusal);

// Fixed words for errors and the log: never translated, and not what the
// user reads.
const char* log_words(file_refusal refusal);

// The failure to throw for it (KESTREL_THROW): its log words, errno and
// the refusal.
errors::failure refusal_failure(file_refusal refusal);

// How many failures of a file that may answer later (refusal_failure) this
// thread has made: a caller that sees the count grow across a call knows
// that a wait within it gave up, whatever the call then returned (a
// demuxer that cannot read on lands where it last could, without a word).
unsigned long long unanswered_here();

} // namespace kestrel
