#pragma once
// How loud one frequency is in a run of samples, to tell decoded channels
// apart by the tone each carries.

#include <vector>

namespace kestrel {
namespace test {

// Amplitude of the frequency (Goertzel), about 0.5 for a sine of amplitude
// 0.5 that fills the samples, near 0 for a frequency that is absent.
double tone_level(const std::vector<double>& samples, int sample_rate, double hz);

// The channel's tone is clearly the one expected and not the other.
bool carries_tone(const std::vector<double>& samples, int sample_rate, double expected_hz,
                  double other_hz);

} // namespace test
} // namespace kestrel
