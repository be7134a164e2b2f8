#include "files/DTFolderEntries.h"

#include "base/DTUtf8Text.h"
#include "files/DTAbandonableCall.h"
#include "files/DTFailureReason.h"
#include "files/DTPathFacts.h"
#include "files/DTPathWalk.h"
#include "files/DTReadInterruption.h"
#include "files/DTRegularFile.h"

#include <boost/exception/get_error_info.hpp>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace kestrel {

int list_folder(const std::string& folder, std::vector<std::string>& names, bool hidden,
                std::chrono::steady_clock::duration patience, file_refusal* refusal) {
    struct listing {
        int error = 0;
        file_refusal refusal = file_refusal::none;
        std::vector<std::string> names;
    };
    const auto list = [folder, hidden](call_steps& steps) {
        listing got;
        const located_path located = locate_path(folder, true, steps);
        if (located.fd.get() < 0) {
            got.error = located.error;
            got.refusal = located.refusal;
            return got;
        }
        if (!steps.asking(file_system_of_descriptor(located.fd.get()))) {
            got.refusal = file_refusal::earlier_calls_wait;
            got.error = errno_of(got.refusal);
            return got;
        }
        const int fd = reopen_located(located.fd.get(), O_DIRECTORY);
        std::unique_ptr<DIR, int (*)(DIR*)> dir(fd >= 0 ? ::fdopendir(fd) : nullptr, ::closedir);
        if (!dir) {
            got.error = errno;
            if (fd >= 0)
                ::close(fd);
            return got;
        }
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir.get());
            if (!entry) {
                got.error = errno;
                break;
            }
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || (!hidden && name[0] == '.'))
                continue;
            got.names.push_back(name);
        }
        if (got.error)
            got.names.clear();
        return got;
    };
    listing got;
    try {
        got = abandonable_call<listing>(folder, list, patience);
    } catch (const read_interrupted&) {
        throw;
    } catch (const errors::failure& e) {
        const int* code = boost::get_error_info<errinfo_errno>(e);
        if (!code)
            throw;
        if (refusal)
            *refusal = refusal_of(std::current_exception());
        return *code;
    }
    if (refusal)
        *refusal = got.refusal;
    if (got.error == 0)
        names = std::move(got.names);
    return got.error;
}

std::string unusable_path_reason(const std::string& path, std::chrono::steady_clock::duration patience) {
    // A name Qt's side cannot hold: whatever is there, it is reached by no
    // other name the user could be shown.
    if (!is_utf8_text(path))
        return log_words(file_refusal::name_not_utf8);
    return unusable_path_reason(look_at_path(path, true, patience));
}

std::string unusable_path_reason(const path_facts& facts) {
    if (facts.error)
        return facts.reason;
    if (S_ISDIR(facts.mode))
        return facts.readable ? std::string() : errors::file_access_reason(EACCES);
    const std::string irregular = irregular_file_reason(facts.mode);
    if (!irregular.empty())
        return irregular;
    return facts.readable ? std::string() : errors::file_access_reason(EACCES);
}

} // namespace kestrel
