// The video player following the sound clock of a fake sound card (whose
// callbacks run on a test thread): which picture is on the surface when.

#include "multimedia/BrokenShow.h"
#include "multimedia/FakeAudioOutput.h"

#include "multimedia/VideoPlayer.h"
#include "multimedia/VideoSurface.h"
#include "support/SyntheticShow.h"


#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

using Multimedia::Player;
using Multimedia::VideoPlayer;
using Multimedia::VideoSurface;
using Multimedia::test::BrokenShow;
using Multimedia::test::FakeSoundCard;
using kestrel::test::make_synthetic_show;
using kestrel::test::picture_colour;
using kestrel::test::show_spec;
using kestrel::test::synthetic_show;

namespace {

// Lets a test run the pacing step at the moment it chooses.
class PacedPlayer : public VideoPlayer {
public:
    using VideoPlayer::updateFrame;
};

typedef std::vector<double> Starts;

class VideoPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&player, &VideoPlayer::aspectChanged,
                         [this](float value) { aspects.push_back(value); });
        player.setSurface(&surface);
    }

    kestrel::av_source_ptr makeShow(bool pictures = true, bool sound = true)
    {
        show_spec spec;
        spec.pictures = pictures;
        spec.sound = sound;
        return make_synthetic_show(spec, &show);
    }

    // Index of the picture on the surface (by its colour); -1 for none.
    int shownPicture() const
    {
        const kestrel::video_data_ptr picture = surface.frame();
        if (!picture)
            return -1;
        const kestrel::test::rgb_colour shown{picture->data()[0], picture->data()[1],
                                              picture->data()[2]};
        for (int index = 0; index < 50; ++index)
            if (picture_colour(index) == shown)
                return index;
        return -2;
    }

    // Playing from `from` ms with the clock moved on by `ms`.
    void playAt(qint64 from, double ms)
    {
        player.setTime(from);
        player.play();
        ASSERT_EQ(paContinue, card.pump(512, 0.0));
        ASSERT_EQ(paContinue, card.pump(512, (ms + 0.0001) / 1000.0));
        ASSERT_EQ(from + static_cast<qint64>(ms), player.time());
    }

    FakeSoundCard card;
    PacedPlayer player;
    VideoSurface surface;
    synthetic_show* show = nullptr;
    std::vector<float> aspects;
};

} // namespace

TEST_F(VideoPlayerTest, NewSourceShowsItsFirstPictureOnce)
{
    EXPECT_FLOAT_EQ(16.0f / 9.0f, player.aspect());
    kestrel::av_source_ptr source = makeShow();
    player.setSource(source);
    EXPECT_EQ(Player::PauseState, player.state());
    EXPECT_EQ(Starts{0.0}, show->pictures_read());
    EXPECT_EQ(0, shownPicture());
    EXPECT_EQ(std::vector<float>{64.0f / 36.0f}, aspects);

    player.setSource(source);
    EXPECT_EQ(Starts{0.0}, show->pictures_read()) << "the same source again does nothing";
    EXPECT_EQ(1u, aspects.size());

    player.setSource(kestrel::av_source_ptr());
    EXPECT_EQ(Player::StopState, player.state());
    EXPECT_EQ(-1, shownPicture());
    EXPECT_FLOAT_EQ(16.0f / 9.0f, aspects.back());
}

TEST_F(VideoPlayerTest, AspectFollowsThePicturesOfTheSource)
{
    show_spec spec;
    spec.width = 640;
    spec.height = 480;
    player.setSource(make_synthetic_show(spec));
    EXPECT_FLOAT_EQ(1.3333334f, player.aspect());

    // Sound without pictures still plays; nothing is drawn.
    player.setSource(makeShow(false, true));
    EXPECT_EQ(Player::PauseState, player.state());
    EXPECT_FLOAT_EQ(1.7777778f, player.aspect());
    EXPECT_EQ(-1, shownPicture());
    player.play();
    EXPECT_EQ(paContinue, card.pump(512, 0.0));
    player.pause();
    EXPECT_EQ(-1, shownPicture());

    // Pictures without sound: nothing to play them by.
    player.setSource(makeShow(true, false));
    EXPECT_EQ(Player::StopState, player.state());
    EXPECT_EQ(-1, shownPicture());
    EXPECT_EQ((std::vector<float>{1.3333334f, 1.7777778f, 64.0f / 36.0f}), aspects);
}

struct PacingCase {
    double ms; // clock past 1000 ms, where the held picture starts
    std::vector<double> advances;
    Starts read; // pictures read after the held one
    int shown;
};

void PrintTo(const PacingCase& c, std::ostream* os)
{
    *os << 1000 + c.ms << " ms";
}

class VideoPlayerPacingTest : public VideoPlayerTest,
                              public ::testing::WithParamInterface<PacingCase> {};

TEST_P(VideoPlayerPacingTest, NextPictureWhenTheHeldOneRanOutSkippingWhenFarBehind)
{
    const PacingCase& c = GetParam();
    player.setSource(makeShow());
    ASSERT_NO_FATAL_FAILURE(playAt(1000, c.ms));
    ASSERT_EQ((Starts{0.0, 1000.0}), show->pictures_read()) << "held: 1000 ms for 40 ms";

    player.updateFrame(false);

    Starts expected{0.0, 1000.0};
    expected.insert(expected.end(), c.read.begin(), c.read.end());
    EXPECT_EQ(expected, show->pictures_read());
    EXPECT_EQ(c.advances, show->advances());
    EXPECT_EQ(c.shown, shownPicture());
}

INSTANTIATE_TEST_SUITE_P(Clock, VideoPlayerPacingTest,
                         ::testing::Values(PacingCase{39.0, {}, {}, 25},
                                           PacingCase{40.0, {}, {1040.0}, 26},
                                           PacingCase{80.0, {}, {1040.0}, 26},
                                           PacingCase{81.0, {81.0}, {1120.0}, 28}),
                         [](const ::testing::TestParamInfo<PacingCase>& info) {
                             return "At" + std::to_string(1000 + int(info.param.ms)) + "ms";
                         });

TEST_F(VideoPlayerTest, SeekWhilePlayingDropsThePictureUntilTheNextTick)
{
    player.setSource(makeShow());
    ASSERT_NO_FATAL_FAILURE(playAt(1000, 10.0));
    ASSERT_EQ(25, shownPicture());

    emit player.timeChanged(1300, false); // a tick: ignored
    EXPECT_EQ(25, shownPicture());

    player.setTime(1500);
    EXPECT_EQ(-1, shownPicture());
    EXPECT_EQ((Starts{0.0, 1000.0}), show->pictures_read());
    player.updateFrame(false);
    EXPECT_EQ(37, shownPicture()) << "1480 .. 1520 ms";

    // Paused, a seek shows the picture for the new time at once.
    player.pause();
    player.setTime(200);
    EXPECT_EQ(5, shownPicture());
}

TEST_F(VideoPlayerTest, WithoutSurfaceNothingIsReadButTheClockRuns)
{
    player.setSource(makeShow());
    player.setSurface(nullptr);
    ASSERT_NO_FATAL_FAILURE(playAt(0, 100.0));
    player.updateFrame(false);
    EXPECT_EQ(Starts{0.0}, show->pictures_read());
    player.setSurface(&surface);
    player.updateFrame(false);
    // Far behind the held picture: skipped by the whole lag past its start.
    EXPECT_EQ((std::vector<double>{100.0}), show->advances());
    EXPECT_EQ((Starts{0.0, 120.0}), show->pictures_read());
}

TEST_F(VideoPlayerTest, FailingPicturesShowBlackAndFailingSeeksStop)
{
    auto* broken = new BrokenShow(makeShow());
    broken->failPictures = true;
    player.setSource(boost::make_shared<kestrel::av_source>(broken));
    EXPECT_EQ(Player::PauseState, player.state());
    EXPECT_EQ(-1, shownPicture());
    ASSERT_NO_FATAL_FAILURE(playAt(300, 50.0));
    player.updateFrame(false);
    EXPECT_EQ(-1, shownPicture());

    broken->failSeek = true;
    player.setTime(900);
    EXPECT_EQ(Player::StopState, player.state());
    EXPECT_EQ(0, player.time());
    EXPECT_TRUE(FakeSoundCard::waitFor([this] { return !card.streamOpen(); })) << "the stream was not closed";
}
