#include "ViewModelDoubles.h"

#include "viewmodel/SettingsViewModel.h"
#include "support/RowNames.h"

#include <gtest/gtest.h>

using ViewModel::SettingsViewModel;
using namespace ViewModelTest;

namespace {

const double wide = 16.0 / 9.0;
const double classic = 4.0 / 3.0;

struct ProfileRow {
    int format;
    int quality;  // the user's own
    double aspect;  // the user's own
    const char* extension;
    const char* preset;
    const char* hint;
    bool fixed;  // aspect and quality fixed by the format
};

void PrintTo(const ProfileRow& row, std::ostream* os)
{
    *os << "format " << row.format << " quality " << row.quality << " aspect " << row.aspect;
}

class OutputProfiles : public testing::TestWithParam<ProfileRow> {
protected:
    void SetUp() override { clearSettingsStore(); }
    UsageEventRecorder events;
    ShowDouble show;
};

} // namespace

TEST_P(OutputProfiles, ProfileGivesExtensionPresetHintAndFixedValues)
{
    const ProfileRow& row = GetParam();
    SettingsViewModel settings(show.show);
    settings.setAspect(row.aspect);
    settings.setQuality(SettingsViewModel::Quality(row.quality));
    settings.setFormat(SettingsViewModel::Format(row.format));

    EXPECT_EQ(settings.fileExtention(), QString::fromLatin1(row.extension));
    EXPECT_EQ(settings.presetName(), QString::fromLatin1(row.preset));
    EXPECT_EQ(settings.qualityHint(), QString::fromLatin1(row.hint));
    EXPECT_EQ(settings.aspectEnabled(), !row.fixed);
    EXPECT_EQ(settings.qualityEnabled(), !row.fixed);
    if (row.fixed) {
        EXPECT_EQ(settings.quality(), SettingsViewModel::HighQuality);
        EXPECT_NE(settings.aspect(), row.aspect);
    } else {
        EXPECT_EQ(int(settings.quality()), row.quality);
        EXPECT_EQ(settings.aspect(), row.aspect);
    }

    // What a device format fixes is shown, never stored over the user's own.
    settings.save();
    const QSettings store;
    EXPECT_EQ(store.value("Settings/quality").toInt(), row.quality);
    EXPECT_EQ(store.value("Settings/aspect").toDouble(), row.aspect);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputProfiles,
    testing::Values(
        ProfileRow{0, 0, wide, ".avi", "windows-low", "Video: 852x480, MPEG4. Audio: MP3.", false},
        ProfileRow{0, 1, wide, ".avi", "windows-medium", "Video: 1280x720, MPEG4. Audio: MP3.", false},
        ProfileRow{0, 2, wide, ".avi", "windows-high", "Video: 1920x1080, MPEG4. Audio: MP3.", false},
        ProfileRow{0, 2, classic, ".avi", "windows-high", "Video: 1440x1080, MPEG4. Audio: MP3.", false},
        ProfileRow{1, 0, classic, ".mp4", "mac-low", "Video: 640x480, H264. Audio: AAC.", false},
        ProfileRow{1, 1, classic, ".mp4", "mac-medium", "Video: 960x720, H264. Audio: AAC.", false},
        ProfileRow{1, 1, wide, ".mp4", "mac-medium", "Video: 1280x720, H264. Audio: AAC.", false},
        ProfileRow{1, 2, 2.0, ".mp4", "mac-high", "Video: 2160x1080, H264. Audio: AAC.", false},
        ProfileRow{1, 2, 1.9, ".mp4", "mac-high", "Video: 2052x1080, H264. Audio: AAC.", false},
        ProfileRow{2, 0, wide, ".m4v", "iphone", "Video: 480x320, H264. Audio: AAC.", true},
        ProfileRow{3, 1, wide, ".m4v", "iphone4", "Video: 960x640, H264. Audio: AAC.", true},
        ProfileRow{4, 0, wide, ".m4v", "iphone5", "Video: 1136x640, H264. Audio: AAC.", true},
        ProfileRow{5, 0, wide, ".m4v", "ipad", "Video: 1024x768, H264. Audio: AAC.", true},
        ProfileRow{6, 1, wide, ".m4v", "ipad3", "Video: 1440x1080, H264. Audio: AAC.", true},
        ProfileRow{7, 0, wide, ".flv", "tube-low", "Video: 640x360, H264. Audio: AAC.", false},
        ProfileRow{7, 2, wide, ".flv", "tube-high", "Video: 1280x720, H264. Audio: AAC.", false},
        ProfileRow{8, 1, wide, ".flv", "tube-medium", "Video: 852x480, H264. Audio: AAC.", false},
        ProfileRow{8, 1, classic, ".flv", "tube-medium", "Video: 640x480, H264. Audio: AAC.", false},
        // Values only an edited store or a stray QML write can bring.
        ProfileRow{0, 5, wide, ".avi", "windows-low", "", false},
        ProfileRow{12, 2, wide, "", "mac-high", "", false},
        ProfileRow{-1, 1, classic, "", "mac-medium", "", false}),
    [](const testing::TestParamInfo<ProfileRow>& info) {
        return kestrel::test::row_name(info.index, std::string(info.param.preset) + " " +
                                                       QString::number(info.param.aspect).toStdString());
    });
