// Looks made off the window's thread, also when no thread can be started.

#include "ViewModelTesting.h"

#include "viewmodel/BackgroundLooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

// The first two threads cannot be started: the look waits, then runs on a
// thread of its own, never on the window's.
TEST(BackgroundLooks, WithoutAThreadToSpareALookWaitsAndIsNeverMadeOnTheWindowsThread)
{
    const auto refusals = std::make_shared<std::atomic<int>>(2);
    const kestrel::read_threads threads([refusals](std::function<void()> body) {
        if ((*refusals)-- > 0)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        kestrel::read_threads::start_detached_thread(std::move(body));
    });
    ViewModel::BackgroundLooks looks(threads);
    std::thread::id lookedOn;
    bool answered = false;
    looks.run([&]() -> ViewModel::BackgroundLooks::Answer {
        lookedOn = std::this_thread::get_id();
        return [&] { answered = true; };
    });
    ASSERT_TRUE(qmltest::waitFor([&] { return answered; }, 10000));
    EXPECT_NE(lookedOn, std::this_thread::get_id());
    EXPECT_LE(refusals->load(), 0);
}
