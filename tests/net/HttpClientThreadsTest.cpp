#include "net/Cancellation.h"
#include "net/HostLookup.h"
#include "net/HttpOptions.h"
#include "net/IStream.h"

#include "GatedLookup.h"
#include "RequestWatchdog.h"

#include "support/LoopbackHttpServer.h"

#include <boost/asio/error.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using kestrel::test::GatedLookup;
using kestrel::test::HttpReply;

// Streams share nothing: several threads fetch at once, each its own body.
TEST(HttpClientThreads, StreamsOnSeveralThreadsReadTheirOwnBodies) {
    kestrel::test::LoopbackHttpServer server;
    const int threads = 4;
    const int fetches = 5;
    for (int t = 0; t < threads; ++t)
        server.answer("/feed" + std::to_string(t),
                      HttpReply::ok(std::string(3000 + t, static_cast<char>('a' + t))));

    std::vector<int> matches(threads, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < fetches; ++i) {
                urdl::istream stream;
                stream.set_option(urdl::http::user_agent("worker"));
                stream.open(urdl::url(server.url("/feed" + std::to_string(t))));
                std::ostringstream body;
                body << stream.rdbuf();
                if (stream && body.str() == std::string(3000 + t, static_cast<char>('a' + t)))
                    ++matches[t];
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(std::vector<int>(threads, fetches), matches);
    EXPECT_EQ(static_cast<std::size_t>(threads * fetches), server.requests().size());
}

// Another thread ends downloads at once: one waiting for a silent server's
// answer, one reading an endless body; later opens with the same switch
// fail without a request.
TEST(HttpClientThreads, CancellingEndsOpensAndReadsOfOtherThreads) {
    kestrel::test::LoopbackHttpServer server;
    server.answer("/silent", HttpReply::silent());
    server.answer("/endless",
                  HttpReply::endless("HTTP/1.0 200 OK\r\n\r\n", "x", std::chrono::milliseconds(20)));
    urdl::cancellation cancel;
    std::vector<boost::system::error_code> outcomes(2);
    std::vector<std::thread> workers;
    for (int i = 0; i < 2; ++i) {
        workers.emplace_back([&, i] {
            urdl::istream stream;
            stream.set_option(cancel);
            stream.open(urdl::url(server.url(i == 0 ? "/silent" : "/endless")));
            std::ostringstream body;
            body << stream.rdbuf();
            outcomes[i] = stream.rdbuf()->error();
        });
    }
    ASSERT_TRUE(server.wait_for_requests(2));
    cancel.cancel();
    for (std::thread& worker : workers)
        worker.join();
    for (const boost::system::error_code& outcome : outcomes)
        EXPECT_EQ(boost::asio::error::operation_aborted, outcome) << outcome.message();

    urdl::istream late;
    late.set_option(cancel);
    late.open(urdl::url(server.url("/endless")));
    EXPECT_TRUE(late.fail());
    EXPECT_EQ(boost::asio::error::operation_aborted, late.rdbuf()->error());
    EXPECT_EQ(2u, server.requests().size());
}

enum class LookupEnd { answered, cancelled, open_timeout, request_timeout };

struct LookupCase {
    const char* name;
    LookupEnd end;
    boost::system::error_code outcome;
};

void PrintTo(const LookupCase& c, std::ostream* out) { *out << c.name; }

class StuckLookup : public testing::TestWithParam<LookupCase> {};

// However the request ends while its look-up hangs, it ends at once, and
// the answer that comes after the stream is gone is dropped unseen.
TEST_P(StuckLookup, EndsTheRequestAtOnceAndDropsTheLateAnswer) {
    const LookupCase& c = GetParam();
    kestrel::test::LoopbackHttpServer server;
    server.answer("/feed", HttpReply::ok("<feed/>"));
    const GatedLookup lookup;
    if (c.end == LookupEnd::answered)
        lookup.open();
    const urdl::cancellation cancel;
    std::thread canceller;
    if (c.end == LookupEnd::cancelled)
        canceller = std::thread([&] {
            lookup.wait_until(&GatedLookup::Gate::started, 1);
            cancel.cancel();
        });

    const auto start = std::chrono::steady_clock::now();
    kestrel::test::run_bounded(std::chrono::seconds(5), c.name, [&](const urdl::cancellation& watchdog) {
        urdl::istream stream;
        stream.set_option(c.end == LookupEnd::cancelled ? cancel : watchdog);
        stream.set_option(lookup.lookup(server.port()));
        if (c.end == LookupEnd::open_timeout)
            stream.rdbuf()->set_open_timeout(200);
        if (c.end == LookupEnd::request_timeout)
            stream.rdbuf()->set_request_timeout(200);
        stream.open(urdl::url("http://never-answers.test:" + std::to_string(server.port()) + "/feed"));
        EXPECT_EQ(c.outcome, stream.rdbuf()->error()) << stream.rdbuf()->error().message();
    });
    // Short of the bound above, which a request waiting for its look-up
    // would reach.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    if (canceller.joinable())
        canceller.join();

    lookup.open();
    ASSERT_TRUE(lookup.wait_until(&GatedLookup::Gate::answered, 1));
    // The late answer would go on to a request now; none may come.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(c.end == LookupEnd::answered ? 1u : 0u, server.requests().size());
    if (c.end == LookupEnd::answered) {
        EXPECT_NE(std::string::npos, server.requests()[0].find("\r\nHost: never-answers.test:"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StuckLookup,
    testing::Values(LookupCase{"Answered", LookupEnd::answered, {}},
                    LookupCase{"Cancelled", LookupEnd::cancelled, boost::asio::error::operation_aborted},
                    LookupCase{"OpenTimeOut", LookupEnd::open_timeout,
                               make_error_code(boost::system::errc::timed_out)},
                    LookupCase{"RequestTimeOut", LookupEnd::request_timeout,
                               make_error_code(boost::system::errc::timed_out)}),
    [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

} // namespace
