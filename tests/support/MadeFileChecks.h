#pragma once
// What a finished slideshow file must be, per output preset, and the checks
// the production tests share: the container, both streams' codecs and the
// frame size, and a sound exactly as long as the pictures. GoogleTest
// assertions; a caller stops when HasFatalFailure().

#include "support/MediaProbe.h"

#include <ostream>

namespace kestrel {
namespace test {

struct made_file {
    const char* preset;
    const char* demuxer;
    const char* video_codec;
    const char* audio_codec;
    int width, height;
    // Samples per codec frame, and the codec's start-up delay where the
    // container keeps it as sound (the mp4 family marks it to be skipped).
    int codec_frame;
    int priming;
};

inline std::ostream& operator<<(std::ostream& out, const made_file& c) { return out << c.preset; }

// FFmpeg's name of the demuxer that reads the mp4 family.
extern const char* const mp4_demuxer;

// Container, codecs and size; `video` and `audio` are the file's first
// streams of each kind (a fatal failure when either is missing).
void expect_made_file(const media_probe& probe, const made_file& c, const stream_probe*& video,
                      const stream_probe*& audio);

// Every sample of a show of `show_ms` at 44100 Hz, then at most the
// padding of the last codec frame.
void expect_sound_of_the_shows_length(const stream_probe& audio, const made_file& c, int show_ms);

} // namespace test
} // namespace kestrel
