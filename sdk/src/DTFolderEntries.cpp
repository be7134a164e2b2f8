#include "DTFolderEntries.h"

#include "DTFailureReason.h"
#include "DTRegularFile.h"
#include "DTUtf8Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace kestrel {

namespace {

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
