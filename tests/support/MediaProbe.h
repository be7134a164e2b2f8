#pragma once
// Reopens a media file with FFmpeg and reports what a test wants to check:
// the container, and per stream the codec, picture or sound format, time
// base, frame rate, every packet's time stamps in file order and how many
// frames (pictures or blocks of samples) its decoder gives.

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

namespace kestrel {
namespace test {

struct stream_probe {
    std::string codec;   // FFmpeg's codec name: "h264", "mpeg4", "aac"
    int media_type = -1; // 0 video, 1 audio
    int width = 0;
    int height = 0;
    int pixel_format = -1;
    int sample_rate = 0;
    int channels = 0;
    AVRational time_base{0, 1};
    AVRational avg_frame_rate{0, 1};
    AVRational r_frame_rate{0, 1};
    std::vector<int64_t> pts; // packets in file order, in time_base
    std::vector<int64_t> dts;
    std::vector<int64_t> durations;
    std::vector<bool> key_frames;
    int decoded_frames = 0;      // what the decoder gave, drained at the end
    int64_t decoded_samples = 0; // sound: sample frames of all decoded blocks
    // Pictures in the order decoded (presentation order): the mean of the
    // luma plane, 0 to 255 (8-bit planar YUV only).
    std::vector<double> mean_luma;
    // Blocks of sound in the order decoded: the largest magnitude of any
    // sample, full scale 1.0 (float and 16-bit formats only).
    std::vector<double> block_peaks;

    size_t packets() const { return pts.size(); }
    // The time stamps sorted, i.e. in presentation order.
    std::vector<int64_t> presentation_times() const;
};

struct media_probe {
    std::string format; // FFmpeg's demuxer name: "mov,mp4,m4a,3gp,3g2,mj2", "avi"
    std::vector<stream_probe> streams;

    // The first stream of that media type (0 video, 1 audio), or null; a DVD
    // file, for one, also has a stream of navigation packets.
    const stream_probe* first(int media_type) const;
    size_t count(int media_type) const;
};

// Throws std::runtime_error when the file cannot be opened or read.
media_probe probe_media_file(const std::string& path);

} // namespace test
} // namespace kestrel
