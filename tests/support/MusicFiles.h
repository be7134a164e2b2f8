#pragma once
// Short music files made by the ffmpeg command-line tool for tests. Each is
// a stereo tone pair: one frequency on the left, another on the right, so a
// test can tell the channels apart after decoding.

#include <string>
#include <vector>

namespace kestrel {
namespace test {

struct tone_file {
    std::string extension = "wav"; // decides the container and codec
    double seconds = 1.0;
    int sample_rate = 44100;
    double left_hz = 440.0;
    double right_hz = 1000.0;
    int channels = 2; // 1: the left tone alone
};

// The music filter's formats that FFmpeg can encode here: mp3, m4a, wma,
// ogg, wav, flac (FFmpeg has no encoder for ape).
const std::vector<std::string>& music_extensions();

// A default tone_file (1 s, 44100 Hz, 440 Hz left, 1000 Hz right) of this
// extension, made once per test program in a folder removed at exit.
const std::string& sample_tone_file(const std::string& extension);

// Runs ffmpeg with these arguments; throws std::runtime_error when it fails.
void run_ffmpeg(const std::vector<std::string>& arguments);

// Writes the tone file to path (the folder must exist).
void make_tone_file(const std::string& path, const tone_file& tone);

// The parts' files (each made as by make_tone_file) joined byte for byte,
// as "cat a.mp3 b.mp3 > path" does: a stream whose format changes midway.
void make_joined_tone_file(const std::string& path, const std::vector<tone_file>& parts);

// Matroska files for picking the right stream: a small video stream before
// the stereo tone; two tone streams (the first with first_hz on both
// channels, the second with second_hz); a video stream alone.
void make_video_then_audio_file(const std::string& path, double seconds);
void make_two_audio_streams_file(const std::string& path, double first_hz, double second_hz);
void make_video_only_file(const std::string& path);

// A mono 44100 Hz wav file, silent until tone_from seconds, then a 440 Hz
// tone to the end: a read after a seek tells where the seek landed.
void make_late_tone_file(const std::string& path, double seconds, double tone_from);

// A stereo 44100 Hz wav file whose every sample tells its own time: both
// channels hold (hundredths of a second + 1) / 32768, exact in 16 bits and
// in float (clock_file_ms), so that what plays says where in the file it
// came from, and silence (0) is no time. At most 327 s.
void make_clock_file(const std::string& path, double seconds);
// The ms a sample of such a file tells, to a hundredth of a second; -1 for
// silence.
double clock_file_ms(float sample);

} // namespace test
} // namespace kestrel
