#include "support/ToneLevel.h"

#include <cmath>

namespace kestrel {
namespace test {

double tone_level(const std::vector<double>& samples, int sample_rate, double hz) {
    if (samples.empty())
        return 0.0;
    const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / sample_rate);
    double previous = 0.0, before_previous = 0.0;
    for (double sample : samples) {
        const double current = sample + coefficient * previous - before_previous;
        before_previous = previous;
        previous = current;
    }
    const double power = previous * previous + before_previous * before_previous -
                         coefficient * previous * before_previous;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / samples.size();
}

bool carries_tone(const std::vector<double>& samples, int sample_rate, double expected_hz,
                  double other_hz) {
    const double expected = tone_level(samples, sample_rate, expected_hz);
    const double other = tone_level(samples, sample_rate, other_hz);
    return expected > 0.05 && expected > 10.0 * other;
}

} // namespace test
} // namespace kestrel
