#include "SlideshowDoubles.h"

#include "base/DTErrors.h"
#include "slideshow2/DTSlideshow.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

using namespace kestrel;
using slideshow2::slide_ptr;

namespace {

class SlideList : public testing::Test {
protected:
    // Three slides P, Q, R, with the hooks of their insertion forgotten.
    void fill_three() {
        for (int i = 0; i < 3; ++i)
            pqr.push_back(show.insert_slide(show.count()));
        show.hooks.clear();
    }
    std::vector<slide_ptr> slides() {
        std::vector<slide_ptr> all;
        for (std::size_t i = 0; i < show.count(); ++i)
            all.push_back(show.get_slide(i));
        return all;
    }
    // "PQR"-style names of the current order.
    std::string order() {
        std::string names;
        for (const slide_ptr& s : slides())
            for (std::size_t i = 0; i < pqr.size(); ++i)
                if (s == pqr[i])
                    names += static_cast<char>('P' + i);
        return names;
    }

    test::recording_slideshow show;
    std::vector<slide_ptr> pqr;
};

} // namespace

struct MoveCase {
    std::size_t from, to;
    const char* order;
};

void PrintTo(const MoveCase& c, std::ostream* out) { *out << "from " << c.from << " to " << c.to; }

class SlideListMove : public SlideList, public testing::WithParamInterface<MoveCase> {};

TEST_P(SlideListMove, ToCountsPositionsWithoutTheMovedSlide) {
    fill_three();
    show.move_slide(GetParam().from, GetParam().to);
    EXPECT_EQ(GetParam().order, order());
    EXPECT_EQ("T", show.hooks);
    EXPECT_EQ(3u, show.count_seen_by_hook);
}

INSTANTIATE_TEST_SUITE_P(Moves, SlideListMove,
                         testing::Values(MoveCase{0, 2, "QRP"}, MoveCase{2, 0, "RPQ"},
                                         MoveCase{1, 1, "PQR"}, MoveCase{0, 1, "QPR"},
                                         MoveCase{1, 0, "QPR"}, MoveCase{1, 2, "PRQ"},
                                         MoveCase{2, 1, "PRQ"}),
                         [](const testing::TestParamInfo<MoveCase>& info) {
                             return "from" + std::to_string(info.param.from) + "_to" + std::to_string(info.param.to);
                         });

struct BadIndexCase {
    const char* operation;
    std::function<void(slideshow2::slideshow::Impl&)> call;
    const char* line;
};

void PrintTo(const BadIndexCase& c, std::ostream* out) { *out << c.operation; }

class SlideListBadIndex : public SlideList, public testing::WithParamInterface<BadIndexCase> {};

TEST_P(SlideListBadIndex, LogsFailsAndChangesNothing) {
    fill_three();
    testing::internal::CaptureStdout();
    try {
        GetParam().call(show);
        ADD_FAILURE() << "no failure";
    } catch (const errors::failure& e) {
        EXPECT_STREQ("invalid index", e.what());
        EXPECT_NE(nullptr, boost::get_error_info<boost::throw_line>(e));
    }
    EXPECT_EQ(std::string("[kestrel][error]") + GetParam().line + "\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ("PQR", order());
    EXPECT_EQ("", show.hooks);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, SlideListBadIndex,
    testing::Values(
        BadIndexCase{"get", [](slideshow2::slideshow::Impl& s) { s.get_slide(3); },
                     "[common_slideshow_impl::get_slide] invalid index 3 (slides count: 3)"},
        BadIndexCase{"insert", [](slideshow2::slideshow::Impl& s) { s.insert_slide(4); },
                     "[common_slideshow_impl::insert_slide] invalid index 4 (slides count: 3)"},
        BadIndexCase{"remove", [](slideshow2::slideshow::Impl& s) { s.remove_slide(3); },
                     "[common_slideshow_impl::remove_slide] invalid index 3 (slides count: 3)"},
        BadIndexCase{"move_from", [](slideshow2::slideshow::Impl& s) { s.move_slide(3, 0); },
                     "[common_slideshow_impl::move_slide] invalid index 'from' 3 (slides count: 3)"},
        BadIndexCase{"move_to", [](slideshow2::slideshow::Impl& s) { s.move_slide(0, 3); },
                     "[common_slideshow_impl::move_slide] invalid index 'to' 3 (slides count: 3)"},
        BadIndexCase{"move_to_huge",
                     [](slideshow2::slideshow::Impl& s) { s.move_slide(1, std::size_t(-1)); },
                     "[common_slideshow_impl::move_slide] invalid index 'to' 18446744073709551615 "
                     "(slides count: 3)"}),
    [](const testing::TestParamInfo<BadIndexCase>& info) { return info.param.operation; });

TEST_F(SlideList, EmptyListRefusesReadAndRemoveButTakesAnInsertAtZero) {
    testing::internal::CaptureStdout();
    EXPECT_THROW(show.get_slide(0), errors::failure);
    EXPECT_THROW(show.remove_slide(0), errors::failure);
    EXPECT_EQ("[kestrel][error][common_slideshow_impl::get_slide] invalid index 0 (slides count: 0)\n"
              "[kestrel][error][common_slideshow_impl::remove_slide] invalid index 0 (slides count: 0)\n",
              testing::internal::GetCapturedStdout());
    show.clear();
    EXPECT_EQ("T", show.hooks);
    show.insert_slide(0);
    EXPECT_EQ(1u, show.count());
    EXPECT_EQ(1u, show.count_seen_by_hook);
}

TEST_F(SlideList, InsertPlacesTheNewSlideAtItsIndex) {
    fill_three();
    const slide_ptr front = show.insert_slide(0);
    const slide_ptr middle = show.insert_slide(2);
    const slide_ptr back = show.insert_slide(5);
    EXPECT_EQ((std::vector<slide_ptr>{front, pqr[0], middle, pqr[1], pqr[2], back}), slides());
    EXPECT_EQ("TTT", show.hooks);
    EXPECT_EQ(6u, show.count_seen_by_hook);
}

TEST_F(SlideList, RemovedAndClearedSlidesLiveOnWithTheirHolders) {
    fill_three();
    show.remove_slide(1);
    EXPECT_EQ("PR", order());
    EXPECT_EQ(1, pqr[1].use_count());
    show.clear();
    EXPECT_EQ(0u, show.count());
    EXPECT_EQ("TT", show.hooks);
    EXPECT_EQ(0u, show.count_seen_by_hook);
    for (const slide_ptr& s : pqr) {
        EXPECT_EQ(1, s.use_count());
        EXPECT_EQ("", s->get_properties());
    }
}

TEST_F(SlideList, IndexOfFindsSlidesByIdentity) {
    fill_three();
    EXPECT_EQ(0u, show.index_of(pqr[0]));
    EXPECT_EQ(2u, show.index_of(pqr[2]));
    show.remove_slide(0);
    EXPECT_EQ(1u, show.index_of(pqr[2]));
    show.hooks.clear();
    for (const slide_ptr& missing : {pqr[0], slide_ptr(), slideshow2::create_common_slide()}) {
        testing::internal::CaptureStdout();
        try {
            show.index_of(missing);
            ADD_FAILURE() << "found a slide that is not in the list";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("slide not found", e.what());
            EXPECT_NE(nullptr, dynamic_cast<const boost::exception*>(&e));
        }
        EXPECT_EQ("[kestrel][error][common_slideshow_impl::index_of] slide not found \n",
                  testing::internal::GetCapturedStdout());
    }
    EXPECT_EQ("", show.hooks);
}

TEST(SlideListFactory, AFailingFactoryLeavesTheListAsItWas) {
    int calls = 0;
    struct show_with_factory : slideshow2::common_slideshow_settings_impl {
        explicit show_with_factory(slide_factory_t f) : common_slideshow_settings_impl(f) {}
        av_source_ptr av_source() override { return av_source_ptr(); }
        void set_audio_track(audio_track_ptr) override {}
        void set_buffered(bool) override {}
        int hooks = 0;
        void on_change_timeline() override { ++hooks; }
        void on_change_video_format() override {}
    };
    show_with_factory show([&calls]() -> slide_ptr {
        if (++calls == 1)
            return slideshow2::create_common_slide();
        if (calls == 2)
            throw std::bad_alloc();
        return slide_ptr();
    });
    show.insert_slide(0);
    EXPECT_THROW(show.insert_slide(0), std::bad_alloc);
    EXPECT_THROW(show.insert_slide(1), errors::invalid_pointer);
    EXPECT_EQ(1u, show.count());
    EXPECT_EQ(1, show.hooks);
}

TEST(SlideshowFacade, ForwardsToItsImplementationAndAppendsWithAddSlide) {
    auto* impl = new test::recording_slideshow;
    slideshow2::slideshow show(impl);
    EXPECT_EQ(impl, show.impl());
    EXPECT_EQ(0u, show.count());
    const slide_ptr first = show.add_slide();
    const slide_ptr second = show.add_slide();
    EXPECT_EQ(1u, show.index_of(second));
    EXPECT_EQ(first, show.get_slide(0));
    show.move_slide(0, 1);
    EXPECT_EQ(second, show.get_slide(0));
    testing::internal::CaptureStdout();
    EXPECT_THROW(show.get_slide(show.count()), errors::failure);
    testing::internal::GetCapturedStdout();
    show.apply_settings(media_settings::create("frame-height", 480));
    EXPECT_EQ(480.0, impl->frame_height);
    EXPECT_EQ("TTTV", impl->hooks);
}
