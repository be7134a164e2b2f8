#include "DTFolderEntries.h"

#include "DTFailureReason.h"
#include "DTRegularFile.h"

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

// Whether this process (its effective user) may do that to the path.
bool may(const std::string& path, int what) { return ::faccessat(AT_FDCWD, path.c_str(), what, AT_EACCESS) == 0; }

} // namespace

int list_folder(const std::string& folder, std::vector<std::string>& names, bool hidden) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return errno;
    std::vector<std::string> found;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                return errno;
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || (!hidden && name[0] == '.'))
            continue;
        found.push_back(name);
    }
    names = std::move(found);
    return 0;
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

std::string unusable_path_reason(const std::string& path) {
    // A name Qt's side cannot hold: whatever is there, it is reached by no
    // other name the user could be shown.
    if (!is_utf8_text(path))
        return not_utf8_name_reason;
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return missing_file_reason(path, errno);
    if (S_ISDIR(status.st_mode))
        return may(path, R_OK | X_OK) ? std::string() : errors::file_access_reason(EACCES);
    const std::string irregular = irregular_file_reason(status.st_mode);
    if (!irregular.empty())
        return irregular;
    return may(path, R_OK) ? std::string() : errors::file_access_reason(EACCES);
}

} // namespace kestrel
