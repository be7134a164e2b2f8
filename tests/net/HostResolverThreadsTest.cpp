// The resolver by itself, on an I/O context the test runs: the cap on the
// look-ups of the process inside their function, abandoned look-ups whose
// late answers are dropped, and a thread that cannot be started.

#include "net/HostResolver.h"

#include "GatedLookup.h"

#include <boost/asio/error.hpp>

#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using boost::system::error_code;
using kestrel::test::GatedLookup;
using urdl::detail::host_resolver;

const int cap = host_resolver::max_waiting_lookups;

bool eventually(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

bool noLookUpWaits() { return host_resolver::waiting_lookups() == 0; }

// Keeps the calling thread, and the threads it starts, on the CPU it runs
// on, until it goes.
class OneCpu {
public:
    OneCpu() {
        const int cpu = sched_getcpu();
        if (cpu < 0 || sched_getaffinity(0, sizeof before_, &before_) != 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        held_ = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~OneCpu() {
        if (held_)
            sched_setaffinity(0, sizeof before_, &before_);
    }
    OneCpu(const OneCpu&) = delete;
    OneCpu& operator=(const OneCpu&) = delete;
    bool held() const { return held_; }

private:
    cpu_set_t before_;
    bool held_ = false;
};

// `lookup`, after which its thread runs at the idle policy: any thread of
// the ordinary policy that wakes on its CPU runs before it from then on.
urdl::host_lookup::function givingWayOnceFound(urdl::host_lookup::function lookup) {
    return [lookup](const std::string& host, const std::string& port, urdl::host_lookup::addresses& found) {
        const error_code ec = lookup(host, port, found);
        const sched_param idle{};
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
        return ec;
    };
}

class HostResolverThreads : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(eventually(noLookUpWaits)) << "look-ups of an earlier test still wait"; }
    void TearDown() override {
        gate.open();
        EXPECT_TRUE(eventually(noLookUpWaits)) << host_resolver::waiting_lookups() << " places never given back";
    }

    // Every outcome `resolver` is handed lands in `outcomes`.
    void resolve(host_resolver& resolver, const GatedLookup& lookup, std::vector<error_code>& outcomes) {
        resolver.async_resolve(lookup.lookup(80).value(), "host.test", "80",
                               [&outcomes](const error_code& ec, const urdl::host_lookup::addresses&) {
                                   outcomes.push_back(ec);
                               });
    }
    // Runs the context's handlers until `outcomes` holds `count`; false
    // after five seconds.
    bool handed(const std::vector<error_code>& outcomes, std::size_t count) {
        return eventually([&] {
            io.restart();
            io.poll();
            return outcomes.size() >= count;
        });
    }

    boost::asio::io_context io;
    GatedLookup gate;
};

TEST_F(HostResolverThreads, PastTheCapALookUpFailsAtOnceAndAbandonedOnesCountUntilTheyReturn) {
    std::vector<std::unique_ptr<host_resolver>> stuck;
    std::vector<std::vector<error_code>> outcomes(cap);
    for (int i = 0; i < cap; ++i) {
        stuck.push_back(std::make_unique<host_resolver>(io));
        resolve(*stuck.back(), gate, outcomes[i]);
    }
    ASSERT_TRUE(gate.wait_until(&GatedLookup::Gate::started, cap));

    host_resolver late(io);
    std::vector<error_code> over;
    resolve(late, gate, over);
    ASSERT_TRUE(handed(over, 1)) << "a look-up past the cap waits";
    EXPECT_EQ(error_code(boost::asio::error::host_not_found_try_again), over[0]);

    // Cancelled, or with its resolver gone, a look-up keeps its place
    // until its function returns.
    stuck[0]->cancel();
    stuck[1].reset();
    resolve(late, gate, over);
    ASSERT_TRUE(handed(over, 2) && handed(outcomes[0], 1));
    EXPECT_EQ(error_code(boost::asio::error::host_not_found_try_again), over[1]);
    EXPECT_EQ(error_code(boost::asio::error::operation_aborted), outcomes[0][0]);

    // Every answer comes: the waiting resolvers get theirs, the abandoned
    // ones are dropped, and the places are free again. A place is given
    // back before its answer goes, so the answers are waited for.
    gate.open();
    for (int i = 2; i < cap; ++i)
        ASSERT_TRUE(handed(outcomes[i], 1)) << i;
    ASSERT_TRUE(eventually(noLookUpWaits));
    io.restart();
    io.poll();
    EXPECT_EQ(1u, outcomes[0].size());
    EXPECT_TRUE(outcomes[1].empty());
    for (int i = 2; i < cap; ++i)
        EXPECT_EQ(std::vector<error_code>{error_code()}, outcomes[i]) << i;
    resolve(late, gate, over);
    ASSERT_TRUE(handed(over, 3));
    EXPECT_EQ(error_code(), over[2]) << over[2].message();
}

// The other places taken by look-ups that never answer, one client asks
// again from inside each answer: the look-up that answered holds no place,
// so it counts no more and the next one is never refused. A look-up's
// thread, once its answer is found, gives way to the test's thread, which
// shares its one CPU: the answer's post wakes the test's thread, which
// handles the answer before that look-up's thread goes on, as a loaded
// machine may do at any time.
TEST_F(HostResolverThreads, ALookUpThatAnsweredHoldsNoPlace) {
    const OneCpu pinned;
    ASSERT_TRUE(pinned.held()) << "cannot keep the test on one CPU";
    std::vector<std::unique_ptr<host_resolver>> stuck;
    std::vector<std::vector<error_code>> never(cap - 1);
    for (int i = 0; i < cap - 1; ++i) {
        stuck.push_back(std::make_unique<host_resolver>(io));
        resolve(*stuck.back(), gate, never[i]);
    }
    ASSERT_TRUE(gate.wait_until(&GatedLookup::Gate::started, cap - 1));

    GatedLookup answering;
    answering.open();
    const urdl::host_lookup::function lookup = givingWayOnceFound(answering.lookup(80).value());
    const std::size_t rounds = 5;
    host_resolver client(io);
    std::vector<error_code> outcomes;
    std::vector<int> placesWhenAnswered;
    std::function<void()> ask = [&] {
        client.async_resolve(lookup, "host.test", "80", [&](const error_code& ec, const urdl::host_lookup::addresses&) {
            outcomes.push_back(ec);
            placesWhenAnswered.push_back(host_resolver::waiting_lookups());
            if (!ec && outcomes.size() < rounds)
                ask();
        });
    };
    ask();
    // Waits inside the context, so that a post wakes this thread at once.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    io.restart();
    const auto over = [&] { return outcomes.size() == rounds || (!outcomes.empty() && outcomes.back()); };
    while (!over() && io.run_one_until(giveUp) > 0) {
    }
    ASSERT_TRUE(over()) << "the answers stopped coming";
    EXPECT_EQ(std::vector<error_code>(rounds), outcomes) << outcomes.back().message();
    EXPECT_EQ(std::vector<int>(rounds, cap - 1), placesWhenAnswered);
}

// More refused starts than places: a place kept by one would show as a
// try-again, and in the end as a look-up that cannot run.
TEST_F(HostResolverThreads, AThreadThatCannotStartFailsTheLookUpAndGivesItsPlaceBack) {
    host_resolver refusing(io, [](std::function<void()>) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    std::vector<error_code> refused;
    for (int i = 0; i <= cap; ++i) {
        resolve(refusing, gate, refused);
        ASSERT_TRUE(handed(refused, std::size_t(i + 1)));
        EXPECT_EQ(error_code(EAGAIN, boost::system::system_category()), refused.back())
            << refused.back().message();
    }
    EXPECT_EQ(0, host_resolver::waiting_lookups());

    gate.open();
    host_resolver working(io);
    std::vector<error_code> answered;
    resolve(working, gate, answered);
    ASSERT_TRUE(handed(answered, 1));
    EXPECT_EQ(error_code(), answered[0]) << answered[0].message();
}

} // namespace
