// kestrel_hanging_share SOURCE MOUNT_POINT
//
// A network share that hangs on demand, for the tests: mounts SOURCE's tree
// read-only at MOUNT_POINT as a FUSE file system (spoken to the kernel
// directly, no library) and answers from SOURCE, until told on standard
// input to hold the requests of a kind unanswered, as a share whose server
// went away does:
//   hang lookup|open|read|readlink|getattr|all   hold such requests from now
//   answer                                       answer every request held, hold no more
// Each command is acknowledged with "ok" on standard output; each request
// held says "held <kind>" there. "ready" comes once the share is mounted;
// "cannot mount: <why>" (exit 77) when it cannot be (no /dev/fuse, not
// allowed). Names and attributes are never cached by the kernel, so every
// look-up asks. At the end of standard input, or on SIGTERM, it answers
// what it holds, unmounts and ends.

#include <linux/fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t ending = 0;
extern "C" void end_on_signal(int) { ending = 1; }

struct request {
    fuse_in_header header;
    std::vector<char> body;
};

class share {
public:
    share(std::string source, int device) : source_(std::move(source)), device_(device) { paths_[FUSE_ROOT_ID] = ""; }

    void serve(const request& asked) {
        const std::string kind = kind_of(asked.header.opcode);
        if (!kind.empty() && (held_kinds_.count(kind) || held_kinds_.count("all"))) {
            held_.push_back(asked);
            say("held " + kind);
            return;
        }
        answer(asked);
    }

    // Commands from standard input; false at its end.
    bool command(const std::string& line) {
        if (line.compare(0, 5, "hang ") == 0) {
            held_kinds_.insert(line.substr(5));
        } else if (line == "answer") {
            held_kinds_.clear();
            release();
        } else {
            say("unknown command: " + line);
            return true;
        }
        say("ok");
        return true;
    }

    void release() {
        std::vector<request> held;
        held.swap(held_);
        for (const request& each : held)
            answer(each);
    }

private:
    static std::string kind_of(uint32_t opcode) {
        switch (opcode) {
        case FUSE_LOOKUP:
            return "lookup";
        case FUSE_OPEN:
        case FUSE_OPENDIR:
            return "open";
        case FUSE_READ:
        case FUSE_READDIR:
            return "read";
        case FUSE_READLINK:
            return "readlink";
        case FUSE_GETATTR:
        case FUSE_STATFS:
            return "getattr";
        default:
            return std::string();
        }
    }

    static void say(const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

    std::string source_path(uint64_t node) const {
        const auto found = paths_.find(node);
        return found == paths_.end() ? std::string() : source_ + found->second;
    }

    uint64_t node_of(const std::string& relative) {
        const auto found = nodes_.find(relative);
        if (found != nodes_.end())
            return found->second;
        const uint64_t node = next_node_++;
        nodes_[relative] = node;
        paths_[node] = relative;
        return node;
    }

    static void fill_attr(const struct stat& status, uint64_t node, fuse_attr& attr) {
        attr = fuse_attr{};
        attr.ino = node;
        attr.size = static_cast<uint64_t>(status.st_size);
        attr.blocks = static_cast<uint64_t>(status.st_blocks);
        attr.atime = static_cast<uint64_t>(status.st_atime);
        attr.mtime = static_cast<uint64_t>(status.st_mtime);
        attr.ctime = static_cast<uint64_t>(status.st_ctime);
        attr.mode = status.st_mode;
        attr.nlink = static_cast<uint32_t>(status.st_nlink);
        attr.uid = status.st_uid;
        attr.gid = status.st_gid;
        attr.blksize = 4096;
    }

    void reply(const fuse_in_header& to, int error, const void* data = nullptr, std::size_t size = 0) {
        fuse_out_header header{};
        header.unique = to.unique;
        header.error = -error;
        header.len = static_cast<uint32_t>(sizeof header + (error ? 0 : size));
        std::vector<char> whole(header.len);
        std::memcpy(whole.data(), &header, sizeof header);
        if (!error && size)
            std::memcpy(whole.data() + sizeof header, data, size);
        // A request whose asker was killed meanwhile is answered in vain.
        if (::write(device_, whole.data(), whole.size()) < 0 && errno != ENOENT)
            std::perror("kestrel_hanging_share: write");
    }

    template <class T>
    void reply_with(const fuse_in_header& to, const T& data) {
        reply(to, 0, &data, sizeof data);
    }

    void answer(const request& asked) {
        const fuse_in_header& header = asked.header;
        const char* body = asked.body.data();
        const std::string path = source_path(header.nodeid);
        switch (header.opcode) {
        case FUSE_INIT: {
            const auto* init = reinterpret_cast<const fuse_init_in*>(body);
            fuse_init_out out{};
            out.major = FUSE_KERNEL_VERSION;
            out.minor = FUSE_KERNEL_MINOR_VERSION;
            out.max_readahead = init->max_readahead;
            // Each request reaches the share, however many wait in one
            // folder or file: none waits behind a held one in the kernel.
            out.flags = init->flags & (FUSE_PARALLEL_DIROPS | FUSE_ASYNC_READ);
            out.max_write = 128 * 1024;
            out.max_background = 16;
            out.congestion_threshold = 12;
            reply_with(header, out);
            return;
        }
        case FUSE_LOOKUP: {
            const std::string relative = paths_[header.nodeid] + "/" + body;
            struct stat status;
            if (::lstat((source_ + relative).c_str(), &status) != 0)
                return reply(header, errno);
            fuse_entry_out out{};
            out.nodeid = node_of(relative);
            fill_attr(status, out.nodeid, out.attr);
            reply_with(header, out);
            return;
        }
        case FUSE_FORGET:
        case FUSE_BATCH_FORGET:
        case FUSE_INTERRUPT:
            return; // no answer is awaited
        case FUSE_GETATTR: {
            struct stat status;
            if (path.empty() && header.nodeid != FUSE_ROOT_ID)
                return reply(header, ENOENT);
            if (::lstat((header.nodeid == FUSE_ROOT_ID ? source_ : path).c_str(), &status) != 0)
                return reply(header, errno);
            fuse_attr_out out{};
            fill_attr(status, header.nodeid, out.attr);
            reply_with(header, out);
            return;
        }
        case FUSE_READLINK: {
            char text[4096];
            const ssize_t length = ::readlink(path.c_str(), text, sizeof text);
            if (length < 0)
                return reply(header, errno);
            reply(header, 0, text, static_cast<std::size_t>(length));
            return;
        }
        case FUSE_OPEN:
        case FUSE_OPENDIR: {
            const int fd = ::open(path.empty() ? source_.c_str() : path.c_str(),
                                  O_RDONLY | O_CLOEXEC | (header.opcode == FUSE_OPENDIR ? O_DIRECTORY : 0));
            if (fd < 0)
                return reply(header, errno);
            fuse_open_out out{};
            out.fh = static_cast<uint64_t>(fd);
            // Every read comes here, none from the kernel's cache.
            out.open_flags = header.opcode == FUSE_OPEN ? FOPEN_DIRECT_IO : 0;
            reply_with(header, out);
            return;
        }
        case FUSE_READ: {
            const auto* read = reinterpret_cast<const fuse_read_in*>(body);
            std::vector<char> bytes(read->size);
            const ssize_t got = ::pread(static_cast<int>(read->fh), bytes.data(), bytes.size(),
                                        static_cast<off_t>(read->offset));
            if (got < 0)
                return reply(header, errno);
            reply(header, 0, bytes.data(), static_cast<std::size_t>(got));
            return;
        }
        case FUSE_READDIR:
            return read_folder(header, *reinterpret_cast<const fuse_read_in*>(body));
        case FUSE_RELEASE:
        case FUSE_RELEASEDIR:
            ::close(static_cast<int>(reinterpret_cast<const fuse_release_in*>(body)->fh));
            return reply(header, 0);
        case FUSE_FLUSH:
        case FUSE_ACCESS:
            return reply(header, 0);
        case FUSE_STATFS: {
            fuse_statfs_out out{};
            out.st.bsize = 4096;
            out.st.namelen = 255;
            out.st.frsize = 4096;
            reply_with(header, out);
            return;
        }
        case FUSE_DESTROY:
            reply(header, 0);
            ending = 1;
            return;
        default:
            return reply(header, ENOSYS);
        }
    }

    // The folder's entries from the offset on: the offset of an entry is
    // its place in the listing, plus one.
    void read_folder(const fuse_in_header& header, const fuse_read_in& read) {
        const std::string relative = paths_[header.nodeid];
        DIR* folder = ::opendir((source_ + relative).c_str());
        if (!folder)
            return reply(header, errno);
        std::vector<char> out;
        uint64_t place = 0;
        while (const dirent* entry = ::readdir(folder)) {
            ++place;
            if (place <= read.offset)
                continue;
            const std::size_t name_length = std::strlen(entry->d_name);
            const std::size_t size = FUSE_DIRENT_ALIGN(FUSE_NAME_OFFSET + name_length);
            if (out.size() + size > read.size)
                break;
            std::vector<char> one(size, 0);
            auto* dirent_out = reinterpret_cast<fuse_dirent*>(one.data());
            dirent_out->ino = entry->d_ino;
            dirent_out->off = place;
            dirent_out->namelen = static_cast<uint32_t>(name_length);
            dirent_out->type = entry->d_type;
            std::memcpy(one.data() + FUSE_NAME_OFFSET, entry->d_name, name_length);
            out.insert(out.end(), one.begin(), one.end());
        }
        ::closedir(folder);
        reply(header, 0, out.data(), out.size());
    }

    const std::string source_;
    const int device_;
    std::map<uint64_t, std::string> paths_;
    std::map<std::string, uint64_t> nodes_;
    uint64_t next_node_ = FUSE_ROOT_ID + 1;
    std::set<std::string> held_kinds_;
    std::vector<request> held_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc == 2 ? stdout : stderr, "usage: kestrel_hanging_share SOURCE MOUNT_POINT\n");
        return argc == 2 ? 0 : 64;
    }
    const std::string source = argv[1];
    const std::string mount_point = argv[2];
    const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (device < 0) {
        std::printf("cannot mount: /dev/fuse: %s\n", std::strerror(errno));
        return 77;
    }
    const std::string options = "fd=" + std::to_string(device) + ",rootmode=40000,user_id=" +
                                std::to_string(::getuid()) + ",group_id=" + std::to_string(::getgid()) +
                                ",default_permissions,allow_other";
    if (::mount("kestrel-share", mount_point.c_str(), "fuse.kestrel_hanging_share", MS_NOSUID | MS_NODEV | MS_RDONLY,
                options.c_str()) != 0) {
        std::printf("cannot mount: %s\n", std::strerror(errno));
        return 77;
    }
    struct sigaction action = {};
    action.sa_handler = end_on_signal;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);

    share served(source, device);
    std::vector<char> buffer(FUSE_MIN_READ_BUFFER + 128 * 1024);
    std::string input;
    while (!ending) {
        pollfd waits[2] = {{device, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(waits, 2, 200) < 0)
            continue;
        if (waits[1].revents) {
            char chunk[256];
            const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0)
                break;
            input.append(chunk, static_cast<std::size_t>(got));
            for (std::size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1))
                served.command(input.substr(0, end));
        }
        if (waits[0].revents & POLLIN) {
            const ssize_t got = ::read(device, buffer.data(), buffer.size());
            if (got < static_cast<ssize_t>(sizeof(fuse_in_header)))
                continue;
            request asked;
            std::memcpy(&asked.header, buffer.data(), sizeof asked.header);
            asked.body.assign(buffer.data() + sizeof asked.header, buffer.data() + got);
            asked.body.push_back('\0'); // names come without one at the very end
            served.serve(asked);
        } else if (waits[0].revents & (POLLERR | POLLHUP)) {
            break;
        }
    }
    served.release();
    ::umount2(mount_point.c_str(), MNT_DETACH);
    return 0;
}
