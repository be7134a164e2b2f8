// The maker's watch on its own thread: a stop raised by a signal handler
// reaches the waits on files through the read interruption, and a wait that
// lasts is named once, and again only when why it waits changes.

#include "MakerWatch.h"
#include "RefusalWords.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Whether `done` came true within five seconds.
bool within_bound(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

TEST(MakerWatch, TurnsAStopIntoTheInterruptionAndNamesEachLastingWaitOnce) {
    std::atomic<bool> stop_asked(false);
    const auto interruption = std::make_shared<kestrel::read_interruption>();
    std::mutex mutex;
    std::vector<std::string> named;
    const auto named_count = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return named.size();
    };
    make_show::maker_watch watch(stop_asked, interruption, [&](const kestrel::long_wait& wait) {
        std::lock_guard<std::mutex> lock(mutex);
        named.push_back(wait.file + ": " + make_show::waiting_words(wait.why));
    });
    {
        kestrel::long_wait_entry waiting("/share/a.jpg", kestrel::file_refusal::does_not_answer,
                                         std::chrono::steady_clock::now());
        EXPECT_TRUE(within_bound([&] { return named_count() == 1; }));
        waiting.set_why(kestrel::file_refusal::held_by_lease);
        EXPECT_TRUE(within_bound([&] { return named_count() == 2; }));
        // Some looks more, while it goes on: named no more.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_FALSE(interruption->on());
    stop_asked = true;
    EXPECT_TRUE(within_bound([&] { return interruption->on(); }));
    watch.end();

    EXPECT_EQ(named, (std::vector<std::string>{"/share/a.jpg: it does not answer",
                                               "/share/a.jpg: another program holds a lease on it"}));
}

} // namespace
