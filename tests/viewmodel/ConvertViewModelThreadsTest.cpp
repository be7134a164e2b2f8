#include "ViewModelDoubles.h"

#include "viewmodel/ConvertViewModel.h"

#include "componentmodel/ImageProvider.h"
#include "support/TestPictures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using ViewModel::ConvertViewModel;
using ViewModel::SettingsViewModel;
using namespace ViewModelTest;

namespace {

// Reports progress from a thread of its own, as the engine's producer does,
// until it has reported `steps` times or is stopped; releasing it waits for
// the thread.
class WorkerProducer : public kestrel::slideshow2::slideshow_produce {
    struct impl : Impl {
        explicit impl(int steps) : steps(steps) {}
        ~impl() override
        {
            stopping = true;
            if (worker.joinable())
                worker.join();
        }
        void start(const progress_callback& progress, const finished_callback& finished) override
        {
            worker = std::thread([this, progress, finished] {
                for (int step = 1; step <= steps; ++step) {
                    if (stopping) {
                        finished(cancelled);
                        return;
                    }
                    progress(100.0 * step / steps, kestrel::test::make_rgb_picture(16, 9, step));
                }
                finished(done);
            });
        }
        void pause() override {}
        void resume() override {}
        void stop() override { stopping = true; }

        const int steps;
        std::atomic<bool> stopping{false};
        std::thread worker;
    };

public:
    explicit WorkerProducer(int steps) : slideshow_produce(new impl(steps)) {}
};

struct Fixture {
    explicit Fixture(int steps)
    {
        clearSettingsStore();
        show.record->slides = 4;
        settings = QSharedPointer<SettingsViewModel>::create(show.show);
        settings->setOutputFolder(folder.path());
        vm = std::make_unique<ConvertViewModel>(show.show, QSharedPointer<QObject>(), settings,
                                                QSharedPointer<ComponentModel::ImageProvider>::create());
        vm->setProducerFactory([steps](auto&&...) { return boost::make_shared<WorkerProducer>(steps); });
    }
    QTemporaryDir folder;
    UsageEventRecorder events;
    ShowDouble show;
    QSharedPointer<SettingsViewModel> settings;
    std::unique_ptr<ConvertViewModel> vm;
};

} // namespace

TEST(ConvertViewModelThreads, ProgressFromTheWorkerArrivesInOrderThenTheEnd)
{
    Fixture f(200);
    std::vector<int> seen;
    bool succeeded = false;
    QObject::connect(f.vm.get(), &ConvertViewModel::progressChanged, [&](int v) { seen.push_back(v); });
    QObject::connect(f.vm.get(), &ConvertViewModel::conversionSucceeded, [&] { succeeded = true; });
    f.vm->start();
    QElapsedTimer clock;
    clock.start();
    while (!succeeded && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(succeeded);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.size(), 201u);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(f.vm->state(), ConvertViewModel::StopState);
}

TEST(ConvertViewModelThreads, DestroyedOrRestartedWhileTheWorkerPostsIsSafe)
{
    for (int round = 0; round < 20; ++round) {
        Fixture f(100000);
        f.vm->start();
        QCoreApplication::processEvents();
        f.vm->stop();
        f.vm->start();  // releases the stopped producer, waiting for it
        QCoreApplication::processEvents();
        EXPECT_EQ(f.vm->state(), ConvertViewModel::ConvertState);
        f.vm.reset();
    }
}
