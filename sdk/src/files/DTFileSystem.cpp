#include "files/DTFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <locale>
#include <map>
#include <mutex>
#include <sstream>
#include <utility>

namespace kestrel {

namespace {

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
