#include "net/HttpOptions.h"
#include "net/IStream.h"

#include "support/LoopbackHttpServer.h"

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

} // namespace
