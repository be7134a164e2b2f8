#include "files/DTFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <map>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

namespace kestrel {

namespace {

// A mount point as mountinfo writes it: a space, a tab, a newline or a
// backslash as a backslash and three octal digits.
std::string unescaped(const std::string& word) {
    std::string plain;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '\\' && word.size() - i > 3) {
            plain += static_cast<char>(std::strtol(word.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            plain += word[i];
        }
    }
    return plain;
}

// The path from the root with its "." and ".." taken by their words and
// its empty parts dropped: "/a/b", or "/".
std::string absolute_words(const std::string& path) {
    std::string whole = path;
    if (path.empty() || path[0] != '/') {
        char here[4096];
        if (!::getcwd(here, sizeof here))
            return std::string();
        whole = std::string(here) + "/" + path;
    }
    std::vector<std::string> parts;
    std::stringstream words(whole);
    std::string part;
    while (std::getline(words, part, '/')) {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    std::string joined;
    for (const std::string& each : parts)
        joined += "/" + each;
    return joined.empty() ? "/" : joined;
}

bool lies_under(const std::string& path, const std::string& mount_point) {
    if (mount_point == "/")
        return true;
    return path.compare(0, mount_point.size(), mount_point) == 0 &&
           (path.size() == mount_point.size() || path[mount_point.size()] == '/');
}

// What sysfs says a block device is: where its folder lies, which names
// the bus it hangs from.
bool network_path(const std::string& device_path) {
    for (const char* word : {"/session", "/nvme-fabrics/", "/devices/rbd/", "/nbd"})
        if (device_path.find(word) != std::string::npos)
            return true;
    return false;
}

bool network_behind(unsigned major, unsigned minor, int depth);

// Whether a part listed in `folder`/slaves (of a device mapper's device
// or a RAID) has the network behind it.
bool parts_network_behind(const std::string& folder, int depth) {
    DIR* slaves = ::opendir((folder + "/slaves").c_str());
    if (!slaves)
        return false;
    bool network = false;
    while (const dirent* entry = ::readdir(slaves)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream numbers(folder + "/slaves/" + entry->d_name + "/dev");
        numbers.imbue(std::locale::classic());
        unsigned major = 0, minor = 0;
        char colon = 0;
        if (numbers >> major >> colon >> minor && network_behind(major, minor, depth + 1)) {
            network = true;
            break;
        }
    }
    ::closedir(slaves);
    return network;
}

bool network_behind(unsigned major, unsigned minor, int depth) {
    const unsigned network_block_device_major = 43;
    if (major == network_block_device_major)
        return true;
    if (depth > 4)
        return false;
    const std::string folder = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    char target[4096];
    const ssize_t length = ::readlink(folder.c_str(), target, sizeof target - 1);
    if (length > 0 && network_path(std::string(target, static_cast<std::size_t>(length))))
        return true;
    // A partition's parts are listed by the whole device, one folder up.
    return parts_network_behind(folder, depth) || parts_network_behind(folder + "/..", depth);
}

} // namespace

file_system_id file_system_of_descriptor(int fd) {
    // Without a sync the file system keeps what it knows: a share is not
    // asked. The device number is the super block's, whatever the mount.
    struct statx facts;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE, &facts) != 0)
        return 0;
    return makedev(facts.stx_dev_major, facts.stx_dev_minor);
}

file_system_id file_system_of_path(const std::string& path) {
    const std::string whole = absolute_words(path);
    if (whole.empty())
        return 0;
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    file_system_id found = 0;
    std::size_t found_length = 0;
    while (std::getline(mounts, line)) {
        std::istringstream words(line);
        words.imbue(std::locale::classic());
        unsigned long long id = 0, parent = 0;
        unsigned major = 0, minor = 0;
        char colon = 0;
        std::string root, mount_point;
        if (!(words >> id >> parent >> major >> colon >> minor >> root >> mount_point) || colon != ':')
            continue;
        mount_point = unescaped(mount_point);
        // A later mount on the same point hides the earlier.
        if (lies_under(whole, mount_point) && mount_point.size() >= found_length) {
            found = makedev(major, minor);
            found_length = mount_point.size();
        }
    }
    return found;
}

bool links_followed_on_mount(unsigned long long mount_id) {
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream words(line);
        words.imbue(std::locale::classic());
        unsigned long long id = 0;
        std::string parent, device, root, mount_point, options;
        if (!(words >> id) || id != mount_id || !(words >> parent >> device >> root >> mount_point >> options))
            continue;
        return ("," + options + ",").find(",nosymfollow,") == std::string::npos;
    }
    return true;
}

bool on_local_disk(int fd) {
    struct statx facts;
    return ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE, &facts) == 0 &&
           facts.stx_dev_major != 0 && !network_block_device(facts.stx_dev_major, facts.stx_dev_minor);
}

bool network_block_device(unsigned major, unsigned minor) {
    // Never destroyed: detached readers (a music loader, a call left
    // waiting) may still ask while the process runs its exit.
    static std::mutex& mutex = *new std::mutex;
    static auto& known = *new std::map<std::pair<unsigned, unsigned>, bool>;
    const std::pair<unsigned, unsigned> device(major, minor);
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = known.find(device);
        if (found != known.end())
            return found->second;
    }
    const bool network = network_behind(major, minor, 0);
    std::lock_guard<std::mutex> lock(mutex);
    known[device] = network;
    return network;
}

} // namespace kestrel
