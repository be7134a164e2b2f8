#include "slideshow2/DTKenBurnsRegistry.h"

#include "base/DTErrors.h"
#include "support/RowNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <stdexcept>

using namespace kestrel::slideshow2;

namespace {

// Scale k with the photo's top-left corner at (tx, ty).
struct Placement {
    double k, tx, ty;
};

void expect_placement(const Placement& expected, const affine_transform& m, const char* which) {
    SCOPED_TRACE(which);
    EXPECT_NEAR(expected.k, m.a, 1e-12);
    EXPECT_NEAR(expected.k, m.d, 1e-12);
    EXPECT_EQ(0.0, m.b);
    EXPECT_EQ(0.0, m.c);
    EXPECT_NEAR(expected.tx, m.e, 1e-9);
    EXPECT_NEAR(expected.ty, m.f, 1e-9);
}

struct MotionCase {
    const char* name;
    int frame_w, frame_h, photo_w, photo_h;
    Placement start, end;
};

std::ostream& operator<<(std::ostream& out, const MotionCase& c) {
    return out << c.name << " " << c.photo_w << "x" << c.photo_h << " in " << c.frame_w << "x"
               << c.frame_h;
}

const double p = 640.0 / 3000; // a 3000 x 4000 photo at the width of a 640 x 480 frame

} // namespace

class KenBurnsMotion : public testing::TestWithParam<MotionCase> {};

TEST_P(KenBurnsMotion, StartAndEndPlacements) {
    const MotionCase c = GetParam();
    const ken_burns_ptr motion = create_ken_burns(c.frame_w, c.frame_h, c.photo_w, c.photo_h, c.name);
    expect_placement(c.start, motion->start(), "start");
    expect_placement(c.end, motion->end(), "end");
}

// 4000 x 3000 in 640 x 480: fill scale 0.16, start 0.176 (704 x 528 pixels).
INSTANTIATE_TEST_SUITE_P(
    SameAspect, KenBurnsMotion,
    testing::Values(MotionCase{"ls_lr_out", 640, 480, 4000, 3000, {0.176, 0, -24}, {0.16, 0, 0}},
                    MotionCase{"ls_rl_out", 640, 480, 4000, 3000, {0.176, -64, -24}, {0.16, 0, 0}},
                    MotionCase{"ls_tb_out", 640, 480, 4000, 3000, {0.176, -32, 0}, {0.16, 0, 0}},
                    MotionCase{"ls_bt_out", 640, 480, 4000, 3000, {0.176, -32, -48}, {0.16, 0, 0}},
                    MotionCase{"ls_center_out", 640, 480, 4000, 3000, {0.176, -32, -24}, {0.16, 0, 0}},
                    MotionCase{"ls_diag_tl_out", 640, 480, 4000, 3000, {0.176, 0, 0}, {0.16, 0, 0}},
                    MotionCase{"ls_diag_tr_out", 640, 480, 4000, 3000, {0.176, -64, 0}, {0.16, 0, 0}},
                    MotionCase{"ls_diag_bl_out", 640, 480, 4000, 3000, {0.176, 0, -48}, {0.16, 0, 0}},
                    MotionCase{"ls_diag_br_out", 640, 480, 4000, 3000, {0.176, -64, -48}, {0.16, 0, 0}},
                    MotionCase{"static", 640, 480, 4000, 3000, {0.16, 0, 0}, {0.16, 0, 0}}),
    [](const testing::TestParamInfo<MotionCase>& info) { return kestrel::test::row_name(info.index, info.param.name); });

// A panorama fills the height, a square the width; portrait motions always
// fit the width and cut `top` / `bottom` fractions of the photo's height.
INSTANTIATE_TEST_SUITE_P(
    OtherShapes, KenBurnsMotion,
    testing::Values(
        MotionCase{"ls_diag_tr_out", 640, 480, 4000, 1000, {0.528, -1472, 0}, {0.48, -640, 0}},
        MotionCase{"static", 640, 480, 4000, 1000, {0.48, -640, 0}, {0.48, -640, 0}},
        MotionCase{"ls_bt_out", 640, 480, 1000, 1000, {0.704, -32, -224}, {0.64, 0, -80}},
        MotionCase{"static", 640, 480, 1000, 1000, {0.64, 0, -80}, {0.64, 0, -80}},
        MotionCase{"static", 640, 480, 3000, 4000, {p, 0, -124.44444444444446}, {p, 0, -124.44444444444446}},
        MotionCase{"pt_bt_out_1", 640, 480, 3000, 4000, {1.1 * p, -32, -177.06666666666672},
                   {p, 0, -85.33333333333334}},
        MotionCase{"pt_tb_out_1", 640, 480, 3000, 4000, {1.1 * p, -32, -93.86666666666667},
                   {p, 0, -117.33333333333337}},
        MotionCase{"pt_bt_out_2", 640, 480, 3000, 4000, {1.1 * p, -32, -130.13333333333344},
                   {p, 0, -128}}),
    [](const testing::TestParamInfo<MotionCase>& info) { return kestrel::test::row_name(info.index, info.param.name); });

// A photo or frame without pixels gives scale 0, which draws nothing,
// never an infinite or undefined transform.
TEST(KenBurnsMotionSizes, EmptySidesGiveAFiniteZeroScale) {
    struct Sizes {
        int frame_w, frame_h, photo_w, photo_h;
    };
    const Sizes empty_sides[] = {{640, 480, 0, 3000}, {640, 480, 4000, 0}, {0, 0, 4000, 3000},
                                 {640, 480, -5, 3}};
    for (const char* name : {"ls_center_out", "pt_bt_out_2", "static"}) {
        for (const Sizes& z : empty_sides) {
            const ken_burns_ptr m = create_ken_burns(z.frame_w, z.frame_h, z.photo_w, z.photo_h, name);
            for (const affine_transform& t : {m->start(), m->end()}) {
                EXPECT_EQ(0.0, t.a) << name;
                EXPECT_TRUE(std::isfinite(t.e) && std::isfinite(t.f)) << name;
            }
        }
    }
}

TEST(KenBurnsRegistry, RowsInTheirFixedOrderAndExactNames) {
    const char* const names[] = {"ls_lr_out",      "ls_rl_out",      "ls_tb_out",   "ls_bt_out",
                                 "ls_center_out",  "ls_diag_tl_out", "ls_diag_tr_out",
                                 "ls_diag_bl_out", "ls_diag_br_out", "pt_tb_out_1", "pt_bt_out_1",
                                 "pt_bt_out_2",    "static"};
    ASSERT_EQ(13u, ken_burns_registry_size);
    for (std::size_t i = 0; i < ken_burns_registry_size; ++i) {
        EXPECT_EQ(names[i], ken_burns_registry()[i].name);
        EXPECT_EQ(i >= 9 && i <= 11 ? ken_burns_kind_portrait : ken_burns_kind_landscape,
                  ken_burns_registry()[i].kind);
    }
    for (const char* unknown : {"Static", "", "ls_lr_out ", "LS_LR_OUT"}) {
        try {
            create_ken_burns(640, 480, 4000, 3000, unknown);
            ADD_FAILURE() << "made a motion named '" << unknown << "'";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("effect not found", e.what());
        }
    }
}

TEST(KenBurnsRegistry, RandomNamesCoverTheirKindAndNeverStatic) {
    std::map<int, std::set<std::string>> drawn;
    ken_burns_draw draw = ken_burns_draw_for("/photos/a.jpg");
    for (int i = 0; i < 3000; ++i) {
        drawn[0].insert(random_ken_burns_name(ken_burns_kind_landscape, draw));
        drawn[1].insert(random_ken_burns_name(ken_burns_kind_portrait, draw));
    }
    EXPECT_EQ((std::set<std::string>{"ls_lr_out", "ls_rl_out", "ls_tb_out", "ls_bt_out",
                                     "ls_center_out", "ls_diag_tl_out", "ls_diag_tr_out",
                                     "ls_diag_bl_out", "ls_diag_br_out"}),
              drawn[0]);
    EXPECT_EQ((std::set<std::string>{"pt_tb_out_1", "pt_bt_out_1", "pt_bt_out_2"}), drawn[1]);
    EXPECT_THROW(random_ken_burns_name(2, draw), kestrel::errors::invalid_argument);
    EXPECT_THROW(random_ken_burns_name(-1, draw), kestrel::errors::invalid_argument);
    EXPECT_TRUE(random_ken_burns(640, 480, 4000, 3000, draw));
    // Seeded by the file's name alone, wherever the file lies.
    EXPECT_EQ(ken_burns_draw_for("/home/me/x.jpg")(), ken_burns_draw_for("x.jpg")());
    EXPECT_NE(ken_burns_draw_for("/photos/x.jpg")(), ken_burns_draw_for("/photos/y.jpg")());
}
