// The player view model over a slideshow that journals what it is asked
// (settings maps, read-ahead switches) and a generated show as its source,
// with the fake sound card: what opening and closing the preview window do
// to the slideshow and the player, and in which order.

#include "multimedia/FakeAudioOutput.h"
#include "ViewModelDoubles.h"

#include "viewmodel/PlayerViewModel.h"

#include "multimedia/VideoSurface.h"
#include "slideshow2/DTCommonSlide.h"
#include "slideshow2/DTCommonSlideshowSettings.h"
#include "slideshow2/DTSlideshow.h"
#include "support/SyntheticShow.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <sstream>
#include <string>
#include <vector>

using Multimedia::Player;
using Multimedia::test::FakeSoundCard;
using ViewModel::PlayerViewModel;
using ViewModelTest::UsageEventRecorder;
using kestrel::test::picture_colour;
using kestrel::test::show_spec;
using kestrel::test::synthetic_show;

namespace {

typedef std::vector<std::string> Journal;

// The engine's slide list and settings, a generated show as its source, and
// a journal of the settings maps applied and of the read-ahead switches
// (with the position of the last seek and the number of holders of the
// source at that moment).
class PreviewShow : public kestrel::slideshow2::common_slideshow_settings_impl {
public:
    explicit PreviewShow(const show_spec& spec)
        : common_slideshow_settings_impl(&kestrel::slideshow2::create_common_slide),
          source(kestrel::test::make_synthetic_show(spec, &pictures))
    {
    }

    kestrel::av_source_ptr av_source() override { return source; }
    void apply_settings(kestrel::media_settings_ptr settings) override
    {
        std::ostringstream text;
        text << "apply " << *settings;
        journal.push_back(text.str());
        common_slideshow_settings_impl::apply_settings(settings);
    }
    void set_buffered(bool on) override
    {
        std::ostringstream text;
        text << "buffered " << (on ? "on" : "off") << ", last seek "
             << (pictures->seeks().empty() ? -1.0 : pictures->seeks().back()) << ", holders "
             << source.use_count();
        journal.push_back(text.str());
    }

    void set_audio_track(kestrel::audio_track_ptr) override {}

    synthetic_show* pictures = nullptr;
    kestrel::av_source_ptr source;
    Journal journal;

protected:
    void on_change_timeline() override {}
    void on_change_video_format() override {}
};

struct PlayerViewModelTest : ::testing::Test {
    explicit PlayerViewModelTest(double duration = 2000.0)
    {
        show_spec spec;
        spec.duration_ms = duration;
        preview = new PreviewShow(spec);
        show = boost::make_shared<kestrel::slideshow2::slideshow>(preview);
    }

    // Index of the picture on the surface by its colour; -1 for none.
    int shownPicture() const
    {
        const kestrel::video_data_ptr picture = surface.frame();
        if (!picture)
            return -1;
        const kestrel::test::rgb_colour shown{picture->data()[0], picture->data()[1], picture->data()[2]};
        for (int index = 0; index < 100; ++index)
            if (picture_colour(index) == shown)
                return index;
        return -2;
    }

    FakeSoundCard card; // before the player: its factory is read at construction
    PreviewShow* preview;
    kestrel::slideshow2::slideshow_ptr show;
    Multimedia::VideoSurface surface;
};

} // namespace

TEST_F(PlayerViewModelTest, PreviewHeightIsAppliedOnceClampedTo480AndNeverBelow1)
{
    PlayerViewModel model(show);
    EXPECT_EQ(Journal{R"(apply {"frame-height":"480"})"}, preview->journal);
    EXPECT_EQ(480, model.surfaceHeight());

    const struct {
        int height;
        int stored;
        const char* applied; // null: nothing applied
    } steps[] = {
        {480, 480, nullptr}, {1080, 480, nullptr}, {300, 300, "300"}, {300, 300, nullptr},
        {0, 300, nullptr},   {-20, 300, nullptr},  {1, 1, "1"},       {481, 480, "480"},
    };
    for (const auto& step : steps) {
        const Journal before = preview->journal;
        model.setSurfaceHeight(step.height);
        Journal expected = before;
        if (step.applied)
            expected.push_back(std::string(R"(apply {"frame-height":")") + step.applied + "\"}");
        EXPECT_EQ(expected, preview->journal) << "height " << step.height;
        EXPECT_EQ(step.stored, model.surfaceHeight()) << "height " << step.height;
        EXPECT_EQ(double(step.stored), preview->frame_height.load()) << "height " << step.height;
    }
}

TEST_F(PlayerViewModelTest, OpeningRewindsReadsAheadAndPausesAtTheFirstPictureClosingDetachesFirst)
{
    UsageEventRecorder usage;
    PlayerViewModel model(show);
    model.setSurface(&surface);
    EXPECT_EQ(&surface, model.surface());
    show->av_source()->seek(1500.0); // where an earlier preview or conversion left it
    preview->journal.clear();

    model.initialize();
    // Reading ahead before the rewind: its picture is made on the
    // read-ahead thread, never on the window's.
    EXPECT_EQ((Journal{R"(apply {"video-frame-rate":"25"})", "buffered on, last seek 1500, holders 1"}),
              preview->journal);
    EXPECT_EQ(0.0, preview->pictures->seeks().back());
    EXPECT_EQ(25.0, preview->video_frame_rate.load());
    Multimedia::VideoPlayer& player = model.videoPlayer();
    EXPECT_EQ(&player, model.player());
    EXPECT_EQ(Player::PauseState, player.state());
    EXPECT_EQ(0, player.time());
    EXPECT_EQ(2000, player.maxTime());
    EXPECT_EQ(0, shownPicture());
    EXPECT_EQ(QStringList{"Lumivista|Show Player||"}, usage.events);

    // Half a second of play, then the window closes.
    player.play();
    ASSERT_EQ(paContinue, card.pump(512, 0.0));
    ASSERT_EQ(paContinue, card.pump(512, 0.5));
    EXPECT_EQ(500, player.time());
    preview->journal.clear();
    model.deinitialize();
    // The player let go of the source (and rewound it) before the
    // read-ahead stopped.
    EXPECT_EQ(Journal{"buffered off, last seek 0, holders 1"}, preview->journal);
    EXPECT_EQ(Player::StopState, player.state());
    EXPECT_TRUE(FakeSoundCard::waitFor([this] { return card.closed == 1; })) << "the stream was not closed";
    EXPECT_EQ(-1, shownPicture());

    // Opening again starts over at the first picture; each opening counts
    // once, closing not at all.
    model.initialize();
    EXPECT_EQ(Player::PauseState, player.state());
    EXPECT_EQ(0, shownPicture());
    model.deinitialize();
    EXPECT_EQ((QStringList{"Lumivista|Show Player||", "Lumivista|Show Player||"}), usage.events);

    // Closing without a source still ends the read-ahead, and only that.
    preview->journal.clear();
    const std::size_t seeks = preview->pictures->seeks().size();
    model.deinitialize();
    EXPECT_EQ(Journal{"buffered off, last seek 0, holders 1"}, preview->journal);
    EXPECT_EQ(seeks, preview->pictures->seeks().size());
    EXPECT_EQ(Player::StopState, player.state());
}

TEST_F(PlayerViewModelTest, AnItemThatIsNoSurfaceOrIsGoneGetsNoPicture)
{
    PlayerViewModel model(show);
    model.setSurface(&surface);
    QObject notASurface;
    model.setSurface(&notASurface);
    EXPECT_EQ(&notASurface, model.surface());
    model.initialize();
    EXPECT_EQ(Player::PauseState, model.videoPlayer().state());
    EXPECT_EQ(-1, shownPicture());
    model.deinitialize();

    // The view's item may be destroyed before the view closes the preview.
    auto* item = new Multimedia::VideoSurface;
    model.setSurface(item);
    model.initialize();
    ASSERT_TRUE(item->frame());
    delete item;
    EXPECT_EQ(nullptr, model.surface());
    model.deinitialize();
    EXPECT_EQ(Player::StopState, model.videoPlayer().state());
}
