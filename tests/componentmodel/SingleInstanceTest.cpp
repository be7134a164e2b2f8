#include "componentmodel/SingleInstanceChannel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSharedMemory>

using ComponentModel::SingleInstanceChannel;

namespace {

QString uniqueKey(const char* what)
{
    static int serial = 0;
    return QStringLiteral("lumivista-test-%1-%2-%3").arg(QCoreApplication::applicationPid()).arg(what).arg(++serial);
}

// Reads the segment the way a third process would.
QByteArray segmentBytes(const QString& key, int count)
{
    QSharedMemory reader(key);
    if (!reader.attach(QSharedMemory::ReadOnly))
        return QByteArray();
    return QByteArray(static_cast<const char*>(reader.constData()), qMin<qsizetype>(count, reader.size()));
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
    {
        QSharedMemory writer(key);
        ASSERT_TRUE(writer.attach());
        static_cast<char*>(writer.data())[0] = '\0';
    }
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
    // System V keys are made from a file's inode, so a key can collide with
    // a segment of another test process running beside this one: another
    // key is tried then.
    QString key;
    QSharedMemory leftover;
    for (int attempt = 0; attempt < 10 && !leftover.isAttached(); ++attempt) {
        key = uniqueKey("left");
        leftover.setKey(key);
        leftover.create(1);
    }
    ASSERT_TRUE(leftover.isAttached()) << leftover.errorString().toStdString();
    static_cast<char*>(leftover.data())[0] = '1';

    SingleInstanceChannel first(key);
    EXPECT_FALSE(first.isRunning());
    SingleInstanceChannel other(uniqueKey("other"));
    EXPECT_FALSE(other.isRunning());
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
