#include "componentmodel/GuardedReceiver.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A type of the test's own, handed out by Qt so that it meets none of the
// program's.
const QEvent::Type workerEvent = QEvent::Type(QEvent::registerEventType());

class Counting : public QObject {
public:
    explicit Counting(std::atomic<int>& handled) : handled_(handled) {}
    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox =
        std::make_shared<ComponentModel::GuardedReceiver>(this);
    bool event(QEvent* event) override
    {
        if (event->type() != workerEvent)
            return QObject::event(event);
        mailbox->delivered();
        ++handled_;
        return true;
    }

private:
    std::atomic<int>& handled_;
};

TEST(GuardedReceiver, WorkersNeverReachAReceiverThatIsGone)
{
    std::atomic<int> handled{0};
    std::atomic<int> posted{0};
    auto* receiver = new Counting(handled);
    auto mailbox = receiver->mailbox;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([mailbox, &posted] {
            while (mailbox->post(std::make_unique<QEvent>(workerEvent)))
                ++posted;
        });
    while (posted < 100)
        std::this_thread::yield();
    QCoreApplication::processEvents();
    mailbox->close(); // as the receiver's destructor does
    delete receiver;  // and drops what is still queued for it
    for (std::thread& worker : workers)
        worker.join(); // each stopped only because the mailbox closed
    EXPECT_GE(handled.load(), 100);
    EXPECT_FALSE(mailbox->post(std::make_unique<QEvent>(workerEvent)));
}

} // namespace
