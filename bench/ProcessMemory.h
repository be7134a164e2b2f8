#pragma once
// The process's memory as Linux reports it in /proc/self/status, for the
// benchmarks' figures.

#include <fstream>
#include <locale>
#include <sstream>
#include <string>

namespace bench {

// A field of the status in MB: "VmHWM" (the largest resident size since the
// last reset), "VmRSS" (the resident size now); -1 when it cannot be read.
inline double memory_mb(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::string name = std::string(field) + ":";
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, name.size(), name) != 0)
            continue;
        std::istringstream fields(line.substr(name.size()));
        fields.imbue(std::locale::classic());
        double kb = -1024.0;
        fields >> kb;
        return kb / 1024.0;
    }
    return -1.0;
}

inline double peak_memory_mb() { return memory_mb("VmHWM"); }

// Linux resets the peak to the current size when "5" is written here.
inline bool reset_peak_memory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

} // namespace bench
