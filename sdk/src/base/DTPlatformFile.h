#pragma once
// The wide-character file calls the library opens files with. On this
// platform file names are UTF-8 bytes, so each call converts its wide
// path back to UTF-8 and calls the POSIX function.

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace kestrel {
namespace platform {

// Like fopen; mode as fopen's ("wb", "rb").
FILE* wfopen(const std::wstring& path, const std::wstring& mode);
// Like open(2): returns a descriptor, or -1 with errno set.
int wopen(const std::wstring& path, int flags, int permissions);
// Like stat(2): 0, or -1 with errno set.
int wstat(const std::wstring& path, struct stat* status);

} // namespace platform
} // namespace kestrel
