// The preview window over a stand-in player view model, shown modally by
// the real dialog host: the hand-over of the surface, play and pause from
// the keyboard, the menu and the picture, full screen and Escape, and the
// stopped player.

#include "ViewTesting.h"

#include "multimedia/VideoSurface.h"


using namespace viewtest;
using Multimedia::Player;

namespace {

const QString playerView = QStringLiteral("qrc:/qml/playerview.qml");

class PlayerView : public ::testing::Test {
protected:
    void SetUp() override
    {
        qmltest::useSoftwareQuick();
        standin::registerStandIns();
        model = std::make_unique<standin::PlayerViewModel>(makePhoto(folder, "preview.jpg", 800, 600));
    }

    void runDialog(const std::function<void(QWidget*)>& act) { runModal(playerView, model.get(), act); }

    Player::State state() const { return model->preview().state(); }
    static QVariant rootProperty(QWidget* dialog, const char* name) { return rootOf(dialog)->property(name); }

    kestrel::test::TempDir folder;
    std::unique_ptr<standin::PlayerViewModel> model;
};

TEST_F(PlayerView, SpaceTogglesPlayAndPauseAndTheMenuFollows)
{
    runDialog([&](QWidget* dialog) {
        EXPECT_EQ(model->initialized, 1);
        EXPECT_TRUE(qobject_cast<Multimedia::VideoSurface*>(model->surface()));
        EXPECT_EQ(state(), Player::PauseState);
        QQuickItem* frame = itemNamed(dialog, "frameArea");
        EXPECT_TRUE(frame->isVisible());
        // The picture keeps the player's 4:3 and tells the view model its height.
        EXPECT_NEAR(frame->width() / frame->height(), 4.0 / 3.0, 0.01);
        EXPECT_EQ(model->surfaceHeight, qRound(frame->height()));
        keepScreenshot(dialog, QStringLiteral("playerview"));

        EXPECT_TRUE(pressKey(dialog, Qt::Key_Space));
        EXPECT_EQ(state(), Player::PlayState);
        QObject* playItem = rootOf(dialog)->findChild<QObject*>(QStringLiteral("playMenuItem"));
        ASSERT_TRUE(playItem);
        EXPECT_EQ(playItem->property("text").toString(), QStringLiteral("Pause"));
        EXPECT_TRUE(pressKey(dialog, Qt::Key_Space));
        EXPECT_EQ(state(), Player::PauseState);
        EXPECT_EQ(playItem->property("text").toString(), QStringLiteral("Play"));
        QMetaObject::invokeMethod(playItem, "triggered");
        EXPECT_EQ(state(), Player::PlayState);

        EXPECT_TRUE(pressKey(dialog, Qt::Key_M, Qt::ControlModifier));
        EXPECT_EQ(model->preview().volume, 0);
        EXPECT_TRUE(rootOf(dialog)->findChild<QObject*>(QStringLiteral("muteMenuItem"))->property("checked").toBool());
    });
    EXPECT_EQ(model->deinitialized, 1);
}

TEST_F(PlayerView, EscapeLeavesFullScreenFirstAndThenClosesTheWindow)
{
    bool closedByEscape = false;
    runDialog([&](QWidget* dialog) {
        QMetaObject::invokeMethod(rootOf(dialog), "toggleFullScreen");
        EXPECT_TRUE(rootProperty(dialog, "dialogFullScreen").toBool());
        EXPECT_TRUE(dialog->isFullScreen());
        EXPECT_TRUE(pressKey(dialog, Qt::Key_Escape));
        EXPECT_FALSE(rootProperty(dialog, "dialogFullScreen").toBool());
        EXPECT_TRUE(dialog->isVisible());

        // Not the view's: the window takes it and closes.
        pressKey(dialog, Qt::Key_Escape);
        closedByEscape = !dialog->isVisible();
    });
    EXPECT_TRUE(closedByEscape);
}

TEST_F(PlayerView, AStoppedPlayerHidesThePictureAndIgnoresPlay)
{
    runDialog([&](QWidget* dialog) {
        model->preview().stop();
        EXPECT_FALSE(itemNamed(dialog, "frameArea")->isVisible());
        EXPECT_FALSE(rootOf(dialog)->findChild<QObject*>(QStringLiteral("playMenuItem"))->property("enabled").toBool());
        pressKey(dialog, Qt::Key_Space);
        QMetaObject::invokeMethod(rootOf(dialog), "togglePlay");
        EXPECT_EQ(state(), Player::StopState);
        // Controls stay in sight while nothing plays.
        EXPECT_EQ(itemNamed(dialog, "controlBar")->opacity(), 1.0);
    });
}

TEST_F(PlayerView, TheSeekTrackMapsTimeToPositionAndBack)
{
    runDialog([&](QWidget* dialog) {
        QObject* root = rootOf(dialog);
        QQuickItem* track = itemNamed(dialog, "seekTrack");
        ASSERT_TRUE(track && track->width() > 0);
        QVariant x;
        QMetaObject::invokeMethod(root, "timeToX", Q_RETURN_ARG(QVariant, x), Q_ARG(QVariant, 15000));
        EXPECT_NEAR(x.toDouble(), track->width() / 2, 0.01);
        QVariant time;
        QMetaObject::invokeMethod(root, "xToTime", Q_RETURN_ARG(QVariant, time), Q_ARG(QVariant, track->width()));
        EXPECT_NEAR(time.toDouble(), 30000, 0.01);

        model->preview().time = 15000;
        emit model->preview().timeChanged(15000);
        EXPECT_EQ(itemNamed(dialog, "timeText")->property("text").toString(), QStringLiteral("00:15"));
        EXPECT_NEAR(itemNamed(dialog, "seekFill")->width(), track->width() / 2, 0.5);
    });
}

} // namespace
