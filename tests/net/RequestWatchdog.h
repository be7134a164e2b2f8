#pragma once
// A bound of the test's own on a request of the client, so that a client
// whose limit or time-out is gone fails the test in seconds, with the
// reason, instead of hanging until the test runner's limit. The request
// runs on a thread of its own and opens its streams with the given switch;
// when it has not ended within the bound the test fails and the switch is
// cancelled. A request that ignores even that ends the test program.

#include "net/Cancellation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>

namespace kestrel {
namespace test {

inline void run_bounded(std::chrono::milliseconds bound, const std::string& what,
                        const std::function<void(const urdl::cancellation&)>& request) {
    const urdl::cancellation cancel;
    std::future<void> running = std::async(std::launch::async, [&] { request(cancel); });
    if (running.wait_for(bound) == std::future_status::ready)
        return running.get();
    ADD_FAILURE() << what << ": still running after " << bound.count() << " ms";
    cancel.cancel();
    if (running.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::fprintf(stderr, "%s: not even cancelling ends it\n", what.c_str());
        std::abort();
    }
    running.get();
}

} // namespace test
} // namespace kestrel
