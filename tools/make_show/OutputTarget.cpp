#include "OutputTarget.h"

#include "DTRegularFile.h"
#include "DTUnfinishedVideo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace make_show {

namespace {

std::string link_target(const std::string& link) {
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(link.c_str(), &target[0], target.size());
    return length < 0 ? std::string() : target.substr(0, static_cast<std::size_t>(length));
}

std::string real_path(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

bool same_file(const struct stat& a, const std::string& path) {
    struct stat b;
    return ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file a video would take the place of, followed through links: its
// refusal when it is no regular file.
std::string refusal_of_existing(const std::string& out, const struct stat& entry, struct stat& file) {
    if (!S_ISLNK(entry.st_mode)) {
        file = entry;
        return S_ISREG(entry.st_mode) ? std::string() : std::string("it is ") + kestrel::file_kind_words(entry.st_mode);
    }
    if (::stat(out.c_str(), &file) != 0) {
        if (errno == ELOOP)
            return "it is a loop of links";
        // Its target's folder may not be the one meant: nothing is made
        // on a guess.
        if (errno == ENOENT)
            return "it is a link to " + link_target(out) + ", which does not exist";
        return "it is a link that cannot be followed: " + std::generic_category().message(errno);
    }
    return S_ISREG(file.st_mode) ? std::string() : std::string("it is a link to ") + kestrel::file_kind_words(file.st_mode);
}

// Why the video cannot be made in the folder, known before anything is
// opened: it is not there, or is no folder.
std::string folder_refusal(const std::string& folder) {
    struct stat status;
    if (::stat(folder.c_str(), &status) != 0)
        return errno == ENOENT ? "its folder " + folder + " does not exist"
                               : "its folder " + folder + " cannot be looked at: " +
                                     std::generic_category().message(errno);
    return S_ISDIR(status.st_mode) ? std::string() : "its folder " + folder + " is no folder";
}

} // namespace

output_target examine_output(const std::string& out, const std::string& music, const std::vector<std::string>& photos) {
    output_target target;
    target.out = out;
    struct stat entry, file;
    const bool exists = ::lstat(out.c_str(), &entry) == 0;
    // Not there, or under something that is no folder (named below).
    if (!exists && errno != ENOENT && errno != ENOTDIR) {
        target.refusal = "it cannot be looked at: " + std::generic_category().message(errno);
        return target;
    }
    if (exists) {
        target.refusal = refusal_of_existing(out, entry, file);
        if (!target.refusal.empty())
            return target;
        if (same_file(file, music)) {
            target.refusal = "it is the same file as the music " + music;
            return target;
        }
        for (const std::string& photo : photos) {
            if (same_file(file, photo)) {
                target.refusal = "it is the same file as the photo " + photo;
                return target;
            }
        }
        target.replacing = true;
        target.permissions = file.st_mode & 07777;
    }
    const std::string path = exists && S_ISLNK(entry.st_mode) ? real_path(out) : out;
    const std::size_t slash = path.rfind('/');
    target.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    target.name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (target.name.empty() || target.name == "." || target.name == "..")
        target.refusal = "it names no file";
    else if (kestrel::unfinished_video::is_unfinished_name(target.name))
        target.refusal = "the name is the hidden name of an unfinished video";
    else
        target.refusal = folder_refusal(target.folder);
    return target;
}

} // namespace make_show
