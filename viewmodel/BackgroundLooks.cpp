#include "viewmodel/BackgroundLooks.h"

#include "componentmodel/EventTypes.h"
#include "componentmodel/GuardedReceiver.h"

#include <QEvent>

#include <utility>

namespace ViewModel {

namespace {

// A job's end, with what to do with its answer (nothing when given up).
class LookedEvent : public QEvent {
public:
    explicit LookedEvent(BackgroundLooks::Answer answer)
        : QEvent(ComponentModel::EventTypes::pathLooked), answer(std::move(answer))
    {
    }
    BackgroundLooks::Answer answer;
};

} // namespace

BackgroundLooks::BackgroundLooks(kestrel::read_threads threads)
    : mailbox_(std::make_shared<ComponentModel::GuardedReceiver>(this)),
      stop_(std::make_shared<kestrel::read_interruption>()), threads_(std::move(threads))
{
    retry_.setSingleShot(true);
    retry_.setInterval(100);
    connect(&retry_, &QTimer::timeout, this, [this] { startQueued(); });
}

BackgroundLooks::~BackgroundLooks()
{
    mailbox_->close();
    stop_->set(true);
}

void BackgroundLooks::run(Job job)
{
    queued_.push_back(std::move(job));
    startQueued();
}

void BackgroundLooks::startQueued()
{
    while (running_ < kestrel::read_threads::max_left_waiting && !queued_.empty()) {
        auto call = [job = queued_.front(), mailbox = mailbox_, stop = stop_] {
            Answer answer;
            try {
                const kestrel::read_interruption_scope scope(stop);
                answer = job();
            } catch (...) {
                // Given up as its owner went (read_interrupted): nobody
                // waits for the answer.
            }
            mailbox->post(std::make_unique<LookedEvent>(std::move(answer)));
        };
        // Without a thread to spare the look waits for one: made here, on
        // the window's thread, it could hold the window.
        if (!threads_.run(std::move(call))) {
            retry_.start();
            return;
        }
        queued_.pop_front();
        ++running_;
    }
}

bool BackgroundLooks::event(QEvent* event)
{
    // Before the event is read: the job's thread made it under the lock.
    mailbox_->delivered();
    if (event->type() != ComponentModel::EventTypes::pathLooked)
        return QObject::event(event);
    --running_;
    startQueued();
    const Answer answer = std::move(static_cast<LookedEvent*>(event)->answer);
    if (answer)
        answer();
    return true;
}

} // namespace ViewModel
