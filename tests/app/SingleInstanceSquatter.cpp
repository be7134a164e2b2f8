// Another user of the machine who makes, before the user starts the
// program, the files a start looks for under the names of `key` for the
// user numbered `user`, open to all: a lock file held by a live process
// (this one) and a hand-off segment, each under the key alone (as every
// user's start once named them) and under the user's own names. It says
// "made", then "read <text>" for each message that lands in a segment of
// its own; on the line "unlock" it removes the lock file under the user's
// own name and says "unlocked". On "quit", or as its standard input
// closes, it removes the rest and ends.
//   single_instance_squatter <key> <user>

#include "componentmodel/SingleInstanceFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSharedMemory>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int segmentSize = 4096;

void say(const QByteArray& line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

// Held by this process, which QLockFile takes for a live instance.
std::unique_ptr<QLockFile> heldOpenToAll(const QString& path)
{
    auto lock = std::make_unique<QLockFile>(path);
    if (!lock->tryLock(0) || ::chmod(QFile::encodeName(path).constData(), 0666) != 0)
        return nullptr;
    return lock;
}

// Qt's segment under the key alone, made open to all.
std::unique_ptr<QSharedMemory> qtSegmentOpenToAll(const QString& key)
{
    auto memory = std::make_unique<QSharedMemory>(key);
    if (!memory->create(segmentSize))
        return nullptr;
    const int id = ::shmget(::ftok(QFile::encodeName(memory->nativeKey()).constData(), 'Q'), 0, 0);
    shmid_ds facts;
    if (id < 0 || ::shmctl(id, IPC_STAT, &facts) != 0)
        return nullptr;
    facts.shm_perm.mode = 0666;
    if (::shmctl(id, IPC_SET, &facts) != 0)
        return nullptr;
    static_cast<char*>(memory->data())[0] = '0';
    return memory;
}

// A POSIX segment under the user's own name, open to all.
char* segmentOpenToAll(const QByteArray& name)
{
    const int fd = ::shm_open(name.constData(), O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd < 0 || ::fchmod(fd, 0666) != 0 || ::ftruncate(fd, segmentSize) != 0)
        return nullptr;
    void* data = ::mmap(nullptr, segmentSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (data == MAP_FAILED)
        return nullptr;
    static_cast<char*>(data)[0] = '0';
    return static_cast<char*>(data);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 3)
        return 64;
    const QString key = QString::fromUtf8(argv[1]);
    const ComponentModel::SingleInstanceNames names =
        ComponentModel::singleInstanceNames(key, unsigned(std::strtoul(argv[2], nullptr, 10)), QDir::tempPath());
    const auto keyLock = heldOpenToAll(QDir(QDir::tempPath()).absoluteFilePath(
        QString::fromLatin1(QUrl::toPercentEncoding(key)) + QStringLiteral(".instance.lock")));
    auto usersLock = heldOpenToAll(names.lockFile);
    const auto keySegment = qtSegmentOpenToAll(key);
    char* const usersSegment = segmentOpenToAll(names.segment);
    if (!keyLock || !usersLock || !keySegment || !usersSegment) {
        std::perror("single_instance_squatter: not made");
        return 1;
    }
    say("made");

    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (char* data : {static_cast<char*>(keySegment->data()), usersSegment}) {
            if (data[0] != '0') {
                say("read " + QByteArray(data + 1, qstrnlen(data + 1, segmentSize - 1)));
                data[0] = '0';
            }
        }
    });
    look.start(50);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char bytes[256];
        const ssize_t count = ::read(STDIN_FILENO, bytes, sizeof bytes);
        pending.append(bytes, int(std::max<ssize_t>(count, 0)));
        if (count <= 0 || pending.contains("quit\n")) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        if (pending.contains("unlock\n")) {
            pending.clear();
            usersLock.reset();
            say("unlocked");
        }
    });
    const int result = application.exec();
    ::shm_unlink(names.segment.constData());
    return result;
}
