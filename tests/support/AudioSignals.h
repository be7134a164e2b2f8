#pragma once
// Test sound in any of the ten sample formats, and reading it back.
// Sample values are full scale -1.0 to +1.0 whatever the format.

#include "media/DTAudioData.h"
#include "media/DTAudioFormat.h"

#include <functional>
#include <vector>

namespace kestrel {
namespace test {

// The value of one channel at one frame.
typedef std::function<double(unsigned int frame, int channel)> audio_signal;

// A block of `frames` frames of the signal, starting at `first_frame`, in
// the format's layout (planar formats get one plane per channel).
audio_data_ptr make_audio(const audio_format& format, unsigned int frames,
                          const audio_signal& signal, unsigned int first_frame = 0);

// A tone whose channels differ: channel c sounds at (c + 1) x frequency.
audio_signal sine_tone(int sample_rate, double frequency, double amplitude = 0.5);

// A signal that tells frame and channel apart: channel 0 climbs from
// 1/2048 to 1023/2048 and starts again every 1023 frames, channel c >= 1
// is its negative divided by 2^(c-1). Exact in every sample format of 16
// bits or more, for up to five channels.
audio_signal channel_marker();

// The sample of one channel at one frame, whatever the block's layout.
double sample_at(const audio_data& block, unsigned int frame, int channel);
std::vector<double> channel_samples(const audio_data& block, int channel);

} // namespace test
} // namespace kestrel
