// The file system of a path, told by its words alone, is the one the
// system finds when the path is opened.

#include "DTFileSystem.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

using namespace kestrel;

namespace {

file_system_id file_system_when_opened(const std::string& path) {
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    const file_system_id found = fd >= 0 ? file_system_of_descriptor(fd) : 0;
    if (fd >= 0)
        ::close(fd);
    return found;
}

} // namespace

TEST(FileSystem, APathsWordsTellTheMountItLiesUnder) {
    test::TempDir dir;
    const std::string photo = dir.file("photo.jpg");
    test::write_file(photo, "x");
    // Enough ".." to climb from any working folder to the root.
    const std::string relative_to_proc = "../../../../../../../../../../../../proc/self/status";
    for (const std::string& path :
         {photo, dir.path() + "//./photo.jpg", std::string("/proc/self/status"), std::string("/dev/null"),
          std::string("/proc/self/../self/status"), relative_to_proc, std::string("/")}) {
        SCOPED_TRACE(path);
        const file_system_id opened = file_system_when_opened(path);
        ASSERT_NE(0u, opened);
        EXPECT_EQ(opened, file_system_of_path(path));
    }
    EXPECT_NE(file_system_of_path(photo), file_system_of_path("/proc/self/status"));
}
