#pragma once
// Short video clips made by the ffmpeg command-line tool for tests: the
// test pattern (or one colour) in H.264, with or without B-frames, with or
// without a stereo tone beside it.

#include <string>

namespace kestrel {
namespace test {

struct video_clip {
    std::string container = "mp4"; // FFmpeg's muxer name: mp4, matroska, mpegts ...
    int width = 160;
    int height = 120;
    int rate = 25;
    double seconds = 2.0;
    int b_frames = 2;             // 0: pictures only in decoding order
    std::string colour;           // empty: FFmpeg's moving test pattern
    bool sound = false;           // a 440 Hz / 1000 Hz stereo tone at 48000 Hz
};

// Writes the clip to path (the folder must exist); throws
// std::runtime_error when ffmpeg fails.
void make_video_clip(const std::string& path, const video_clip& clip);

} // namespace test
} // namespace kestrel
