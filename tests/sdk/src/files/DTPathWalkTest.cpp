// A path followed one name at a time leads where the system leads, or is
// refused as the system refuses it: random trees of folders (some closed,
// some sticky and open to all), files and links ("..", "//", trailing
// slashes, loops, /proc's links), across bind and nosymfollow mounts, a
// second proc mount whose descriptor link leads to a deleted file, and a
// detached nosymfollow mount the mount table no longer lists, as root and
// as an ordinary user, checked against stat(2) path by path.
// Each random comparison runs in a child of its own, so that it may change
// its folder, its user and its mounts; the seed is printed on a failure and
// KESTREL_WALK_SEED replays it.

#include "files/DTPathFacts.h"
#include "files/DTPathWalk.h"

#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <random>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

const uid_t nobody = 65534;
const int unavailable_status = 77;

// Names no other program puts anywhere, so that a path climbing out of
// the tree meets nothing that changes meanwhile.
const std::vector<std::string> pool{"ŋa", "ŋb", "ŋc", "ŋd", "ŋe", "ŋf", "m1", "m2", "b1", "b2"};

class every_step_allowed : public call_steps {
public:
    bool asking(file_system_id, file_refusal) override { return true; }
};

// What a look finds: the file, or the errno.
struct found_file {
    int error = 0;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const found_file& other) const {
        return error == other.error && device == other.device && inode == other.inode;
    }
};

std::string told(const found_file& found) {
    return found.error ? std::strerror(found.error)
                       : "file " + std::to_string(found.device) + ":" + std::to_string(found.inode);
}

found_file by_system(const std::string& path, bool follow) {
    struct stat status;
    if (::fstatat(AT_FDCWD, path.c_str(), &status, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return {errno};
    return {0, status.st_dev, status.st_ino};
}

found_file by_walk(const std::string& path, bool follow) {
    every_step_allowed steps;
    const located_path located = locate_path(path, follow, steps);
    struct stat status;
    if (located.fd.get() < 0)
        return {located.error};
    if (::fstat(located.fd.get(), &status) != 0)
        return {errno};
    return {0, status.st_dev, status.st_ino};
}

class random_tree {
public:
    // Its mounts, made beforehand, are grown into too.
    random_tree(const std::string& root, unsigned seed) : root_(root), random_(seed) {
        folders_.push_back(root);
        for (const char* name : {"m1", "m2", "b1", "b2"})
            if (::access((root + "/" + name).c_str(), F_OK) == 0)
                folders_.push_back(root + "/" + name);
    }

    // A folder, a file or a link at a random place; folders of random
    // modes and owners, links of random texts and owners.
    void grow(int count, bool as_root) {
        for (int i = 0; i < count; ++i) {
            const std::string path = pick(folders_) + "/" + pick(pool);
            const unsigned kind = random_() % 10;
            if (kind < 3) {
                static const mode_t modes[] = {0755, 0755, 0711, 0700, 0644, 01777, 0300, 0555};
                if (::mkdir(path.c_str(), 0700) != 0)
                    continue;
                folders_.push_back(path);
                ::chmod(path.c_str(), modes[random_() % 8]);
                if (as_root && random_() % 4 == 0)
                    ::chown(path.c_str(), nobody, nobody);
            } else if (kind < 6) {
                // Never through a link: a file made where it leads could
                // lie outside the tree.
                const int made = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
                if (made >= 0)
                    files_.push_back(path);
                ::close(made);
            } else if (::symlink(link_text().c_str(), path.c_str()) == 0 && as_root && random_() % 3 == 0) {
                ::lchown(path.c_str(), nobody, nobody);
            }
        }
    }

    // Mostly the names of the tree, with ".", "..", "//", a trailing "/",
    // from the root or from the working folder; now and then as long as
    // the system takes a path, or a byte longer.
    std::string path() {
        std::string path = random_() % 4 ? root_ + "/" : "";
        path += names(1 + random_() % 6);
        if (random_() % 5 == 0)
            path += "/";
        if (random_() % 40 == 0) {
            // Slashes after the root, or after a leading "./", up to
            // around the system's limit.
            const std::size_t wanted = PATH_MAX - 2 + random_() % 4;
            std::size_t at = 0;
            if (path.compare(0, root_.size(), root_) == 0)
                at = root_.size();
            else if (path[0] != '/')
                path.insert(0, "./"), at = 1;
            if (path.size() < wanted)
                path.insert(at, wanted - path.size(), '/');
        }
        return path;
    }

    const std::vector<std::string>& folders() const { return folders_; }

private:
    template <typename T> const T& pick(const std::vector<T>& from) { return from[random_() % from.size()]; }

    std::string names(unsigned count) {
        std::string joined;
        for (unsigned i = 0; i < count; ++i) {
            const unsigned kind = random_() % 20;
            joined += i ? "/" : "";
            joined += kind < 12 ? pick(pool) : kind < 14 ? "." : kind < 17 ? ".." : kind < 19 ? "" : "nowhere";
        }
        return joined;
    }

    std::string link_text() {
        const unsigned kind = random_() % 20;
        std::string text = kind < 3    ? root_ + "/" + names(1 + random_() % 3)
                           : kind < 4  ? "/proc/self/cwd/" + names(1 + random_() % 2)
                           : kind < 5  ? pick(folders_)
                           : kind < 7  ? (files_.empty() ? root_ : pick(files_)) + "/"
                           : kind < 12 ? pick(pool)
                                       : names(1 + random_() % 3);
        if (random_() % 4 == 0)
            text += "/";
        return text.empty() ? "." : text;
    }

    std::string root_;
    std::mt19937 random_;
    std::vector<std::string> folders_;
    std::vector<std::string> files_;
};

// Compares the walk with the system on `count` paths, each with its last
// link followed and not: the first disagreements in `report`.
bool agree_on_paths(random_tree& tree, int count, std::string& report) {
    int disagreements = 0;
    for (int i = 0; i < count; ++i) {
        const std::string path = tree.path();
        for (const bool follow : {true, false}) {
            const found_file system = by_system(path, follow);
            const found_file walk = by_walk(path, follow);
            if (system == walk || ++disagreements > 5)
                continue;
            report += (follow ? "stat \"" : "lstat \"") + (path.size() > 300 ? path.substr(path.size() - 300) : path) +
                      "\" (" + std::to_string(path.size()) + " bytes) as uid " + std::to_string(::geteuid()) +
                      ": system " + told(system) + ", walk " + told(walk) + "\n";
        }
    }
    return disagreements == 0;
}

// Becomes the ordinary user, its own /proc entries still its own.
bool become_nobody(std::string& report) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
        ::setresuid(nobody, nobody, nobody) != 0 || ::prctl(PR_SET_DUMPABLE, 1) != 0) {
        report = std::string("cannot become nobody: ") + std::strerror(errno);
        return false;
    }
    return true;
}

struct child_result {
    int status = -1; // the exit status; -1 when it died or was killed
    std::string report;
};

// Runs `body` in a child process, which returns its exit status and may
// write a short report; waits at most three minutes, then kills it.
child_result run_in_child(const std::function<int(std::string& report)>& body) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return {-1, "no pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
        std::string report; // far shorter than a pipe holds
        int status = 3;
        try {
            status = body(report);
        } catch (const std::exception& e) {
            report += std::string("the child failed: ") + e.what();
        }
        ::_exit(::write(ends[1], report.data(), report.size()) < 0 ? 2 : status);
    }
    ::close(ends[1]);
    child_result result;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            result.report = "the child took longer than three minutes\n";
            break;
        }
        ::usleep(10000);
    }
    char bytes[4096];
    for (ssize_t length; (length = ::read(ends[0], bytes, sizeof bytes)) > 0;)
        result.report.append(bytes, static_cast<std::size_t>(length));
    ::close(ends[0]);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

unsigned test_seed() {
    const char* asked = std::getenv("KESTREL_WALK_SEED");
    return asked ? static_cast<unsigned>(std::strtoul(asked, nullptr, 10)) : std::random_device()();
}

// Mounts of this child alone, which go when it ends.
bool mounts_of_its_own(std::string& report) {
    if (::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0)
        return true;
    report = std::string("cannot make mounts of its own: ") + std::strerror(errno);
    return false;
}

// Mounts in the tree at `root`, which grows into them by their names: m1
// follows no link, m2 does; b1 and b2 are bound from the tree itself, b2
// following no link. A second proc file system at p, and ŋa a link
// through it to the descriptor of a deleted file, whose text names a file
// put there in its place: only the system knows where such a link leads.
bool mount_into(const std::string& root, std::string& report) {
    for (const char* name : {"m1", "m2", "b1", "b2", "p"})
        ::mkdir((root + "/" + name).c_str(), 0755);
    const int deleted = ::open((root + "/gone").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    test::write_file(root + "/gone (deleted)", "in its place");
    if (deleted >= 0 && ::unlink((root + "/gone").c_str()) == 0 &&
        ::symlink(("p/self/fd/" + std::to_string(deleted)).c_str(), (root + "/ŋa").c_str()) == 0 &&
        ::mount("proc", (root + "/p").c_str(), "proc", 0, nullptr) == 0 &&
        ::mount("tmpfs", (root + "/m1").c_str(), "tmpfs", MS_NOSYMFOLLOW, nullptr) == 0 &&
        ::mount("tmpfs", (root + "/m2").c_str(), "tmpfs", 0, nullptr) == 0 &&
        ::mount((root + "/m2").c_str(), (root + "/b1").c_str(), nullptr, MS_BIND, nullptr) == 0 &&
        ::mount(root.c_str(), (root + "/b2").c_str(), nullptr, MS_BIND, nullptr) == 0 &&
        ::mount(nullptr, (root + "/b2").c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_NOSYMFOLLOW, nullptr) == 0)
        return true;
    report = std::string("cannot mount: ") + std::strerror(errno);
    return false;
}

// `root` bound on itself following no link, and that mount detached: the
// descriptor returned, left open, is the only way into it.
owned_descriptor detached_nosymfollow(const std::string& root, std::string& report) {
    owned_descriptor inside;
    if (::mount(root.c_str(), root.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
        ::mount(nullptr, root.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_NOSYMFOLLOW, nullptr) == 0)
        inside = owned_descriptor(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (inside.get() < 0 || ::umount2(root.c_str(), MNT_DETACH) != 0) {
        report = std::string("cannot detach a mount: ") + std::strerror(errno);
        return owned_descriptor();
    }
    return inside;
}

// Folders closed to their owner are opened again, so that the scratch
// folder can be removed by whoever made it.
void open_for_removal(const std::string& folder) {
    ::chmod(folder.c_str(), 0700);
    std::unique_ptr<DIR, int (*)(DIR*)> entries(::opendir(folder.c_str()), ::closedir);
    while (entries) {
        const dirent* entry = ::readdir(entries.get());
        if (!entry)
            break;
        const std::string name = entry->d_name;
        struct stat status;
        const std::string path = folder + "/" + name;
        if (name != "." && name != ".." && ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            open_for_removal(path);
    }
}

// Three random trees, their paths compared in a child as its user and then,
// when that is root, as nobody; with mounts of the child's own, the last
// tree's paths that do not start from the root then starting in its
// detached nosymfollow mount.
void expect_agreement(bool with_mounts) {
    const unsigned seed = test_seed();
    test::TempDir dir;
    ASSERT_EQ(0, ::chmod(dir.path().c_str(), 0755));
    const child_result result = run_in_child([&](std::string& report) {
        if (with_mounts && !mounts_of_its_own(report))
            return unavailable_status;
        const bool as_root = ::geteuid() == 0;
        std::vector<std::unique_ptr<random_tree>> trees;
        std::vector<owned_descriptor> working_folders;
        for (unsigned i = 0; i < 3; ++i) {
            const std::string root = dir.file("t" + std::to_string(i));
            if (::mkdir(root.c_str(), 0755) != 0 || ::chdir(root.c_str()) != 0) {
                report = "cannot make " + root + ": " + std::strerror(errno);
                return 1;
            }
            if (with_mounts && !mount_into(root, report))
                return unavailable_status;
            trees.push_back(std::make_unique<random_tree>(root, seed + i));
            trees.back()->grow(120, as_root);
            working_folders.push_back(with_mounts && i == 2
                                          ? detached_nosymfollow(root, report)
                                          : owned_descriptor(::open(root.c_str(), O_PATH | O_CLOEXEC)));
            if (working_folders.back().get() < 0)
                return unavailable_status;
        }
        const auto agree = [&] {
            for (std::size_t i = 0; i < trees.size(); ++i)
                if (::fchdir(working_folders[i].get()) != 0 || !agree_on_paths(*trees[i], 1500, report))
                    return false;
            return true;
        };
        if (!agree())
            return 1;
        if (!as_root)
            return 0;
        if (!become_nobody(report))
            return unavailable_status;
        if (::access(dir.path().c_str(), X_OK) != 0) {
            report = "nobody may not reach " + dir.path() + " (a folder on its way is closed to others)";
            return unavailable_status;
        }
        return agree() ? 0 : 1;
    });
    open_for_removal(dir.path());
    if (result.status == unavailable_status)
        GTEST_SKIP() << result.report;
    EXPECT_EQ(0, result.status) << "seed " << seed << " (KESTREL_WALK_SEED=" << seed << " replays it)\n"
                                << result.report;
}

} // namespace

TEST(PathWalk, FindsWhatTheSystemFindsOrFailsAsItFails) { expect_agreement(false); }

TEST(PathWalk, FindsWhatTheSystemFindsAcrossBindAndNosymfollowMounts) { expect_agreement(true); }

// The system follows forty links in one path, not one more.
TEST(PathWalk, FollowsFortyLinksInARowAndNoMore) {
    test::TempDir dir;
    test::write_file(dir.file("0"), "x");
    for (int i = 1; i <= 41; ++i)
        ASSERT_EQ(0, ::symlink(std::to_string(i - 1).c_str(), dir.file(std::to_string(i)).c_str()));
    for (const int links : {40, 41}) {
        const std::string path = dir.file(std::to_string(links));
        EXPECT_EQ(links > 40 ? ELOOP : 0, by_system(path, true).error);
        const found_file system = by_system(path, true), walk = by_walk(path, true);
        EXPECT_TRUE(system == walk) << links << " links: the system finds " << told(system) << ", the walk "
                                    << told(walk);
    }
}

// A look at a path answers at once from what the system knows of its
// folder, but not for a path the system refuses whole.
TEST(PathWalk, ALookRefusesAPathTooLongForTheSystemThoughItsFolderIsKnown) {
    test::TempDir dir;
    test::write_file(dir.file("photo.jpg"), "x");
    for (const std::size_t length : {std::size_t(PATH_MAX) - 1, std::size_t(PATH_MAX)}) {
        // "folder/././...//photo.jpg", `length` bytes long.
        std::string path = dir.path();
        while (path.size() + 2 + std::strlen("/photo.jpg") <= length)
            path += "/.";
        path += std::string(length - path.size() - std::strlen("photo.jpg"), '/') + "photo.jpg";
        SCOPED_TRACE(length);
        EXPECT_EQ(length < PATH_MAX ? 0 : ENAMETOOLONG, by_system(path, true).error);
        EXPECT_EQ(by_system(path, true).error, look_at_path(path).error);
    }
}

// Where fs.protected_symlinks is on (made so in the child's own mounts
// where it is off), a link a path ends in, lying in a sticky folder open to
// all, is followed only for its owner or where the folder's owner owns it
// too; a link on the way is followed.
TEST(PathWalk, ALinkLeftInASharedFolderByAnotherUserIsNotFollowedAtTheEnd) {
    test::TempDir dir;
    const std::string setting = dir.file("protected");
    test::write_file(setting, "1\n");
    const child_result result = run_in_child([&](std::string& report) {
        if (::geteuid() != 0) {
            report = "needs root to own links for two users";
            return unavailable_status;
        }
        const bool system_protects = test::read_file("/proc/sys/fs/protected_symlinks") != "0\n";
        if (!system_protects && (!mounts_of_its_own(report) ||
                                 ::mount(setting.c_str(), "/proc/sys/fs/protected_symlinks", nullptr, MS_BIND,
                                         nullptr) != 0)) {
            report += std::string("cannot turn fs.protected_symlinks on: ") + std::strerror(errno);
            return unavailable_status;
        }
        for (const char* name : {"shared", "theirs"}) {
            const std::string folder = dir.file(name);
            ::mkdir(folder.c_str(), 0700);
            ::chmod(folder.c_str(), 01777);
            ::mkdir((folder + "/sub").c_str(), 0755);
            test::write_file(folder + "/sub/photo.jpg", "x");
            ::symlink("sub", (folder + "/mine").c_str());
            ::symlink("sub", (folder + "/nobody's").c_str());
            ::lchown((folder + "/nobody's").c_str(), nobody, nobody);
        }
        ::chown(dir.file("theirs").c_str(), nobody, nobody);
        const struct {
            const char* path;
            bool follow;
            int error;
        } cases[] = {{"shared/nobody's", true, EACCES},  {"shared/nobody's/", false, EACCES},
                     {"shared/nobody's", false, 0},      {"shared/nobody's/photo.jpg", true, 0},
                     {"shared/mine", true, 0},           {"theirs/nobody's", true, 0},
                     {"theirs/mine", true, 0}};
        for (const auto& each : cases) {
            const found_file walk = by_walk(dir.file(each.path), each.follow);
            const found_file system = by_system(dir.file(each.path), each.follow);
            if (walk.error != each.error || (system_protects && !(walk == system)))
                report += std::string(each.path) + (each.follow ? " followed" : "") + ": walk " + told(walk) +
                          ", system " + told(system) + "\n";
        }
        return report.empty() ? 0 : 1;
    });
    if (result.status == unavailable_status)
        GTEST_SKIP() << result.report;
    EXPECT_EQ(0, result.status) << result.report;
}
