#include "OutputTarget.h"

#include "RefusalWords.h"

#include "files/DTAbandonableCall.h"
#include "files/DTFileSystem.h"
#include "files/DTPathFacts.h"
#include "files/DTPathWalk.h"
#include "files/DTRegularFile.h"
#include "files/DTUnfinishedVideo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>

// Every look goes through the library's looks (files/DTPathFacts.h), which a
// stop gives up within the caller's read_interruption_scope: OUT on a share
// that hangs never holds the maker.

using kestrel::path_facts;

namespace make_show {

namespace {

// Why a look failed: the system's words, the maker's for a file system
// that does not answer.
std::string look_failure(const path_facts& facts) {
    return facts.refusal != kestrel::file_refusal::none ? refusal_words(facts.refusal)
                                                       : std::generic_category().message(facts.error);
}

// The text of the link at `path`, read from the file system the link lies
// on as the library reads it; empty when it cannot be read.
std::string link_target(const std::string& path) {
    return kestrel::abandonable_call<std::string>(path, [path](kestrel::call_steps& steps) {
        const kestrel::located_path link = kestrel::locate_path(path, false, steps);
        if (link.fd.get() < 0 || !steps.asking(kestrel::file_system_of_descriptor(link.fd.get())))
            return std::string();
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlinkat(link.fd.get(), "", &target[0], target.size());
        return length < 0 ? std::string() : target.substr(0, static_cast<std::size_t>(length));
    });
}

bool same_file(const path_facts& a, const std::string& path) {
    const path_facts b = kestrel::look_at_path(path);
    return b.error == 0 && a.device == b.device && a.inode == b.inode;
}

// The file a video would take the place of, followed through links: its
// refusal when it is no regular file.
std::string refusal_of_existing(const std::string& out, const path_facts& entry, path_facts& file) {
    if (!S_ISLNK(entry.mode)) {
        file = entry;
        return S_ISREG(entry.mode) ? std::string() : std::string("it is ") + kestrel::file_kind_words(entry.mode);
    }
    file = kestrel::look_at_path(out);
    if (file.error) {
        if (file.error == ELOOP)
            return "it is a loop of links";
        // Its target's folder may not be the one meant: nothing is made
        // on a guess.
        if (file.error == ENOENT)
            return "it is a link to " + link_target(out) + ", which does not exist";
        return "it is a link that cannot be followed: " + look_failure(file);
    }
    return S_ISREG(file.mode) ? std::string() : std::string("it is a link to ") + kestrel::file_kind_words(file.mode);
}

// Why the video cannot be made in the folder, known before anything is
// opened: it is not there, or is no folder.
std::string folder_refusal(const std::string& folder) {
    const path_facts facts = kestrel::look_at_path(folder);
    if (facts.error)
        return facts.error == ENOENT ? "its folder " + folder + " does not exist"
                                     : "its folder " + folder + " cannot be looked at: " + look_failure(facts);
    return S_ISDIR(facts.mode) ? std::string() : "its folder " + folder + " is no folder";
}

} // namespace

output_target examine_output(const std::string& out, const std::string& music, const std::vector<std::string>& photos) {
    output_target target;
    target.out = out;
    const path_facts entry = kestrel::look_at_path(out, false);
    path_facts file;
    const bool exists = entry.error == 0;
    // Not there, or under something that is no folder (named below).
    if (!exists && entry.error != ENOENT && entry.error != ENOTDIR) {
        target.refusal = "it cannot be looked at: " + look_failure(entry);
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
        target.permissions = file.mode & 07777;
    }
    const std::string path = exists && S_ISLNK(entry.mode) && !file.real_path.empty() ? file.real_path : out;
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
