#pragma once
// A test run in a death test's child, whose own report is never shown: its
// failures are told on standard error, which the parent shows, and the
// child ends with 1 after any, else 0. GoogleTest's thread only.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace Multimedia {
namespace test {

[[noreturn]] inline void runInChild(const std::function<void()>& test)
{
    ::testing::TestPartResultArray failures;
    {
        const ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &failures);
        test();
    }
    for (int i = 0; i < failures.size(); ++i) {
        const ::testing::TestPartResult& failure = failures.GetTestPartResult(i);
        std::fprintf(stderr, "%s:%d: %s\n", failure.file_name() ? failure.file_name() : "?", failure.line_number(),
                     failure.message());
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(failures.size() > 0 ? 1 : 0);
}

} // namespace test
} // namespace Multimedia
