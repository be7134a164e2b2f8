#include "DTSlideshowPresets.h"

#include <boost/thread/thread.hpp>

namespace kestrel {
namespace slideshow2 {

namespace {

enum codec_options { x264_options, xvid_options, xvid_simple_options, no_options };

struct preset_entry {
    const char* name;
    const char* video_codec;
    const char* audio_codec;
    const char* container; // FFmpeg's short name
    int frame_height;
    const char* frame_aspect; // empty: the caller's aspect stays
    codec_options options;
    const char* profile; // x264 only
    const char* level;   // x264 only
};

// Searched from the top; the first exact match wins.
const preset_entry preset_table[] = {
    {"iphone", "libx264", "libvo_aacenc", "ipod", 320, "3/2", x264_options, "baseline", "21"},
    {"iphone4", "libx264", "libvo_aacenc", "ipod", 640, "3/2", x264_options, "main", "31"},
    {"iphone5", "libx264", "libvo_aacenc", "ipod", 640, "71/40", x264_options, "main", "31"},
    {"ipad", "libx264", "libvo_aacenc", "ipod", 768, "4/3", x264_options, "main", "41"},
    {"ipad3", "libx264", "libvo_aacenc", "ipod", 1080, "4/3", x264_options, "high", "41"},
    {"windows-low", "libxvid", "libmp3lame", "avi", 480, "", xvid_options, "", ""},
    {"windows-medium", "libxvid", "libmp3lame", "avi", 720, "", xvid_options, "", ""},
    {"windows-high", "libxvid", "libmp3lame", "avi", 1080, "", xvid_options, "", ""},
    {"mac-low", "libx264", "libvo_aacenc", "mp4", 480, "", x264_options, "main", "31"},
    {"mac-medium", "libx264", "libvo_aacenc", "mp4", 720, "", x264_options, "main", "41"},
    {"mac-high", "libx264", "libvo_aacenc", "mp4", 1080, "", x264_options, "high", "41"},
    {"tube-low", "libx264", "libvo_aacenc", "flv", 360, "", x264_options, "main", "30"},
    {"tube-medium", "libx264", "libvo_aacenc", "flv", 480, "", x264_options, "main", "31"},
    {"tube-high", "libx264", "libvo_aacenc", "flv", 720, "", x264_options, "high", "41"},
    {"mpeg", "mpeg2video", "mp2", "dvd", 480, "", no_options, "", ""},
    {"windows-simple", "libxvid", "libmp3lame", "avi", 180, "", xvid_simple_options, "", ""},
    {"default", "libx264", "libvo_aacenc", "mp4", 480, "", x264_options, "main", "31"},
};

const preset_entry* find_preset(const std::string& name) {
    for (const preset_entry& entry : preset_table)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

void write_codec_options(const preset_entry& preset, media_settings& settings) {
    switch (preset.options) {
    case x264_options:
        settings.set("ffmpeg/video/crf[float]", 18.0);
        settings.set("ffmpeg/video/profile[str]", preset.profile);
        settings.set("ffmpeg/video/level[str]", preset.level);
        // One show gives one video, byte for byte, whatever the heap held
        // and whichever processor made it. libx264's AVX-512 kernel for its
        // macroblock tree's propagation works in blocks of 8 macroblocks
        // and runs past a row's end into lookahead memory never written
        // when the width in macroblocks is not a multiple of 8 (960 wide:
        // 60; 1440: 90), so what the heap held would change the video.
        // "cpu-independent" keeps the tree (a file a sixth smaller at the
        // same quality) and has libx264 propagate it with its plain C code,
        // which stays within the row and gives the same result on every
        // processor.
        settings.set("ffmpeg/video/x264-params[str]", "cpu-independent=1");
        break;
    case xvid_options:
        settings.set("ffmpeg/video/flags[int]", 2);
        settings.set("picture_quality", 472);
        // A logarithmic motion search: FFmpeg dropped the generic
        // "me_method" (3); libxvid's own scale names it quality 2.
        settings.set("ffmpeg/video/me_quality[int]", 2);
        settings.set("ffmpeg/video/mbd[int]", 1);
        break;
    case xvid_simple_options:
        settings.set("ffmpeg/video/flags[int]", 2);
        settings.set("picture_quality", 590);
        break;
    case no_options:
        break;
    }
}

} // namespace

const std::vector<std::string>& preset_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const preset_entry& entry : preset_table)
            all.push_back(entry.name);
        return all;
    }();
    return names;
}

media_settings_ptr apply_preset(const std::string& name, media_settings_ptr settings) {
    const preset_entry* preset = find_preset(name);
    if (!preset)
        KESTREL_THROW(error_invalid_preset());
    if (!settings)
        KESTREL_THROW(errors::invalid_pointer());

    settings->set("ffmpeg/video/threads[int]",
                  static_cast<int>(boost::thread::hardware_concurrency()));
    write_codec_options(*preset, *settings);
    settings->set("video-frame-rate", 25.0);
    settings->set("frame-height", preset->frame_height);
    settings->set("video-codec", preset->video_codec);
    settings->set("audio-codec", preset->audio_codec);
    settings->set("audio-bitrate", 192000);
    settings->set("media-format", std::string("ffmpeg/") + preset->container);
    if (*preset->frame_aspect)
        settings->set("frame-aspect", preset->frame_aspect);
    return settings;
}

} // namespace slideshow2
} // namespace kestrel
