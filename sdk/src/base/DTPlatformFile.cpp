#include "base/DTPlatformFile.h"

#include "base/DTUtils.h"

#include <fcntl.h>

namespace kestrel {
namespace platform {

FILE* wfopen(const std::wstring& path, const std::wstring& mode) {
    // "e": no descriptor leaks into programs the application starts.
    return std::fopen(wide_to_utf8(path).c_str(), (wide_to_utf8(mode) + "e").c_str());
}

int wopen(const std::wstring& path, int flags, int permissions) {
    return ::open(wide_to_utf8(path).c_str(), flags | O_CLOEXEC, permissions);
}

int wstat(const std::wstring& path, struct stat* status) {
    return ::stat(wide_to_utf8(path).c_str(), status);
}

} // namespace platform
} // namespace kestrel
