#include "RefusalWords.h"

namespace make_show {

std::string refusal_words(kestrel::file_refusal refusal) {
    switch (refusal) {
    case kestrel::file_refusal::does_not_answer:
        return "does not answer";
    case kestrel::file_refusal::earlier_calls_wait:
        return "does not answer: earlier requests to its disk that never answered still wait";
    case kestrel::file_refusal::held_by_lease:
        return "another program holds a lease on it";
    case kestrel::file_refusal::name_not_utf8:
        return "its name is not UTF-8 text: rename it";
    case kestrel::file_refusal::none:
        break;
    }
    return std::string();
}

std::string refusal_words(const kestrel::refused_file& reason) {
    return reason.refusal == kestrel::file_refusal::none ? reason.words : refusal_words(reason.refusal);
}

std::string waiting_words(kestrel::file_refusal why) {
    return why == kestrel::file_refusal::held_by_lease ? refusal_words(why) : "it does not answer";
}

} // namespace make_show
