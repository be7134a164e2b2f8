#pragma once
// The processor time the process has used so far, user and system, all its
// threads together, for the benchmarks' figures.

#include <sys/resource.h>

namespace bench {

inline double processor_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace bench
