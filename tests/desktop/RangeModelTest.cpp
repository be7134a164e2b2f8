#include "desktop/QRangeModel.h"
#include "support-qt/QmlTesting.h"
#include "support/RowNames.h"

#include <gtest/gtest.h>

#include <limits>

using Desktop::QRangeModel;

namespace {

// Records what the model announces, in order.
void recordAll(qmltest::SignalLog& log, QRangeModel& model)
{
    log.record(&model, &QRangeModel::valueChanged, "value");
    log.record(&model, &QRangeModel::positionChanged, "position");
    log.record(&model, &QRangeModel::minimumChanged, "minimum");
    log.record(&model, &QRangeModel::maximumChanged, "maximum");
    log.record(&model, &QRangeModel::stepSizeChanged, "step");
    log.record(&model, &QRangeModel::invertedChanged, "inverted");
}

struct Snap {
    qreal raw;
    qreal value;    // public value in range 0..10, step 3
    qreal position; // public position over positions 0..100
};

void PrintTo(const Snap& s, std::ostream* out) { *out << "value " << s.raw; }

class RangeSnapping : public ::testing::TestWithParam<Snap> {};

} // namespace

TEST(RangeModel, StartsAtZeroInZeroToNinetyNine)
{
    QRangeModel model;
    EXPECT_EQ(0, model.value());
    EXPECT_EQ(0, model.position());
    EXPECT_EQ(0, model.minimum());
    EXPECT_EQ(99, model.maximum());
}

// Values snap to the nearer multiple of the step from the minimum (ties to
// the lower one, the last step cut at the maximum); positions snap alike.
TEST_P(RangeSnapping, SnapsToTheNearerStep)
{
    QRangeModel model;
    model.setRange(0, 10);
    model.setPositionRange(0, 100);
    model.setStepSize(3);
    model.setValue(GetParam().raw);
    EXPECT_DOUBLE_EQ(GetParam().value, model.value());
    EXPECT_DOUBLE_EQ(GetParam().position, model.position());
    EXPECT_DOUBLE_EQ(GetParam().value, model.valueForPosition(GetParam().raw * 10));
}

INSTANTIATE_TEST_SUITE_P(StepThree, RangeSnapping,
                         ::testing::Values(Snap{4.4, 3, 30}, Snap{4.5, 3, 30}, Snap{4.6, 6, 60},
                                           Snap{9.7, 10, 100}, Snap{9.4, 9, 90},
                                           Snap{-1, 0, 0}, Snap{25, 10, 100}),
                         [](const ::testing::TestParamInfo<Snap>& info) {
                             return kestrel::test::row_name("value " + QString::number(info.param.raw).toStdString());
                         });

TEST(RangeModel, ValueLeadsPositionInEveryAnnouncement)
{
    QRangeModel model;
    model.setRange(0, 1);
    model.setPositionRange(0, 100);
    qmltest::SignalLog log;
    recordAll(log, model);

    model.setValue(0.25);
    EXPECT_EQ(QStringList({"value(0.25)", "position(25)"}), log.entries());
    log.clear();
    model.setPosition(50);
    EXPECT_EQ(0.5, model.value());
    EXPECT_EQ(QStringList({"value(0.5)", "position(50)"}), log.entries());

    // Kept as written, read within the range.
    model.setPosition(150);
    EXPECT_EQ(100, model.position());
    EXPECT_EQ(1, model.value());
    log.clear();
    model.setPosition(150 * (1 + 1e-13)); // equal within 1e-12: nothing
    model.setValue(std::numeric_limits<qreal>::quiet_NaN());
    EXPECT_TRUE(log.entries().isEmpty());
}

TEST(RangeModel, RangeEndsPushEachOther)
{
    QRangeModel lowered;
    qmltest::SignalLog log;
    log.record(&lowered, &QRangeModel::minimumChanged, "minimum");
    log.record(&lowered, &QRangeModel::maximumChanged, "maximum");
    lowered.setMaximumValue(-5);
    EXPECT_EQ(-5, lowered.minimum());
    EXPECT_EQ(-5, lowered.maximum());
    EXPECT_EQ(QStringList({"minimum(-5)", "maximum(-5)"}), log.entries());

    // Raising the minimum drags the maximum along, but the maximum asked for
    // (99) is the stored one, so only the minimum is announced.
    QRangeModel raised;
    qmltest::SignalLog raisedLog;
    raisedLog.record(&raised, &QRangeModel::minimumChanged, "minimum");
    raisedLog.record(&raised, &QRangeModel::maximumChanged, "maximum");
    raised.setMinimumValue(200);
    EXPECT_EQ(200, raised.maximum());
    EXPECT_EQ(QStringList({"minimum(200)"}), raisedLog.entries());
}

TEST(RangeModel, InvertingMirrorsThePositionAndKeepsTheValue)
{
    QRangeModel model;
    model.setRange(0, 10);
    model.setPositionRange(0, 100);
    model.setValue(3);
    model.setInverted(true);
    EXPECT_EQ(3, model.value());
    EXPECT_EQ(70, model.position());
    EXPECT_EQ(100, model.positionForValue(0));
    EXPECT_EQ(0, model.positionForValue(10));
    model.setInverted(false);
    EXPECT_EQ(30, model.position());
}

TEST(RangeModel, DegenerateRangesAndSteps)
{
    QRangeModel model;
    model.setPositionRange(20, 80);
    model.setRange(5, 5);
    EXPECT_EQ(20, model.positionForValue(5)); // every value at the start
    model.setRange(0, 10);
    model.setPositionRange(40, 40);
    EXPECT_EQ(0, model.valueForPosition(99)); // every position at the minimum

    model.setPositionRange(0, 100);
    model.setStepSize(-1); // taken as 0: continuous
    EXPECT_EQ(0, model.stepSize());
    model.setValue(3.3);
    EXPECT_DOUBLE_EQ(3.3, model.value());
    model.setStepSize(std::numeric_limits<qreal>::quiet_NaN());
    EXPECT_EQ(0, model.stepSize());
}
