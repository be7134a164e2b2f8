#include "componentmodel/RunFolder.h"

#include "componentmodel/Descriptors.h"
#include "componentmodel/FileHelpers.h"

#include <QDir>
#include <QFile>

#include <sys/file.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace ComponentModel {

namespace {

using Identity = std::pair<dev_t, ino_t>;

// The folders this process holds: a look for other runs' passes them by
// (a lock of this process's on another descriptor of them would say
// "held"). Never destroyed: a folder held by a static object goes after.
std::mutex ownMutex;
std::vector<Identity>& ownFolders()
{
    static auto* folders = new std::vector<Identity>;
    return *folders;
}

void own(const Identity& folder, bool owned)
{
    const std::lock_guard<std::mutex> lock(ownMutex);
    auto& folders = ownFolders();
    folders.erase(std::remove(folders.begin(), folders.end(), folder), folders.end());
    if (owned)
        folders.push_back(folder);
}

bool isOwn(const Identity& folder)
{
    const std::lock_guard<std::mutex> lock(ownMutex);
    const auto& folders = ownFolders();
    return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

Identity identityOf(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 ? Identity(status.st_dev, status.st_ino) : Identity();
}

// $XDG_RUNTIME_DIR where it is a folder of the user's that no one else
// may open; empty where it is not.
QString runtimeFolder()
{
    const QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
    struct stat status;
    if (folder.isEmpty() || folder[0] != '/' || ::lstat(folder.constData(), &status) != 0 ||
        !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() || (status.st_mode & 0777) != 0700 ||
        ::access(folder.constData(), W_OK | X_OK) != 0)
        return QString();
    return QFile::decodeName(folder);
}

} // namespace

QStringList RunFolder::places()
{
    QStringList places;
    const QString runtime = runtimeFolder();
    if (!runtime.isEmpty())
        places << runtime;
    const QString temporary = QDir::tempPath();
    if (!places.contains(temporary))
        places << temporary;
    return places;
}

namespace {

// A new folder of `name` in the first of `places` that takes one, locked:
// its descriptor, or -1; its path in `path`.
int makeFolder(const QString& name, const QStringList& places, QString& path)
{
    for (const QString& place : places) {
        QByteArray made = QFile::encodeName(place + QLatin1Char('/') + name + QStringLiteral("-XXXXXX"));
        if (!::mkdtemp(made.data()))
            continue;
        const int fd = ::open(made.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 && ::fchmod(fd, S_ISVTX | S_IRWXU) == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            path = QFile::decodeName(made);
            return fd;
        }
        closeIfOpen(fd);
        ::rmdir(made.constData());
    }
    return -1;
}

// The folders named as run folders of `name` that a run of this user may
// have left: folders (no links) of the user's that no one else may open,
// none of this process's. Each with its descriptor, open and unlocked.
std::vector<std::pair<QString, int>> runFolders(const QString& name)
{
    std::vector<std::pair<QString, int>> found;
    const QString stem = name + QLatin1Char('-');
    for (const QString& place : RunFolder::places()) {
        const QDir folder(place);
        for (const QString& entry :
             folder.entryList({stem + QStringLiteral("*")}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks)) {
            if (!FileHelpers::isTemporaryName(entry, stem))
                continue;
            const QString path = folder.filePath(entry);
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            struct stat status;
            if (fd >= 0 && ::fstat(fd, &status) == 0 && status.st_uid == ::geteuid() && (status.st_mode & 077) == 0 &&
                !isOwn({status.st_dev, status.st_ino})) {
                found.emplace_back(path, fd);
                continue;
            }
            closeIfOpen(fd);
        }
    }
    return found;
}

} // namespace

RunFolder::RunFolder(const QString& name, const QString& place) : name_(name)
{
    fd_ = makeFolder(name_, place.isEmpty() ? places() : QStringList{place}, path_);
    if (fd_ < 0)
        return;
    own(identityOf(fd_), true);
    // Without the system's names of descriptors, the folder's own path.
    const QString byDescriptor = QStringLiteral("/proc/self/fd/%1").arg(fd_);
    struct stat status;
    handle_ = ::stat(QFile::encodeName(byDescriptor).constData(), &status) == 0 &&
                      Identity(status.st_dev, status.st_ino) == identityOf(fd_)
                  ? byDescriptor
                  : path_;
}

RunFolder::~RunFolder()
{
    if (fd_ < 0)
        return;
    own(identityOf(fd_), false);
    ::close(fd_);
}

QString RunFolder::path() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

bool RunFolder::intact() const
{
    struct stat made, there;
    return fd_ >= 0 && ::fstat(fd_, &made) == 0 && made.st_nlink > 0 &&
           ::lstat(QFile::encodeName(path()).constData(), &there) == 0 && there.st_dev == made.st_dev &&
           there.st_ino == made.st_ino;
}

bool RunFolder::mend()
{
    const std::lock_guard<std::mutex> lock(mendMutex_);
    if (fd_ < 0 || intact())
        return false;
    QString path;
    const int fd = makeFolder(name_, places(), path);
    if (fd < 0)
        return false;
    own(identityOf(fd_), false);
    // The handle's number now names the new folder; the old one's
    // descriptor, and with it its lock, goes.
    const bool moved = ::dup3(fd, fd_, O_CLOEXEC) == fd_;
    ::close(fd);
    own(identityOf(fd_), true);
    if (!moved)
        return false;
    const std::lock_guard<std::mutex> named(mutex_);
    path_ = path;
    ++made_;
    return true;
}

int RunFolder::made() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return made_;
}

void RunFolder::remove()
{
    if (intact())
        removeFolder(path());
}

QStringList RunFolder::leftBehind(const QString& name)
{
    std::vector<std::pair<qint64, QString>> left;
    for (const auto& [path, fd] : runFolders(name)) {
        struct stat status;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &status) == 0)
            left.emplace_back(qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec, path);
        ::close(fd);
    }
    std::sort(left.begin(), left.end());
    QStringList oldestFirst;
    for (const auto& folder : left)
        oldestFirst << folder.second;
    return oldestFirst;
}

bool RunFolder::othersLive(const QString& name)
{
    bool live = false;
    for (const auto& [path, fd] : runFolders(name)) {
        live = live || (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK);
        ::close(fd);
    }
    return live;
}

void RunFolder::removeFolder(const QString& folder) { QDir(folder).removeRecursively(); }

void RunFolder::keep(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::stat(name.constData(), &status) == 0 && !(status.st_mode & S_ISVTX))
        ::chmod(name.constData(), (status.st_mode & 07777) | S_ISVTX);
}

} // namespace ComponentModel
