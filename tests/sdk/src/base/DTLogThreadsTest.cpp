#include "base/DTLog.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

using namespace kestrel;

TEST(LogThreads, LinesFromManyThreadsStayWhole) {
    std::ostringstream sink;
    const log_level level = {&sink, "info"};
    const int threads = 4, lines = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i) {
                log_line(level) << "[writer " << t << "] line " << i << " of " << lines << std::endl;
                log_line(logger::trace()) << "[writer] dropped " << i << std::endl;
            }
        });
    for (auto& writer : writers)
        writer.join();

    std::istringstream written(sink.str());
    std::string line;
    int count = 0;
    while (std::getline(written, line)) {
        ++count;
        EXPECT_EQ(0u, line.find("[kestrel][info][writer ")) << line;
        EXPECT_NE(std::string::npos, line.find(" of 200")) << line;
    }
    EXPECT_EQ(threads * lines, count);
}
