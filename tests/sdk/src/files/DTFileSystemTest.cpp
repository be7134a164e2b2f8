// The file system of a path is the one the system finds when the path is
// opened: through links, "..", nested and bind mounts, found by following
// it one name at a time.

#include "files/DTFileSystem.h"
#include "files/DTPathWalk.h"

#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

file_system_id file_system_when_opened(const std::string& path) {
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    const file_system_id found = fd >= 0 ? file_system_of_descriptor(fd) : 0;
    if (fd >= 0)
        ::close(fd);
    return found;
}

// The file systems a walk asks, in order; refuses `refused` when given.
class recorded_steps : public call_steps {
public:
    explicit recorded_steps(file_system_id refused = 0) : refused_(refused) {}
    bool asking(file_system_id file_system, file_refusal) override {
        asked.push_back(file_system);
        return file_system != refused_;
    }
    std::vector<file_system_id> asked;

private:
    file_system_id refused_;
};

} // namespace

// What a path reaches, and where a file about to be made would lie.
TEST(FileSystem, APathReachesTheFileSystemTheSystemOpens) {
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
        EXPECT_EQ(opened, file_system_reached(path));
    }
    EXPECT_EQ(file_system_when_opened(dir.path()), file_system_reached(dir.file("to be made.mp4")));
    EXPECT_EQ(0u, file_system_reached(dir.file("missing/to be made.mp4")));
    EXPECT_NE(file_system_reached(photo), file_system_reached("/proc/self/status"));
}

// A mount point whose name mountinfo must escape, a mount inside it, the
// inner one bound elsewhere, links into them and ".." after a link: the
// walk's last step asks the file system the file lies on, a bound mount is
// the same file system, and a step refused ends the walk there.
TEST(FileSystem, AWalkAsksWhereThePathLiesThroughLinksAndMounts) {
    test::TempDir dir;
    const std::string outer = dir.file("outer share\twith \\escapes");
    const std::string inner = outer + "/inner";
    const std::string bound = dir.file("bound");
    ASSERT_EQ(0, ::mkdir(outer.c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(bound.c_str(), 0700));
    test::scoped_mount outer_mount("tmpfs", outer, "tmpfs", 0);
    if (!outer_mount.unavailable().empty())
        GTEST_SKIP() << outer_mount.unavailable();
    ASSERT_EQ(0, ::mkdir(inner.c_str(), 0700));
    test::scoped_mount inner_mount("tmpfs", inner, "tmpfs", 0);
    ASSERT_EQ("", inner_mount.unavailable());
    test::write_file(inner + "/photo.jpg", "inner");
    test::write_file(outer + "/photo.jpg", "outer");
    test::scoped_mount bound_mount(inner, bound, nullptr, MS_BIND);
    ASSERT_EQ("", bound_mount.unavailable());
    ASSERT_EQ(0, ::symlink(inner.c_str(), dir.file("link").c_str()));
    ASSERT_EQ(0, ::symlink("link/photo.jpg", dir.file("photo link.jpg").c_str()));

    const file_system_id outer_system = file_system_when_opened(outer + "/photo.jpg");
    const file_system_id inner_system = file_system_when_opened(inner + "/photo.jpg");
    ASSERT_NE(outer_system, inner_system);
    EXPECT_EQ(outer_system, file_system_reached(outer + "/photo.jpg")) << "a mount point mountinfo escapes";
    EXPECT_EQ(inner_system, file_system_reached(dir.file("link/photo.jpg"))) << "the nested mount through a link";
    EXPECT_EQ(inner_system, file_system_when_opened(bound + "/photo.jpg")) << "one file system bound twice";

    struct walked {
        std::string path;
        std::string bytes;
        file_system_id last_asked;
    };
    for (const walked& each : std::vector<walked>{
             {inner + "/photo.jpg", "inner", inner_system},
             {dir.file("link/photo.jpg"), "inner", inner_system},
             {dir.file("photo link.jpg"), "inner", inner_system},
             // ".." after a link leaves where the link led, not where its words stand.
             {dir.file("link/../photo.jpg"), "outer", outer_system},
             {bound + "/photo.jpg", "inner", inner_system},
             {outer + "/inner/../inner/./photo.jpg", "inner", inner_system}}) {
        SCOPED_TRACE(each.path);
        recorded_steps steps;
        const located_path located = locate_path(each.path, true, steps);
        ASSERT_GE(located.fd.get(), 0) << located.error;
        ASSERT_FALSE(steps.asked.empty());
        EXPECT_EQ(each.last_asked, steps.asked.back());
        EXPECT_EQ(each.last_asked, file_system_of_descriptor(located.fd.get()));
        const int opened = reopen_located(located.fd.get(), 0);
        ASSERT_GE(opened, 0);
        char bytes[16] = {};
        EXPECT_EQ(each.bytes, std::string(bytes, static_cast<std::size_t>(::read(opened, bytes, sizeof bytes))));
        ::close(opened);
    }

    // Refused on the inner file system: the link itself is read, nothing
    // past it is looked up.
    recorded_steps refusing(inner_system);
    const located_path refused = locate_path(dir.file("photo link.jpg"), true, refusing);
    EXPECT_EQ(-1, refused.fd.get());
    EXPECT_EQ(EBUSY, refused.error);
    // The walk starts at the root, wherever the scratch folder lies.
    EXPECT_EQ(file_system_when_opened("/"), refusing.asked.front());
    EXPECT_EQ(inner_system, refusing.asked.back());
    EXPECT_EQ(1, std::count(refusing.asked.begin(), refusing.asked.end(), inner_system));

    // A link to nothing, a loop, a file taken for a folder.
    ASSERT_EQ(0, ::symlink("nowhere", dir.file("dangling").c_str()));
    ASSERT_EQ(0, ::symlink("loop", dir.file("loop").c_str()));
    recorded_steps steps;
    EXPECT_TRUE(locate_path(dir.file("dangling"), true, steps).dangling_link);
    EXPECT_GE(locate_path(dir.file("dangling"), false, steps).fd.get(), 0) << "the link itself";
    EXPECT_EQ(ELOOP, locate_path(dir.file("loop"), true, steps).error);
    EXPECT_EQ(ENOTDIR, locate_path(inner + "/photo.jpg/", true, steps).error);
}
