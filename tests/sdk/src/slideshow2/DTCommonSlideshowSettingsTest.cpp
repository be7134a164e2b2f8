#include "SlideshowDoubles.h"

#include "base/DTErrors.h"
#include "support/RowNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace kestrel;

namespace {

struct Fields {
    double rate, height, slide_ms, transition_ms;
    int aspect_num, aspect_den;
    bool ken_burns, align;
};

Fields fields_of(const test::recording_slideshow& s) {
    const dt_rational_t aspect = s.frame_aspect;
    return {s.video_frame_rate, s.frame_height, s.slide_duration_ms, s.transition_duration_ms,
            aspect.num, aspect.den, s.ken_burns_enabled, s.align_to_audio};
}

bool same(const Fields& a, const Fields& b) {
    return a.rate == b.rate && a.height == b.height && a.slide_ms == b.slide_ms &&
           a.transition_ms == b.transition_ms && a.aspect_num == b.aspect_num &&
           a.aspect_den == b.aspect_den && a.ken_burns == b.ken_burns && a.align == b.align;
}

} // namespace

TEST(SlideshowSettings, AllSevenKeysInTableOrderWithTheirHooks) {
    test::recording_slideshow show;
    EXPECT_TRUE(same(Fields{0, 0, 0, 0, 0, 1, false, false}, fields_of(show)));
    auto settings = media_settings::create();
    // Map order (alphabetical) differs from the order they are applied in.
    settings->set("transition-duration", "1,2")->set("align-to-audio", "1")
        ->set("ken-burns", "+1")->set("slide-duration", "6")->set("frame-height", "480")
        ->set("frame-aspect", "16/9")->set("video-frame-rate", "25")->set("other", "x");
    testing::internal::CaptureStdout();
    show.apply_settings(settings);
    EXPECT_EQ("[kestrel][info][common_slideshow_settings_impl] video-frame-rate\n"
              "[kestrel][info][common_slideshow_settings_impl] frame-aspect\n"
              "[kestrel][info][common_slideshow_settings_impl] frame-height\n"
              "[kestrel][info][common_slideshow_settings_impl] slide-duration\n"
              "[kestrel][info][common_slideshow_settings_impl] ken-burns\n"
              "[kestrel][info][common_slideshow_settings_impl] align-to-audio\n"
              "[kestrel][info][common_slideshow_settings_impl] transition-duration\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ("VTVVTTTT", show.hooks);
    EXPECT_TRUE(same(Fields{25.0, 480.0, 6000.0, 1200.0, 16, 9, true, true}, fields_of(show)));

    // Only the keys present change anything.
    show.hooks.clear();
    testing::internal::CaptureStdout();
    show.apply_settings(media_settings::create("ken-burns", "-0"));
    show.apply_settings(media_settings::create("unrelated", "1"));
    show.apply_settings(media_settings_ptr());
    EXPECT_EQ("[kestrel][info][common_slideshow_settings_impl] ken-burns\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ("T", show.hooks);
    EXPECT_TRUE(same(Fields{25.0, 480.0, 6000.0, 1200.0, 16, 9, false, true}, fields_of(show)));
}

struct AspectCase {
    const char* text;
    int num, den; // den 0 with num -1: bad_lexical_cast; -2: invalid_operation
};

void PrintTo(const AspectCase& c, std::ostream* out) { *out << testing::PrintToString(std::string(c.text)); }

class FrameAspect : public testing::TestWithParam<AspectCase> {};

TEST_P(FrameAspect, RatioOrNearestFractionOrRefusal) {
    test::recording_slideshow show;
    show.frame_aspect = dt_rational_t(7, 5);
    const AspectCase c = GetParam();
    testing::internal::CaptureStdout();
    const auto apply = [&] { show.apply_settings(media_settings::create("frame-aspect", c.text)); };
    if (c.den == 0 && c.num == -1) {
        EXPECT_THROW(apply(), boost::bad_lexical_cast);
    } else if (c.den == 0 && c.num == -2) {
        EXPECT_THROW(apply(), errors::invalid_operation);
    } else {
        apply();
    }
    testing::internal::GetCapturedStdout();
    const dt_rational_t stored = show.frame_aspect;
    if (c.den == 0 && c.num < 0) {
        EXPECT_EQ(dt_rational_t(7, 5), stored);
        EXPECT_EQ("", show.hooks);
    } else {
        EXPECT_EQ(c.num, stored.num);
        EXPECT_EQ(c.den, stored.den);
        EXPECT_EQ("V", show.hooks);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FrameAspect,
    testing::Values(AspectCase{"16/9", 16, 9}, AspectCase{"71/40", 71, 40},
                    AspectCase{"1.3333333333333333", 4, 3}, AspectCase{"1.7777777777777777", 16, 9},
                    AspectCase{"1,5", 3, 2}, AspectCase{"16/0", 16, 0}, AspectCase{"-4/+3", -4, 3},
                    AspectCase{"16/9/1", -2, 0}, AspectCase{"16//9", -2, 0},
                    AspectCase{"/", -1, 0}, AspectCase{"16/", -1, 0}, AspectCase{" 16/9", -1, 0},
                    AspectCase{"16/9.5", -1, 0}, AspectCase{"4:3", -1, 0}, AspectCase{"", -1, 0},
                    AspectCase{"99999999999/1", -1, 0}),
    [](const testing::TestParamInfo<AspectCase>& info) { return test::row_name(info.index, info.param.text); });

struct ValueCase {
    const char* key;
    const char* text;
    std::function<double(const test::recording_slideshow&)> field;
    double expected; // NaN: the text is refused with bad_lexical_cast
};

void PrintTo(const ValueCase& c, std::ostream* out) {
    *out << c.key << " = " << testing::PrintToString(std::string(c.text));
}

class SettingValue : public testing::TestWithParam<ValueCase> {};

TEST_P(SettingValue, StoredInItsUnitOrRefused) {
    test::recording_slideshow show;
    const ValueCase c = GetParam();
    testing::internal::CaptureStdout();
    if (std::isnan(c.expected)) {
        EXPECT_THROW(show.apply_settings(media_settings::create(c.key, c.text)),
                     boost::bad_lexical_cast);
        EXPECT_EQ(0.0, c.field(show));
        EXPECT_EQ("", show.hooks);
    } else {
        show.apply_settings(media_settings::create(c.key, c.text));
        EXPECT_EQ(c.expected, c.field(show));
    }
    testing::internal::GetCapturedStdout();
}

const double refused = std::nan("");
const auto rate = [](const test::recording_slideshow& s) { return s.video_frame_rate.load(); };
const auto height = [](const test::recording_slideshow& s) { return s.frame_height.load(); };
const auto slide_ms = [](const test::recording_slideshow& s) { return s.slide_duration_ms.load(); };
const auto transition_ms = [](const test::recording_slideshow& s) {
    return s.transition_duration_ms.load();
};
const auto ken_burns = [](const test::recording_slideshow& s) {
    return s.ken_burns_enabled ? 1.0 : 0.0;
};
const auto align = [](const test::recording_slideshow& s) { return s.align_to_audio ? 1.0 : 0.0; };

INSTANTIATE_TEST_SUITE_P(
    Keys, SettingValue,
    testing::Values(ValueCase{"video-frame-rate", "25", rate, 25.0},
                    ValueCase{"video-frame-rate", "29,97", rate, 29.97},
                    ValueCase{"video-frame-rate", "x", rate, refused},
                    ValueCase{"frame-height", "480", height, 480.0},
                    ValueCase{"frame-height", "+720", height, 720.0},
                    ValueCase{"frame-height", "480.5", height, refused},
                    ValueCase{"frame-height", " 480", height, refused},
                    ValueCase{"slide-duration", "6", slide_ms, 6000.0},
                    ValueCase{"slide-duration", "0.5", slide_ms, 500.0},
                    ValueCase{"slide-duration", "", slide_ms, refused},
                    ValueCase{"slide-duration", "nan", slide_ms, refused},
                    ValueCase{"slide-duration", "-0.5", slide_ms, refused},
                    ValueCase{"slide-duration", "86400", slide_ms, 86400000.0},
                    ValueCase{"slide-duration", "86400,5", slide_ms, refused},
                    ValueCase{"transition-duration", "1,2", transition_ms, 1200.0},
                    ValueCase{"transition-duration", "1,2,3", transition_ms, refused},
                    ValueCase{"transition-duration", "inf", transition_ms, refused},
                    ValueCase{"transition-duration", "1e308", transition_ms, refused},
                    ValueCase{"transition-duration", "0", transition_ms, 0.0},
                    ValueCase{"ken-burns", "+1", ken_burns, 1.0},
                    ValueCase{"ken-burns", "true", ken_burns, refused},
                    ValueCase{"align-to-audio", "1", align, 1.0},
                    ValueCase{"align-to-audio", "2", align, refused}),
    [](const testing::TestParamInfo<ValueCase>& info) {
        return test::row_name(info.index, std::string(info.param.key) + " " + info.param.text);
    });

TEST(SlideshowSettings, AnUnreadableKeyStopsTheRestAndLeavesTheLockFree) {
    test::recording_slideshow show;
    auto settings = media_settings::create();
    settings->set("video-frame-rate", "25")->set("frame-height", "480.5")->set("slide-duration", "6");
    testing::internal::CaptureStdout();
    EXPECT_THROW(show.apply_settings(settings), boost::bad_lexical_cast);
    EXPECT_EQ("[kestrel][info][common_slideshow_settings_impl] video-frame-rate\n"
              "[kestrel][info][common_slideshow_settings_impl] frame-height\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ("VT", show.hooks);
    EXPECT_TRUE(same(Fields{25.0, 0, 0, 0, 0, 1, false, false}, fields_of(show)));

    // The lock was released: the next key applies.
    testing::internal::CaptureStdout();
    show.apply_settings(media_settings::create("frame-height", "480"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(480.0, show.frame_height);
}
