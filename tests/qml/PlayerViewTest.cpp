// The preview window over the program's player view model and a slideshow
// of two photos and a song, shown modally by the real dialog host: the
// surface handed over and taken back, play, pause and mute from the
// keyboard and the menu, the quality hint and a sound output that does not
// answer told within the window, full screen and Escape, the seek track,
// and a player that stays stopped on its first picture without a sound
// device, says why and plays once one comes if Play was pressed. No QML
// warning on the way.

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
        program.addPhotos({makePhoto(files, "first.jpg"), makePhoto(files, "second.jpg")});
        program.chooseMusic(makeSong(files, "song.mp3"));
    }

    void runDialog(const std::function<void(QWidget*)>& act) { runModal(playerView, &program.player(), act); }

    void TearDown() override { EXPECT_EQ(qmlWarnings.lines(), QStringList()); }

    Multimedia::VideoPlayer& player() { return program.player().videoPlayer(); }
    static QObject* menuItem(QWidget* dialog, const char* name)
    {
        return rootOf(dialog)->findChild<QObject*>(QLatin1String(name));
    }

    // A notice's plate lies inside the window, and its text inside the plate.
    static void expectFits(QWidget* dialog, const char* notice)
    {
        QQuickItem* plate = itemNamed(dialog, notice);
        ASSERT_TRUE(plate && !plate->childItems().isEmpty()) << notice;
        const QRectF shown = plate->mapRectToScene(QRectF(0, 0, plate->width(), plate->height()));
        EXPECT_GE(shown.left(), 0) << notice;
        EXPECT_LE(shown.right(), rootOf(dialog)->property("width").toReal()) << notice;
        const QQuickItem* text = plate->childItems().first();
        EXPECT_LE(text->property("contentWidth").toReal(), text->width()) << notice;
        EXPECT_LE(text->width(), plate->width()) << notice;
    }

    QmlWarnings qmlWarnings;
    kestrel::test::TempDir files;
    ProgramUnderTest program;
};

TEST_F(PlayerView, SpaceAndTheMenuPlayAndPauseControlMMutesAndClosingTakesTheSurfaceBack)
{
    runDialog([&](QWidget* dialog) {
        auto* surface = qobject_cast<Multimedia::VideoSurface*>(program.player().surface());
        ASSERT_TRUE(surface);
        EXPECT_EQ(player().state(), Player::PauseState);
        EXPECT_TRUE(qmltest::waitFor([&] { return bool(surface->frame()); }, 5000)) << "no picture";
        QQuickItem* frame = itemNamed(dialog, "frameArea");
        EXPECT_TRUE(frame->isVisible());
        // The picture keeps the show's 4:3 and tells the view model its height.
        EXPECT_NEAR(frame->width() / frame->height(), player().aspect(), 0.01);
        EXPECT_EQ(program.player().surfaceHeight(), qMin(480, qRound(frame->height())));

        EXPECT_FALSE(itemNamed(dialog, "noSoundNotice")->isVisible());

        EXPECT_TRUE(pressKey(dialog, Qt::Key_Space));
        EXPECT_EQ(player().state(), Player::PlayState);
        // The fake sound card never asks for sound: the preview plays on
        // without it and says so, within the window.
        QQuickItem* silentOutput = itemNamed(dialog, "silentOutputNotice");
        EXPECT_TRUE(qmltest::waitFor([&] { return silentOutput->isVisible(); }, 5000)) << "the output's silence untold";
        EXPECT_EQ(silentOutput->property("text").toString(),
                  QStringLiteral("The sound output does not answer, so the preview plays on without sound until it does."));
        expectFits(dialog, "silentOutputNotice");
        // While it plays, the pointer on the controls shows the quality
        // hint; it fits the window at its first size. (Shown here without
        // a pointer: a virtual X server has none to hover with.)
        EXPECT_EQ(rootOf(dialog)->property("width").toInt(), 505);
        QQuickItem* hint = itemNamed(dialog, "qualityNotice");
        hint->setOpacity(0.5);
        EXPECT_TRUE(qmltest::waitFor([&] { return hint->opacity() == 0.5; })) << "the hint never faded to half";
        expectFits(dialog, "qualityNotice");
        keepScreenshot(dialog, QStringLiteral("playerview-quality-hint"));
        QObject* playItem = menuItem(dialog, "playMenuItem");
        ASSERT_TRUE(playItem);
        EXPECT_EQ(playItem->property("text").toString(), QStringLiteral("Pause"));
        EXPECT_TRUE(pressKey(dialog, Qt::Key_Space));
        EXPECT_EQ(player().state(), Player::PauseState);
        EXPECT_EQ(playItem->property("text").toString(), QStringLiteral("Play"));
        QMetaObject::invokeMethod(playItem, "triggered");
        EXPECT_EQ(player().state(), Player::PlayState);

        EXPECT_TRUE(pressKey(dialog, Qt::Key_M, Qt::ControlModifier));
        EXPECT_EQ(player().volume(), 0);
        EXPECT_TRUE(menuItem(dialog, "muteMenuItem")->property("checked").toBool());
    });
    EXPECT_EQ(program.player().surface(), nullptr);
    EXPECT_EQ(player().state(), Player::StopState);
}

TEST_F(PlayerView, EscapeLeavesFullScreenFirstAndThenClosesTheWindow)
{
    bool closedByEscape = false;
    runDialog([&](QWidget* dialog) {
        QMetaObject::invokeMethod(rootOf(dialog), "toggleFullScreen");
        EXPECT_TRUE(rootOf(dialog)->property("dialogFullScreen").toBool());
        EXPECT_TRUE(dialog->isFullScreen());
        EXPECT_TRUE(pressKey(dialog, Qt::Key_Escape));
        EXPECT_FALSE(rootOf(dialog)->property("dialogFullScreen").toBool());
        EXPECT_TRUE(dialog->isVisible());

        // Not the view's: the window takes it and closes.
        pressKey(dialog, Qt::Key_Escape);
        closedByEscape = !dialog->isVisible();
    });
    EXPECT_TRUE(closedByEscape);
}

TEST_F(PlayerView, TheSeekTrackMapsTimeToPositionAndBack)
{
    runDialog([&](QWidget* dialog) {
        QObject* root = rootOf(dialog);
        QQuickItem* track = itemNamed(dialog, "seekTrack");
        ASSERT_TRUE(track && track->width() > 0);
        const qint64 length = player().maxTime();
        ASSERT_GT(length, 0);
        QVariant x;
        QMetaObject::invokeMethod(root, "timeToX", Q_RETURN_ARG(QVariant, x), Q_ARG(QVariant, length / 2.0));
        EXPECT_NEAR(x.toDouble(), track->width() / 2, 0.01);
        QVariant time;
        QMetaObject::invokeMethod(root, "xToTime", Q_RETURN_ARG(QVariant, time), Q_ARG(QVariant, track->width()));
        EXPECT_NEAR(time.toDouble(), length, 0.01);

        // A press on the track seeks there; the time and the fill follow.
        mouseEvent(dialog, QEvent::MouseButtonPress, track->mapToScene(QPointF(track->width() / 2, 2)),
                   Qt::LeftButton, Qt::LeftButton);
        mouseEvent(dialog, QEvent::MouseButtonRelease, track->mapToScene(QPointF(track->width() / 2, 2)),
                   Qt::LeftButton, Qt::NoButton);
        EXPECT_NEAR(double(player().time()), length / 2.0, length / 50.0);
        EXPECT_NEAR(itemNamed(dialog, "seekFill")->width(), track->width() / 2, track->width() / 50);
        const qint64 seconds = player().time() / 1000;
        const QLatin1Char zero('0');
        EXPECT_EQ(textOf(dialog, "timeText"),
                  QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, zero).arg(seconds % 60, 2, 10, zero));
    });
}

TEST_F(PlayerView, WithoutASoundDeviceThePlayerShowsTheFirstPictureSaysWhyAndPlaysOnceOneComesIfAsked)
{
    program.soundCard.hasDevice = false;
    runDialog([&](QWidget* dialog) {
        // The player's stream thread looks at the output.
        EXPECT_TRUE(qmltest::waitFor([&] { return player().state() == Player::StopState; }, 5000));
        EXPECT_TRUE(itemNamed(dialog, "frameArea")->isVisible());
        auto* surface = qobject_cast<Multimedia::VideoSurface*>(program.player().surface());
        ASSERT_TRUE(surface);
        EXPECT_TRUE(qmltest::waitFor([&] { return bool(surface->frame()); }, 5000)) << "no picture";
        QQuickItem* notice = itemNamed(dialog, "noSoundNotice");
        EXPECT_TRUE(notice->isVisible());
        EXPECT_GT(notice->opacity(), 0.0);
        EXPECT_EQ(notice->property("text").toString(),
                  QStringLiteral("No sound device was found, so the preview cannot play. "
                                 "Making the video is not affected."));
        expectFits(dialog, "noSoundNotice");
        keepScreenshot(dialog, QStringLiteral("playerview-no-sound"));
        EXPECT_TRUE(menuItem(dialog, "playMenuItem")->property("enabled").toBool());
        EXPECT_TRUE(pressKey(dialog, Qt::Key_Space));
        EXPECT_EQ(player().state(), Player::StopState);
        // Controls stay in sight while nothing plays.
        EXPECT_EQ(itemNamed(dialog, "controlBar")->opacity(), 1.0);
        // A device comes: the preview plays, as Space asked.
        program.soundCard.hasDevice = true;
        EXPECT_TRUE(qmltest::waitFor([&] { return player().state() == Player::PlayState; }, 5000))
            << "Play pressed without a device was forgotten";
        EXPECT_FALSE(notice->isVisible());
    });
}

} // namespace
