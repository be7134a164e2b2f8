#include "support/MusicFiles.h"

#include "support/TestFiles.h"

#include "base/DTNumberText.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <map>
#include <mutex>
#include <stdexcept>

extern char** environ;

namespace kestrel {
namespace test {

namespace {

std::vector<std::string> codec_arguments(const std::string& extension) {
    static const std::map<std::string, std::vector<std::string>> codecs = {
        {"mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
        {"m4a", {"-c:a", "aac", "-b:a", "128k"}},
        {"wma", {"-c:a", "wmav2", "-b:a", "128k"}},
        {"ogg", {"-c:a", "libvorbis", "-q:a", "4"}},
        {"wav", {"-c:a", "pcm_s16le"}},
        {"flac", {"-c:a", "flac"}},
        {"mkv", {"-c:a", "flac"}},
    };
    const auto found = codecs.find(extension);
    if (found == codecs.end())
        throw std::runtime_error("no codec for ." + extension);
    return found->second;
}

std::string sine(double hz, int rate, double seconds) {
    return "sine=frequency=" + text::to_text(hz) + ":sample_rate=" + text::to_text(rate) +
           ":duration=" + text::to_text(seconds);
}

// Two lavfi tone inputs joined into one stereo stream labelled [a]; for
// one channel, the left tone alone.
std::vector<std::string> stereo_tone(const tone_file& tone) {
    if (tone.channels == 1)
        return {"-f", "lavfi", "-i", sine(tone.left_hz, tone.sample_rate, tone.seconds),
                "-filter_complex", "[0:a]anull[a]"};
    return {"-f", "lavfi", "-i", sine(tone.left_hz, tone.sample_rate, tone.seconds),
            "-f", "lavfi", "-i", sine(tone.right_hz, tone.sample_rate, tone.seconds),
            "-filter_complex", "[0:a][1:a]join=inputs=2:channel_layout=stereo[a]"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

const std::vector<std::string>& music_extensions() {
    static const std::vector<std::string> extensions = {"mp3", "m4a", "wma", "ogg", "wav", "flac"};
    return extensions;
}

const std::string& sample_tone_file(const std::string& extension) {
    static std::mutex mutex;
    static TempDir folder;
    static std::map<std::string, std::string> made;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = made.find(extension);
    if (found == made.end()) {
        tone_file tone;
        tone.extension = extension;
        const std::string path = folder.file("tone-müsic." + extension);
        make_tone_file(path, tone);
        found = made.emplace(extension, path).first;
    }
    return found->second;
}

void run_ffmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error",
                                    "-y"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawnp(&child, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start ffmpeg");
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("ffmpeg failed for " + all.back());
}

void make_tone_file(const std::string& path, const tone_file& tone) {
    run_ffmpeg(stereo_tone(tone) + std::vector<std::string>{"-map", "[a]"} +
               codec_arguments(tone.extension) + std::vector<std::string>{path});
}

void make_joined_tone_file(const std::string& path, const std::vector<tone_file>& parts) {
    TempDir folder;
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string part = folder.file("part" + text::to_text(static_cast<unsigned int>(i)) +
                                             "." + parts[i].extension);
        make_tone_file(part, parts[i]);
        joined += read_file(part);
    }
    write_file(path, joined);
}

void make_video_then_audio_file(const std::string& path, double seconds) {
    tone_file tone;
    tone.seconds = seconds;
    run_ffmpeg(stereo_tone(tone) +
               std::vector<std::string>{"-f", "lavfi", "-i",
                                        "color=size=16x16:rate=5:duration=" +
                                            text::to_text(seconds),
                                        "-map", "2:v", "-map", "[a]", "-c:v", "ffv1"} +
               codec_arguments("mkv") + std::vector<std::string>{path});
}

void make_two_audio_streams_file(const std::string& path, double first_hz, double second_hz) {
    run_ffmpeg({"-f", "lavfi", "-i", sine(first_hz, 44100, 0.5), "-f", "lavfi", "-i",
                sine(second_hz, 44100, 0.5), "-map", "0:a", "-map", "1:a", "-ac", "2", "-c:a",
                "flac", path});
}

void make_video_only_file(const std::string& path) {
    run_ffmpeg({"-f", "lavfi", "-i", "color=size=16x16:rate=5:duration=0.4", "-c:v", "ffv1",
                path});
}

void make_late_tone_file(const std::string& path, double seconds, double tone_from) {
    run_ffmpeg({"-f", "lavfi", "-i",
                "aevalsrc=if(gte(t\\," + text::to_text(tone_from) +
                    ")\\,0.5*sin(2*PI*440*t)\\,0):s=44100:d=" + text::to_text(seconds),
                "-c:a", "pcm_s16le", path});
}

void make_clock_file(const std::string& path, double seconds) {
    run_ffmpeg({"-f", "lavfi", "-i",
                "aevalsrc=(floor(t*100)+1)/32768|(floor(t*100)+1)/32768:s=44100:d=" + text::to_text(seconds),
                "-c:a", "pcm_s16le", path});
}

double clock_file_ms(float sample) {
    const long hundredths = std::lround(sample * 32768.0) - 1;
    return hundredths < 0 ? -1.0 : hundredths * 10.0;
}

} // namespace test
} // namespace kestrel
