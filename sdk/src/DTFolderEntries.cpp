#include "DTFolderEntries.h"

#include "DTAbandonableCall.h"
#include "DTFailureReason.h"
#include "DTPathFacts.h"
#include "DTPathWalk.h"
#include "DTReadInterruption.h"
#include "DTRegularFile.h"

#include <boost/exception/get_error_info.hpp>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace kestrel {

namespace {

// Whether the bytes after the lead byte continue a sequence of `total`
// bytes, with the bounds of the second byte that rule out overlong forms,
// surrogates and code points beyond U+10FFFF.
bool continues(const unsigned char* bytes, std::size_t total) {
    unsigned char low = 0x80, high = 0xBF;
    if (total == 3 && bytes[0] == 0xE0)
        low = 0xA0;
    else if (total == 3 && bytes[0] == 0xED)
        high = 0x9F;
    else if (total == 4 && bytes[0] == 0xF0)
        low = 0x90;
    else if (total == 4 && bytes[0] == 0xF4)
        high = 0x8F;
    if (bytes[1] < low || bytes[1] > high)
        return false;
    for (std::size_t i = 2; i < total; ++i)
        if ((bytes[i] & 0xC0) != 0x80)
            return false;
    return true;
}

} // namespace

int list_folder(const std::string& folder, std::vector<std::string>& names, bool hidden,
                std::chrono::steady_clock::duration patience) {
    struct listing {
        int error = 0;
        std::vector<std::string> names;
    };
    const auto list = [folder, hidden](call_steps& steps) {
        listing got;
        const located_path located = locate_path(folder, true, steps);
        if (located.fd.get() < 0) {
            got.error = located.error;
            return got;
        }
        if (!steps.asking(file_system_of_descriptor(located.fd.get()))) {
            got.error = EBUSY;
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
        return *code;
    }
    if (got.error == 0)
        names = std::move(got.names);
    return got.error;
}

bool is_utf8_text(const std::string& bytes) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = at + bytes.size();
    while (at < end) {
        const unsigned char lead = *at;
        const std::size_t total = lead < 0x80                   ? 1
                                  : lead >= 0xC2 && lead <= 0xDF ? 2
                                  : lead >= 0xE0 && lead <= 0xEF ? 3
                                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                 : 0;
        if (total == 0 || std::size_t(end - at) < total || (total > 1 && !continues(at, total)))
            return false;
        at += total;
    }
    return true;
}

std::string unusable_path_reason(const std::string& path, std::chrono::steady_clock::duration patience) {
    // A name Qt's side cannot hold: whatever is there, it is reached by no
    // other name the user could be shown.
    if (!is_utf8_text(path))
        return not_utf8_name_reason;
    const path_facts facts = look_at_path(path, true, patience);
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
