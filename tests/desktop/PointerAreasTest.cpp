#include "desktop/QCursorArea.h"
#include "desktop/QWheelArea.h"
#include "support-qt/QmlTesting.h"
#include "support/RowNames.h"

#include <QCoreApplication>
#include <QWheelEvent>

#include <gtest/gtest.h>

using Desktop::QCursorArea;
using Desktop::QWheelArea;

namespace {

// Sends a real wheel event, in eighths of a degree, to the area.
void turnWheel(QWheelArea& area, QPoint angle)
{
    QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&area, &event);
    EXPECT_TRUE(event.isAccepted());
}

struct Turn {
    qreal maximum;
    qreal start;
    qreal speed;
    QPoint angle;
    qreal expectedDelta;
    qreal expectedValue;
};

void PrintTo(const Turn& t, std::ostream* out)
{
    *out << "from " << t.start << " of " << t.maximum << " at speed " << t.speed << " by (" << t.angle.x() << ", "
         << t.angle.y() << ")";
}

class WheelTurns : public ::testing::TestWithParam<Turn> {};

} // namespace

// A notch is 120 eighths: it moves the vertical value by 8 times the speed,
// the horizontal one by 8, each within its bounds.
TEST_P(WheelTurns, MoveTheValueWithinItsBounds)
{
    const Turn& turn = GetParam();
    QWheelArea area;
    area.setScrollSpeed(turn.speed);
    area.setVerticalMaximumValue(turn.maximum);
    area.setHorizontalMaximumValue(turn.maximum);
    area.setVerticalValue(turn.start);
    area.setHorizontalValue(turn.start);
    int wheelMoves = 0;
    QObject::connect(&area, &QWheelArea::verticalWheelMoved, [&] { ++wheelMoves; });
    QObject::connect(&area, &QWheelArea::horizontalWheelMoved, [&] { ++wheelMoves; });

    turnWheel(area, turn.angle);
    const bool sideways = turn.angle.x() != 0;
    EXPECT_EQ(turn.expectedDelta, sideways ? area.horizontalDelta() : area.verticalDelta());
    EXPECT_EQ(turn.expectedValue, sideways ? area.horizontalValue() : area.verticalValue());
    EXPECT_EQ(turn.start, sideways ? area.verticalValue() : area.horizontalValue());
    EXPECT_EQ(1, wheelMoves);
}

INSTANTIATE_TEST_SUITE_P(
    Notches, WheelTurns,
    ::testing::Values(Turn{100, 0, 1, QPoint(0, -120), -8, 8},
                      Turn{100, 95, 2, QPoint(0, -120), -16, 100},
                      Turn{0, 0, 1, QPoint(0, -120), -8, 0}, // no room: announced anyway
                      Turn{100, 50, 2, QPoint(120, 0), 8, 42}, // speed is vertical only
                      Turn{100, 50, 1, QPoint(0, 240), 16, 34}),
    [](const ::testing::TestParamInfo<Turn>& info) {
        const Turn& t = info.param;
        return kestrel::test::row_name("from " + std::to_string(int(t.start)) + " of " + std::to_string(int(t.maximum)) +
                                       " speed " + std::to_string(int(t.speed)) + " by " + std::to_string(t.angle.x()) +
                                       " " + std::to_string(t.angle.y()));
    });

TEST(WheelArea, MinimumWinsWhenBoundsCross)
{
    QWheelArea area;
    area.setVerticalMinimumValue(10);
    area.setVerticalMaximumValue(5);
    area.setVerticalValue(7);
    EXPECT_EQ(10, area.verticalValue());
}

TEST(CursorArea, SetsOnlyTheEightShapesAndAnnouncesChanges)
{
    QCursorArea area;
    int changes = 0;
    QObject::connect(&area, &QCursorArea::cursorChanged, [&] { ++changes; });
    area.setCursor(QCursorArea::Cursor(8));
    area.setCursor(QCursorArea::Cursor(-1));
    EXPECT_EQ(0, changes);
    area.setCursor(QCursorArea::PointingHandCursor);
    area.setCursor(QCursorArea::PointingHandCursor);
    EXPECT_EQ(1, changes);
    EXPECT_EQ(Qt::PointingHandCursor, area.QQuickItem::cursor().shape());
    area.setCursor(QCursorArea::SplitVCursor);
    EXPECT_EQ(Qt::SplitVCursor, area.QQuickItem::cursor().shape());
}
