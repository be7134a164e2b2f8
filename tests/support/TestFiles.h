#pragma once
// Scratch folders for tests, named with letters outside ASCII so that every
// file test also proves UTF-8 paths work.

#include <string>

namespace kestrel {
namespace test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
long long file_size(const std::string& path);
// Drops what the kernel keeps of the file's pages, which would answer for
// a share that hangs.
void forget_cached_pages(const std::string& path);
// Fills the file system that holds `filler` (made anew) but for `pages`
// pages of 4 KiB; whether it could.
bool leave_free(const std::string& filler, int pages);

} // namespace test
} // namespace kestrel
