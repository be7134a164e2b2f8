// The resolver by itself, on an I/O context the test runs: the cap on the
// look-ups of the process inside their function, abandoned look-ups whose
// late answers are dropped, and threads that cannot be started.

#include "net/HostResolver.h"

#include <boost/asio/error.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using boost::system::error_code;
using urdl::detail::host_resolver;

const int cap = host_resolver::max_waiting_lookups;

// Look-ups that wait until the test opens the gate, then answer with the
// loopback address. The gate is shared with their threads, which own it.
class Gate {
public:
    urdl::host_lookup::function lookup() const {
        const std::shared_ptr<State> state = state_;
        return [state](const std::string&, const std::string& port, urdl::host_lookup::addresses& found) {
            std::unique_lock<std::mutex> lock(state->mutex);
            ++state->started;
            state->changed.notify_all();
            state->changed.wait(lock, [&] { return state->open; });
            found.emplace_back(boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(std::stoi(port)));
            return error_code();
        };
    }
    bool wait_started(int count) const {
        std::unique_lock<std::mutex> lock(state_->mutex);
        return state_->changed.wait_for(lock, std::chrono::seconds(5), [&] { return state_->started >= count; });
    }
    int started() const {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->started;
    }
    void open() const {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->open = true;
        state_->changed.notify_all();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int started = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Every call of one resolver's handler, in order; the test's thread only.
struct Outcomes {
    std::vector<error_code> errors;
    std::vector<std::size_t> address_counts;

    host_resolver::handler recorder() {
        return [this](const error_code& ec, const urdl::host_lookup::addresses& found) {
            errors.push_back(ec);
            address_counts.push_back(found.size());
        };
    }
};

bool eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Runs the context's handlers until `done` holds; false after five seconds.
bool run_until(boost::asio::io_context& io, const std::function<bool()>& done) {
    return eventually([&] {
        io.restart();
        io.poll();
        return done();
    });
}

urdl::host_lookup::function answering_lookup() {
    return [](const std::string&, const std::string&, urdl::host_lookup::addresses& found) {
        found.emplace_back(boost::asio::ip::address_v4::loopback(), 80);
        return error_code();
    };
}

class HostResolverThreads : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(eventually([] { return host_resolver::waiting_lookups() == 0; }))
            << "look-ups of an earlier test still wait";
    }
    void TearDown() override {
        gate.open();
        EXPECT_TRUE(eventually([] { return host_resolver::waiting_lookups() == 0; }))
            << host_resolver::waiting_lookups() << " look-ups still counted after every one returned";
    }

    boost::asio::io_context io;
    Gate gate;
};

TEST_F(HostResolverThreads, PastTheCapALookUpFailsAtOnceAndAbandonedOnesCountUntilTheyReturn) {
    std::vector<std::unique_ptr<host_resolver>> stuck;
    std::vector<Outcomes> outcomes(cap);
    for (int i = 0; i < cap; ++i) {
        stuck.push_back(std::make_unique<host_resolver>(io));
        stuck.back()->async_resolve(gate.lookup(), "stuck.test", "80", outcomes[i].recorder());
    }
    ASSERT_TRUE(gate.wait_started(cap));
    EXPECT_EQ(cap, host_resolver::waiting_lookups());

    host_resolver late(io);
    Outcomes over;
    late.async_resolve(gate.lookup(), "stuck.test", "80", over.recorder());
    EXPECT_TRUE(over.errors.empty()) << "answered from within the call";
    ASSERT_TRUE(run_until(io, [&] { return over.errors.size() == 1; })) << "a look-up past the cap waits";
    EXPECT_EQ(error_code(boost::asio::error::host_not_found_try_again), over.errors[0]);

    // Abandoned, cancelled or with its resolver gone, a look-up keeps its
    // place until its function returns.
    stuck[0]->cancel();
    stuck[1].reset();
    ASSERT_TRUE(run_until(io, [&] { return outcomes[0].errors.size() == 1; }));
    EXPECT_EQ(error_code(boost::asio::error::operation_aborted), outcomes[0].errors[0]);
    late.async_resolve(gate.lookup(), "stuck.test", "80", over.recorder());
    ASSERT_TRUE(run_until(io, [&] { return over.errors.size() == 2; }));
    EXPECT_EQ(error_code(boost::asio::error::host_not_found_try_again), over.errors[1]);
    EXPECT_EQ(cap, gate.started()) << "a look-up past the cap was started";

    // Every answer comes: the waiting resolvers get theirs, the abandoned
    // answers are dropped, and the places are free again.
    gate.open();
    ASSERT_TRUE(eventually([] { return host_resolver::waiting_lookups() == 0; }));
    io.restart();
    io.poll();
    EXPECT_EQ(std::vector<error_code>{boost::asio::error::operation_aborted}, outcomes[0].errors);
    EXPECT_TRUE(outcomes[1].errors.empty());
    for (int i = 2; i < cap; ++i) {
        EXPECT_EQ(std::vector<error_code>{error_code()}, outcomes[i].errors) << i;
        EXPECT_EQ(std::vector<std::size_t>{1}, outcomes[i].address_counts) << i;
    }
    late.async_resolve(answering_lookup(), "free.test", "80", over.recorder());
    ASSERT_TRUE(run_until(io, [&] { return over.errors.size() == 3; }));
    EXPECT_EQ(error_code(), over.errors[2]) << over.errors[2].message();
}

TEST_F(HostResolverThreads, AThreadThatCannotStartFailsTheLookUpAndGivesItsPlaceBack) {
    struct Refusal {
        std::function<void()> throw_it;
        error_code expected;
    };
    const std::vector<Refusal> refusals{
        {[] { throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again)); },
         error_code(EAGAIN, boost::system::system_category())},
        {[] { throw std::bad_alloc(); }, boost::asio::error::no_memory}};
    for (const Refusal& refusal : refusals) {
        bool ran = false;
        host_resolver refusing(io, [&](std::function<void()>) { refusal.throw_it(); });
        Outcomes outcomes;
        // More refusals than places: a place kept by a refused start would
        // show as a try-again.
        for (int i = 0; i <= cap; ++i) {
            refusing.async_resolve(
                [&ran](const std::string&, const std::string&, urdl::host_lookup::addresses&) {
                    ran = true;
                    return error_code();
                },
                "refused.test", "80", outcomes.recorder());
            ASSERT_TRUE(run_until(io, [&] { return outcomes.errors.size() == std::size_t(i + 1); }));
            EXPECT_EQ(refusal.expected, outcomes.errors.back()) << outcomes.errors.back().message();
            EXPECT_EQ(0, host_resolver::waiting_lookups());
        }
        EXPECT_FALSE(ran);
    }
    host_resolver working(io);
    Outcomes answered;
    working.async_resolve(answering_lookup(), "free.test", "80", answered.recorder());
    ASSERT_TRUE(run_until(io, [&] { return answered.errors.size() == 1; }));
    EXPECT_EQ(error_code(), answered.errors[0]) << answered.errors[0].message();
}

} // namespace
