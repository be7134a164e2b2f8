#include "files/DTPathFacts.h"

#include "base/DTErrors.h"
#include "files/DTAbandonableCall.h"
#include "files/DTFailureReason.h"
#include "files/DTPathWalk.h"
#include "files/DTReadInterruption.h"
#include "files/DTRegularFile.h"

#include <boost/exception/get_error_info.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace kestrel {

namespace {

// The facts of a located file, its file system asked as `steps` allow.
void fill_facts(int located, path_facts& facts, call_steps& steps) {
    if (!steps.asking(file_system_of_descriptor(located))) {
        facts.refuse(file_refusal::earlier_calls_wait);
        return;
    }
    struct stat status;
    if (::fstatat(located, "", &status, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW) != 0) {
        facts.error = errno;
        facts.reason = errors::file_access_reason(facts.error);
        return;
    }
    facts.mode = status.st_mode;
    facts.device = status.st_dev;
    facts.inode = status.st_ino;
    facts.size = static_cast<long long>(status.st_size);
    const int wanted = S_ISDIR(status.st_mode) ? R_OK | X_OK : R_OK;
    facts.readable = !S_ISLNK(status.st_mode) && ::faccessat(located, "", wanted, AT_EMPTY_PATH | AT_EACCESS) == 0;
    facts.real_path = real_path_of(located);
}

path_facts look_by_steps(const std::string& path, bool follow_last_link, call_steps& steps) {
    path_facts facts;
    const located_path located = locate_path(path, follow_last_link, steps);
    if (located.fd.get() < 0) {
        facts.error = located.error;
        facts.reason = located_path_reason(located);
        facts.refusal = located.refusal;
        return facts;
    }
    fill_facts(located.fd.get(), facts, steps);
    return facts;
}

// What the system knows already of this machine's disk answers here, at
// once: the path itself, located without asking anything, or a name in a
// folder so located (as each name of a folder just listed is), looked up
// there unless it is a link or leads to another file system (a mount
// point), which the steps of a call follow. False when it cannot.
bool look_here(const std::string& path, path_facts& facts) {
    steps_in_place here;
    const int known = current_no_wait_calls().locate_known(path.c_str());
    if (known >= 0) {
        const owned_descriptor located(known);
        if (!on_local_disk(located.get()))
            return false;
        fill_facts(located.get(), facts, here);
        return true;
    }
    // A path the system refuses whole, though its folder is known, is
    // refused by the walk.
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size() || path.size() >= PATH_MAX ||
        path.find('\0') != std::string::npos)
        return false;
    const std::string name = path.substr(slash + 1);
    if (name == "." || name == "..")
        return false;
    const int known_folder = current_no_wait_calls().locate_known(slash == 0 ? "/" : path.substr(0, slash).c_str());
    if (known_folder < 0)
        return false;
    const owned_descriptor folder(known_folder);
    struct statx held;
    if (!on_local_disk(folder.get()) ||
        ::statx(folder.get(), name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, STATX_TYPE,
                &held) != 0 ||
        S_ISLNK(held.stx_mode))
        return false;
    const owned_descriptor located(::openat(folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (located.get() < 0 || !on_local_disk(located.get()))
        return false;
    fill_facts(located.get(), facts, here);
    return true;
}

} // namespace

path_facts look_at_path(const std::string& path, bool follow_last_link,
                        std::chrono::steady_clock::duration patience) {
    path_facts facts;
    if (follow_last_link && !path.empty() && look_here(path, facts))
        return facts;
    try {
        return abandonable_call<path_facts>(
            path,
            [path, follow_last_link](call_steps& steps) { return look_by_steps(path, follow_last_link, steps); },
            patience);
    } catch (const read_interrupted&) {
        throw;
    } catch (const errors::failure&) {
        if (refusal_of(std::current_exception()) != file_refusal::does_not_answer)
            throw;
        path_facts facts;
        facts.refuse(file_refusal::does_not_answer);
        return facts;
    }
}

std::string file_kind_reason(const std::string& path) {
    const path_facts facts = look_at_path(path);
    return facts.error ? facts.reason : irregular_file_reason(facts.mode);
}

} // namespace kestrel
