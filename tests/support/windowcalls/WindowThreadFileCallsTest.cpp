// The guard of the window's thread (support/WindowThreadFileCalls.h) as a
// test sees it: a share that hangs, reached by every spelling and every
// kind of call, and a local folder beside it.

#include "support/HangingShare.h"
#include "support/TestFiles.h"
#include "support/WindowThreadFileCalls.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Standard error into a file while it stands; what came, once it went.
class CapturedErrors {
public:
    explicit CapturedErrors(const std::string& file)
        : file_(file), saved_(::dup(STDERR_FILENO))
    {
        const int into = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(into, STDERR_FILENO);
        ::close(into);
    }
    std::string text()
    {
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
        std::ifstream in(file_);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    ~CapturedErrors() { text(); }

private:
    std::string file_;
    int saved_;
};

// What a call returned, as a test reads it: whether it failed.
struct Call {
    const char* name;
    std::function<bool()> fails;
};

long openat2(int folder, const std::string& path)
{
    open_how how = {};
    how.flags = O_RDONLY | O_CLOEXEC;
    return ::syscall(SYS_openat2, folder, path.c_str(), &how, sizeof how);
}

} // namespace

// The share is hung for every request once the watch runs: a call the
// guard let through would wait (and the share is made to answer after
// 10 s, so that the test ends and fails). Every newly covered call on the
// share, whichever way its path is spelled ("//", "/./", "..", a link, a
// bind mount of the share) or whatever handle it uses (opened there by
// another thread), fails at once and is named; the same calls on a local
// folder are made as always.
TEST(WindowThreadFileCalls, RefusesEveryCallOnTheSharesFileSystemHoweverReachedAndNoOther)
{
    kestrel::test::TempDir dir;
    const std::string served = dir.file("served"), share = dir.file("share"), local = dir.file("local");
    for (const std::string& folder : {served, served + "/sub", share, local, dir.file("alias")})
        ASSERT_EQ(0, ::mkdir(folder.c_str(), 0700)) << folder;
    kestrel::test::write_file(served + "/a.txt", "on the share\n");
    kestrel::test::write_file(local + "/b.txt", "here\n");
    ASSERT_EQ(0, ::symlink(share.c_str(), dir.file("link").c_str()));
    kestrel::test::hanging_share hanging(served, share);
    if (!hanging.unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << hanging.unavailable();
    const kestrel::test::scoped_mount alias(share, dir.file("alias"), nullptr, MS_BIND);
    ASSERT_EQ("", alias.unavailable());

    window_file_calls_watch(share.c_str());
    // Opened on another thread while the share answers.
    int file = -1, folder = -1;
    FILE* stream = nullptr;
    DIR* listing = nullptr;
    std::thread([&] {
        file = ::open((share + "/a.txt").c_str(), O_RDONLY | O_CLOEXEC);
        folder = ::open((share + "/sub").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        stream = std::fopen((share + "/a.txt").c_str(), "r");
        listing = ::opendir(share.c_str());
    }).join();
    ASSERT_TRUE(file >= 0 && folder >= 0 && stream && listing) << std::strerror(errno);
    const int localFile = ::open((local + "/b.txt").c_str(), O_RDONLY | O_CLOEXEC);
    const int localFolder = ::open(local.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FILE* localStream = std::fopen(("/" + local + "//./b.txt").c_str(), "r");
    DIR* localListing = ::opendir((local + "/").c_str());
    const int watches = ::inotify_init1(IN_CLOEXEC);
    ASSERT_TRUE(localFile >= 0 && localFolder >= 0 && localStream && localListing && watches >= 0);
    hanging.hang("all");

    // Each spelling of a share path, and its local twin.
    const std::string doubled = "/" + dir.path() + "//share/./a.txt", climbed = local + "/../share/sub/../a.txt",
                      linked = dir.file("link") + "/a.txt", bound = dir.file("alias") + "/a.txt";
    const std::string localDoubled = "/" + dir.path() + "//local/./b.txt",
                      localClimbed = dir.file("served/../local//./b.txt");
    char line[64];
    char* text = nullptr;
    std::size_t room = 0;
    struct statx status;
    auto mapped = [](void* at) { return at == MAP_FAILED || ::munmap(at, 4) != 0; };
    const std::vector<Call> onShare = {
        {"fopen", [&] { return std::fopen(doubled.c_str(), "r") == nullptr; }},
        {"fopen64", [&] { return fopen64(climbed.c_str(), "r") == nullptr; }},
        {"opendir", [&] { return ::opendir((dir.path() + "/link//sub/.").c_str()) == nullptr; }},
        {"pathconf", [&] { return ::pathconf(bound.c_str(), _PC_NAME_MAX) < 0; }},
        {"inotify_add_watch", [&] { return ::inotify_add_watch(watches, doubled.c_str(), IN_MODIFY) < 0; }},
        {"statx", [&] { return ::statx(localFolder, "../share/a.txt", 0, STATX_SIZE, &status) != 0; }},
        {"syscall:openat2", [&] { return openat2(AT_FDCWD, linked) < 0; }},
        {"syscall:statx",
         [&] { return ::syscall(SYS_statx, AT_FDCWD, climbed.c_str(), 0, STATX_SIZE, &status) != 0; }},
        {"readdir", [&] { return ::readdir(listing) == nullptr; }},
        {"readdir64", [&] { return ::readdir64(listing) == nullptr; }},
        {"fdopendir", [&] { return ::fdopendir(folder) == nullptr; }},
        {"mmap", [&] { return mapped(::mmap(nullptr, 4, PROT_READ, MAP_PRIVATE, file, 0)); }},
        {"mmap64", [&] { return mapped(::mmap64(nullptr, 4, PROT_READ, MAP_PRIVATE, file, 0)); }},
        {"fread", [&] { return std::fread(line, 1, 4, stream) == 0; }},
        {"fgets", [&] { return std::fgets(line, sizeof line, stream) == nullptr; }},
        {"fgetc", [&] { return std::fgetc(stream) == EOF; }},
        {"getc", [&] { return getc(stream) == EOF; }},
        {"getdelim", [&] { return ::getdelim(&text, &room, '\n', stream) < 0; }},
        {"fpathconf", [&] { return ::fpathconf(file, _PC_NAME_MAX) < 0; }},
        {"syscall:read", [&] { return ::syscall(SYS_read, file, line, 4) < 0; }},
        {"syscall:getdents64", [&] { return ::syscall(SYS_getdents64, folder, line, sizeof line) < 0; }},
    };
    const std::vector<Call> elsewhere = {
        {"fopen", [&] {
             FILE* opened = std::fopen(localDoubled.c_str(), "r");
             return !opened || std::fclose(opened) != 0;
         }},
        {"opendir", [&] {
             DIR* opened = ::opendir((local + "/.").c_str());
             return !opened || ::closedir(opened) != 0;
         }},
        {"pathconf", [&] { return ::pathconf(localDoubled.c_str(), _PC_NAME_MAX) < 0; }},
        {"inotify_add_watch", [&] { return ::inotify_add_watch(watches, localDoubled.c_str(), IN_MODIFY) < 0; }},
        {"statx", [&] { return ::statx(localFolder, "./b.txt", 0, STATX_SIZE, &status) != 0; }},
        {"syscall:openat2", [&] {
             const long opened = openat2(localFolder, "b.txt");
             return opened < 0 ? errno != ENOSYS : ::close(int(opened)) != 0;
         }},
        {"readdir", [&] { return ::readdir(localListing) == nullptr; }},
        {"mmap", [&] { return mapped(::mmap(nullptr, 4, PROT_READ, MAP_PRIVATE, localFile, 0)); }},
        {"fread", [&] { return std::fread(line, 1, 2, localStream) != 2; }},
        {"fgets", [&] { return std::fgets(line, sizeof line, localStream) == nullptr; }},
        {"syscall:read", [&] { return ::syscall(SYS_read, localFile, line, 2) != 2; }},
        {"stat", [&] {
             struct stat local;
             return ::stat(localClimbed.c_str(), &local) != 0;
         }},
    };

    std::string named;
    EXPECT_TRUE(kestrel::test::returns_unhelped(hanging, 10s, [&] {
        for (const Call& call : elsewhere)
            EXPECT_FALSE(call.fails()) << call.name << " on the local folder: " << std::strerror(errno);
        EXPECT_STREQ("", window_file_calls_forbidden());
        CapturedErrors errors(dir.file("errors.txt"));
        for (const Call& call : onShare) {
            errno = 0;
            EXPECT_TRUE(call.fails()) << call.name << " was made";
            EXPECT_EQ(EIO, errno) << call.name;
        }
        named = errors.text();
    })) << "a call waited for the share";
    EXPECT_EQ(std::string("fopen(\"") + doubled + "\")", window_file_calls_forbidden());
    window_file_calls_end();
    for (const Call& call : onShare)
        EXPECT_NE(std::string::npos, named.find(std::string("file call on the window's thread: ") + call.name + "(\""))
            << call.name << " not named in:\n"
            << named;

    hanging.answer();
    std::free(text);
    ::closedir(listing);
    std::fclose(stream);
    ::close(folder);
    ::close(file);
    ::closedir(localListing);
    std::fclose(localStream);
    for (const int fd : {localFile, localFolder, watches})
        ::close(fd);
}
