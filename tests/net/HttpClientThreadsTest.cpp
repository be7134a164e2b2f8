#include "net/Cancellation.h"
#include "net/HttpOptions.h"
#include "net/IStream.h"

#include "support/LoopbackHttpServer.h"

#include <boost/asio/error.hpp>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

namespace {

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

} // namespace
