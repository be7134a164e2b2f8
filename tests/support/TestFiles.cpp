#include "support/TestFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace kestrel {
namespace test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device random;
    std::ostringstream name;
    name << "kestrel-tëst-Ωmega-" << std::hex << random() << random();
    path_ = (fs::temp_directory_path() / name.str()).string();
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool file_exists(const std::string& path) { return fs::exists(path); }

long long file_size(const std::string& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? -1 : static_cast<long long>(size);
}

void forget_cached_pages(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

bool leave_free(const std::string& filler, int pages) {
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::string page(4096, 'x');
    off_t size = 0;
    while (::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size()))
        size += static_cast<off_t>(page.size());
    const bool left = ::ftruncate(fd, std::max<off_t>(0, size - pages * static_cast<off_t>(page.size()))) == 0;
    ::close(fd);
    return left;
}

} // namespace test
} // namespace kestrel
