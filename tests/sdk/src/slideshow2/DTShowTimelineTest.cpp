// Which slides a moment of the show belongs to and how much they weigh.

#include "slideshow2/DTGilComposeFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

namespace kestrel {
namespace slideshow2 {
namespace {

typedef gil_compose_frame::transition transition;

struct moment {
    const char* name;
    double d, tr, t;
    unsigned count;
    int a;
    double weight_a, time_a;
    int b;
    double weight_b, time_b;
};

std::ostream& operator<<(std::ostream& out, const moment& m) { return out << m.name; }

class show_timeline : public ::testing::TestWithParam<moment> {};

TEST_P(show_timeline, gives_the_visible_slides_and_their_weights) {
    const moment& m = GetParam();
    const transition r = gil_compose_frame::transition_at({m.d, m.tr}, m.t, m.count);
    EXPECT_EQ(r.index_a, m.a);
    EXPECT_EQ(r.index_b, m.b);
    if (m.a >= 0) {
        EXPECT_NEAR(r.weight_a, m.weight_a, 1e-12);
        EXPECT_DOUBLE_EQ(r.time_a, m.time_a);
    }
    if (m.b >= 0) {
        EXPECT_NEAR(r.weight_b, m.weight_b, 1e-12);
        EXPECT_DOUBLE_EQ(r.time_b, m.time_b);
    }
}

const double eleventh = 1.0 / 11;

INSTANTIATE_TEST_SUITE_P(
    moments, show_timeline,
    ::testing::Values(
        // d = 6000, tr = 1200: half-width 600.
        moment{"first_slide_alone_at_start", 6000, 1200, 0, 3, -1, 0, 0, 0, 1, 0},
        moment{"incoming_still_zero_600_before", 6000, 1200, 5400, 3, 0, 1, 5400, 1, 0, -600},
        moment{"both_eleventh_at_boundary", 6000, 1200, 6000, 3, 0, eleventh, 6000, 1, eleventh, 0},
        moment{"outgoing_gone_60_after", 6000, 1200, 6060, 3, 0, 0, 6060, 1, 2 * eleventh, 60},
        moment{"incoming_full_600_after", 6000, 1200, 6600, 3, 0, 0, 6600, 1, 1, 600},
        moment{"incoming_alone_after_transition", 6000, 1200, 6601, 3, -1, 0, 0, 1, 1, 601},
        moment{"last_full_600_before_end", 6000, 1200, 17400, 3, 2, 1, 5400, 3, 0, -600},
        moment{"last_half_300_before_end", 6000, 1200, 17700, 3, 2, 0.5, 5700, 3, 0, -300},
        moment{"last_tenth_60_before_end", 6000, 1200, 17940, 3, 2, 0.1, 5940, 3, 0, -60},
        moment{"last_black_at_end", 6000, 1200, 18000, 3, 2, 0, 6000, 3, eleventh, 0},
        moment{"last_black_after_end", 6000, 1200, 18030, 3, 2, 0, 6030, 3, 90.0 / 660, 30},
        // No transition: one slide at a time, both full on the boundary.
        moment{"no_transition_mid_slide", 6000, 0, 3000, 3, -1, 0, 0, 0, 1, 3000},
        moment{"no_transition_on_boundary", 6000, 0, 6000, 3, 0, 1, 6000, 1, 1, 0},
        // Transition longer than a slide: half-width d / 2 = 3000.
        moment{"long_transition_first_half_alone", 6000, 9000, 2000, 3, -1, 0, 0, 0, 1, 2000},
        moment{"long_transition_second_half", 6000, 9000, 4000, 3, 0, 1 - 1000.0 / 3300, 4000, 1, 0,
               -2000},
        moment{"long_transition_boundary", 6000, 9000, 6000, 3, 0, eleventh, 6000, 1, eleventh, 0},
        moment{"long_transition_last_fades_from_mid", 6000, 9000, 16500, 3, 2, 0.5, 4500, 3, 0, -1500},
        // No slides: 0 / 0 is not a number, nothing is visible.
        moment{"no_slides", NAN, 1200, 0, 0, -1, 0, 0, -1, 0, 0},
        moment{"time_not_a_number", 6000, 1200, NAN, 3, -1, 0, 0, -1, 0, 0},
        moment{"time_far_beyond_int", 6000, 1200, 1e300, 3, -1, 0, 0, -1, 0, 0}),
    [](const ::testing::TestParamInfo<moment>& info) { return std::string(info.param.name); });

TEST(show_timeline_split, counts_whole_slides_toward_zero) {
    const gil_compose_frame::split at = gil_compose_frame::split_time(13500, 6000);
    EXPECT_EQ(at.index, 2);
    EXPECT_DOUBLE_EQ(at.local_time, 1500);
    EXPECT_TRUE(std::isnan(gil_compose_frame::split_time(1000, 0).local_time));
}

} // namespace
} // namespace slideshow2
} // namespace kestrel
