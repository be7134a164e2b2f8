// Every output preset writes exactly its own entries, over whatever the
// caller's map held, and nothing for a name outside the table.

#include "base/DTNumberText.h"
#include "slideshow2/DTSlideshowPresets.h"

#include <boost/thread/thread.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>

using namespace kestrel;
using namespace kestrel::slideshow2;

namespace {

typedef std::map<std::string, std::string> entries;

struct preset_case {
    const char* name;
    const char* video_codec;
    const char* audio_codec;
    const char* format;
    const char* height;
    const char* aspect; // empty: the caller's stays
    entries options;
};

std::ostream& operator<<(std::ostream& out, const preset_case& c) { return out << c.name; }

entries x264(const char* profile, const char* level) {
    return {{"ffmpeg/video/crf[float]", "18"},
            {"ffmpeg/video/profile[str]", profile},
            {"ffmpeg/video/level[str]", level},
            {"ffmpeg/video/x264-params[str]", "cpu-independent=1"}};
}

const entries xvid = {{"ffmpeg/video/flags[int]", "2"},
                      {"picture_quality", "472"},
                      {"ffmpeg/video/me_quality[int]", "2"},
                      {"ffmpeg/video/mbd[int]", "1"}};

entries map_entries(const media_settings& settings) {
    entries all;
    for (const auto& entry : settings)
        all.insert(entry);
    return all;
}

class Presets : public testing::TestWithParam<preset_case> {};

} // namespace

TEST_P(Presets, WriteTheirEntriesOverTheCallersAndKeepTheRest) {
    const preset_case& c = GetParam();
    const media_settings_ptr settings = media_settings::create("frame-aspect", "16/9");
    settings->set("video-codec", "mpeg2video");
    settings->set("slide-duration", "6");
    EXPECT_EQ(settings, apply_preset(c.name, settings));

    entries expected = c.options;
    expected["ffmpeg/video/threads[int]"] =
        text::to_text(static_cast<int>(boost::thread::hardware_concurrency()));
    expected["video-frame-rate"] = "25";
    expected["frame-height"] = c.height;
    expected["video-codec"] = c.video_codec;
    expected["audio-codec"] = c.audio_codec;
    expected["audio-bitrate"] = "192000";
    expected["media-format"] = c.format;
    expected["frame-aspect"] = *c.aspect ? c.aspect : "16/9";
    expected["slide-duration"] = "6";
    EXPECT_EQ(expected, map_entries(*settings));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Presets,
    testing::Values(
        preset_case{"iphone", "libx264", "libvo_aacenc", "ffmpeg/ipod", "320", "3/2",
                    x264("baseline", "21")},
        preset_case{"iphone4", "libx264", "libvo_aacenc", "ffmpeg/ipod", "640", "3/2",
                    x264("main", "31")},
        preset_case{"iphone5", "libx264", "libvo_aacenc", "ffmpeg/ipod", "640", "71/40",
                    x264("main", "31")},
        preset_case{"ipad", "libx264", "libvo_aacenc", "ffmpeg/ipod", "768", "4/3",
                    x264("main", "41")},
        preset_case{"ipad3", "libx264", "libvo_aacenc", "ffmpeg/ipod", "1080", "4/3",
                    x264("high", "41")},
        preset_case{"windows-low", "libxvid", "libmp3lame", "ffmpeg/avi", "480", "", xvid},
        preset_case{"windows-medium", "libxvid", "libmp3lame", "ffmpeg/avi", "720", "", xvid},
        preset_case{"windows-high", "libxvid", "libmp3lame", "ffmpeg/avi", "1080", "", xvid},
        preset_case{"mac-low", "libx264", "libvo_aacenc", "ffmpeg/mp4", "480", "",
                    x264("main", "31")},
        preset_case{"mac-medium", "libx264", "libvo_aacenc", "ffmpeg/mp4", "720", "",
                    x264("main", "41")},
        preset_case{"mac-high", "libx264", "libvo_aacenc", "ffmpeg/mp4", "1080", "",
                    x264("high", "41")},
        preset_case{"tube-low", "libx264", "libvo_aacenc", "ffmpeg/flv", "360", "",
                    x264("main", "30")},
        preset_case{"tube-medium", "libx264", "libvo_aacenc", "ffmpeg/flv", "480", "",
                    x264("main", "31")},
        preset_case{"tube-high", "libx264", "libvo_aacenc", "ffmpeg/flv", "720", "",
                    x264("high", "41")},
        preset_case{"mpeg", "mpeg2video", "mp2", "ffmpeg/dvd", "480", "", {}},
        preset_case{"windows-simple", "libxvid", "libmp3lame", "ffmpeg/avi", "180", "",
                    {{"ffmpeg/video/flags[int]", "2"}, {"picture_quality", "590"}}},
        preset_case{"default", "libx264", "libvo_aacenc", "ffmpeg/mp4", "480", "",
                    x264("main", "31")}),
    [](const testing::TestParamInfo<preset_case>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(PresetNames, AreLookedUpExactlyAndInTableOrder) {
    EXPECT_EQ(17u, preset_names().size());
    EXPECT_EQ("iphone", preset_names().front());
    EXPECT_EQ("windows-simple", preset_names()[15]);
    EXPECT_EQ("default", preset_names().back());
    for (const char* name : {"Default", "iphone ", "", "mac-Low", "tube-high\n"}) {
        const media_settings_ptr settings = media_settings::create("frame-height", "99");
        try {
            apply_preset(name, settings);
            ADD_FAILURE() << "accepted \"" << name << "\"";
        } catch (const error_invalid_preset& e) {
            EXPECT_STREQ("invalid preset", e.what());
        }
        EXPECT_EQ((entries{{"frame-height", "99"}}), map_entries(*settings)) << name;
    }
}
