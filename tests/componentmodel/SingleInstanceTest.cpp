#include "componentmodel/SingleInstanceChannel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using ComponentModel::SingleInstanceChannel;

namespace {

QString uniqueKey(const char* what)
{
    static int serial = 0;
    return QStringLiteral("lumivista-test-%1-%2-%3").arg(QCoreApplication::applicationPid()).arg(what).arg(++serial);
}

QByteArray segmentName(const QString& key)
{
    return ComponentModel::singleInstanceNames(key, ::geteuid(), QDir::tempPath()).segment;
}

// Reads the segment the way a third process would.
QByteArray segmentBytes(const QString& key, int count)
{
    const int fd = ::shm_open(segmentName(key).constData(), O_RDONLY, 0);
    QByteArray bytes(count, '\0');
    const ssize_t read = fd >= 0 ? ::pread(fd, bytes.data(), size_t(count), 0) : -1;
    if (fd >= 0)
        ::close(fd);
    return bytes.left(read < 0 ? 0 : int(read));
}

// Writes at the segment's start the way a third process would.
void writeSegment(const QString& key, const QByteArray& bytes)
{
    const int fd = ::shm_open(segmentName(key).constData(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0), bytes.size());
    ::close(fd);
}

// A segment made before any instance, with `mode` and `bytes` at its
// start; its descriptor, to read it as one who opened it then.
int segmentMadeFirst(const QString& key, mode_t mode, const QByteArray& bytes)
{
    const int fd = ::shm_open(segmentName(key).constData(), O_RDWR | O_CREAT | O_EXCL, mode);
    if (fd < 0 || ::fchmod(fd, mode) != 0 || ::ftruncate(fd, SingleInstanceChannel::SegmentSize) != 0 ||
        ::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0) != bytes.size())
        ADD_FAILURE() << "no segment made";
    return fd;
}

QStringList received(SingleInstanceChannel& channel)
{
    QStringList messages;
    QObject::connect(&channel, &SingleInstanceChannel::messageAvailable, &channel,
                     [&messages](const QString& m) { messages << m; });
    channel.checkForMessage();
    QObject::disconnect(&channel, &SingleInstanceChannel::messageAvailable, &channel, nullptr);
    return messages;
}

} // namespace

TEST(SingleInstanceChannel, SecondInstanceHandsTheFirstItsLatestMessage)
{
    const QString key = uniqueKey("pair");
    SingleInstanceChannel first(key);
    EXPECT_FALSE(first.isRunning());
    EXPECT_FALSE(first.sendMessage(QStringLiteral("show")));
    EXPECT_EQ(segmentBytes(key, 1), QByteArray("0"));
    EXPECT_TRUE(received(first).isEmpty());

    SingleInstanceChannel second(key);
    EXPECT_TRUE(second.isRunning());
    EXPECT_TRUE(second.sendMessage(QStringLiteral("show")));
    EXPECT_EQ(segmentBytes(key, 6), QByteArray("1show\0", 6));
    // The sender hears back only once the first instance has looked.
    EXPECT_FALSE(second.messageTaken(100));
    EXPECT_EQ(received(first), QStringList{QStringLiteral("show")});
    EXPECT_EQ(segmentBytes(key, 1), QByteArray("0"));
    EXPECT_TRUE(second.messageTaken(0));
    EXPECT_FALSE(first.messageTaken(0)) << "the first instance sent nothing";
    EXPECT_TRUE(received(first).isEmpty());

    // Between two polls only the last message survives, read to its own end.
    second.sendMessage(QStringLiteral("a longer message"));
    second.sendMessage(QStringLiteral("hi"));
    EXPECT_EQ(received(first), QStringList{QStringLiteral("hi")});

    // Any marker but "0" means a message waits.
    writeSegment(key, QByteArray(1, '\0'));
    EXPECT_EQ(received(first), QStringList{QStringLiteral("hi")});
}

TEST(SingleInstanceChannel, MessagesPassWholeUpToTheSegmentSize)
{
    const QString key = uniqueKey("size");
    SingleInstanceChannel first(key);
    SingleInstanceChannel second(key);
    const int room = SingleInstanceChannel::SegmentSize - 2;
    second.sendMessage(QString(room, QLatin1Char('x')));
    EXPECT_EQ(received(first), QStringList{QString(room, QLatin1Char('x'))});
    second.sendMessage(QString(room + 100, QLatin1Char('y')));
    EXPECT_EQ(received(first), QStringList{QString(room + 1, QLatin1Char('y'))});
    second.sendMessage(QStringLiteral("ümlaut ✓"));
    EXPECT_EQ(received(first), QStringList{QStringLiteral("ümlaut ✓")});
}

TEST(SingleInstanceChannel, KeysAreIndependentAndALeftoverSegmentIsNoInstance)
{
    // Left by an instance that crashed with a message waiting.
    const QString key = uniqueKey("left");
    const int leftover = segmentMadeFirst(key, 0600, QByteArray("1show\0", 6));

    SingleInstanceChannel first(key);
    EXPECT_FALSE(first.isRunning());
    EXPECT_TRUE(received(first).isEmpty());
    SingleInstanceChannel other(uniqueKey("other"));
    EXPECT_FALSE(other.isRunning());
    ::close(leftover);
}

// A segment of the user's left open to others (who may hold it open since)
// is never used: the first instance makes its own, private, and what a
// later start hands over reaches it alone.
TEST(SingleInstanceChannel, ASegmentOpenToOthersIsMadeAgainPrivate)
{
    const QString key = uniqueKey("open");
    const int openToOthers = segmentMadeFirst(key, 0666, "0");

    SingleInstanceChannel first(key);
    SingleInstanceChannel second(key);
    ASSERT_TRUE(second.isRunning());
    EXPECT_TRUE(second.sendMessage(QStringLiteral("show")));
    char seen[5] = {};
    EXPECT_EQ(::pread(openToOthers, seen, sizeof seen, 0), ssize_t(sizeof seen));
    EXPECT_EQ(QByteArray("0\0\0\0\0", 5), QByteArray(seen, 5)) << "the message went where others may read it";
    EXPECT_EQ(received(first), QStringList{QStringLiteral("show")});
    struct stat facts;
    const int now = ::shm_open(segmentName(key).constData(), O_RDONLY, 0);
    ASSERT_EQ(0, ::fstat(now, &facts));
    EXPECT_EQ(0600u, facts.st_mode & 0777u);
    ::close(now);
    ::close(openToOthers);
}

#ifdef SINGLE_INSTANCE_PEER
namespace {

// One run of the peer program; its output lines are read as they come.
class Peer {
public:
    Peer(const QString& key, const QString& message)
    {
        process_.setProgram(QStringLiteral(SINGLE_INSTANCE_PEER));
        process_.setArguments({key, message});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
    }
    ~Peer()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Waits for the next output line, empty after the timeout.
    QString nextLine(int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!process_.canReadLine() && !deadline.hasExpired()) {
            if (!process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                break;
        }
        return process_.canReadLine() ? QString::fromUtf8(process_.readLine()).trimmed() : QString();
    }

    QProcess& process() { return process_; }

private:
    QProcess process_;
};

} // namespace

TEST(SingleApplication, TwoProcessesHandOverAndARestartAfterACrashStartsNormally)
{
    const QString key = uniqueKey("process");
    {
        Peer first(key, QStringLiteral("-"));
        ASSERT_EQ(first.nextLine(), QLatin1String("first"));

        Peer second(key, QStringLiteral("show"));
        EXPECT_EQ(second.nextLine(), QLatin1String("second sent=1"));
        EXPECT_TRUE(second.process().waitForFinished(5000));
        EXPECT_EQ(second.process().exitCode(), 0);
        EXPECT_EQ(first.nextLine(3000), QLatin1String("message:show"));

        first.process().kill();  // SIGKILL: nothing of the first is cleaned up
        ASSERT_TRUE(first.process().waitForFinished(5000));
    }

    Peer restarted(key, QStringLiteral("-"));
    ASSERT_EQ(restarted.nextLine(), QLatin1String("first"));
    const QString otherKey = uniqueKey("stranger");
    Peer stranger(otherKey, QStringLiteral("-"));
    EXPECT_EQ(stranger.nextLine(), QLatin1String("first"));

    Peer closer(key, QStringLiteral("quit"));
    EXPECT_EQ(closer.nextLine(), QLatin1String("second sent=1"));
    EXPECT_EQ(restarted.nextLine(3000), QLatin1String("message:quit"));
    EXPECT_TRUE(restarted.process().waitForFinished(5000));
    EXPECT_EQ(restarted.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(restarted.process().exitCode(), 0);

    Peer strangerCloser(otherKey, QStringLiteral("quit"));
    EXPECT_EQ(stranger.nextLine(3000), QLatin1String("message:quit"));
    EXPECT_TRUE(stranger.process().waitForFinished(5000));
}
#endif

// An instance that is ending lets its key go: a start then is a first
// instance of its own, not one that hands its message to nobody.
TEST(SingleInstanceChannel, AReleasedKeyMakesTheNextStartAFirstInstance)
{
    const QString key = uniqueKey("released");
    SingleInstanceChannel ending(key);
    ASSERT_FALSE(ending.isRunning());
    ending.release();
    SingleInstanceChannel next(key);
    EXPECT_FALSE(next.isRunning());
    EXPECT_FALSE(next.sendMessage(QStringLiteral("show")));
    SingleInstanceChannel third(key);
    EXPECT_TRUE(third.isRunning()) << "the new first instance holds the key";
}
