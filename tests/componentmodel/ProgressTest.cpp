#include "componentmodel/Progress.h"

#include <gtest/gtest.h>

using namespace ComponentModel;

namespace {

// A progress from 0 to 100 whose clock the test moves by hand.
struct ManualProgress {
    explicit ManualProgress(qint64 minimumStep = 0) : progress(0, 100, 2000, minimumStep)
    {
        progress.setClock([this] { return now; });
    }
    qint64 now = 1000000;
    Progress progress;
};

} // namespace

TEST(Progress, EstimateFromElapsedTimeAloneBeforeAnySpeedSample)
{
    ManualProgress p;
    p.progress.setValue(25);  // stopped: no speed sample
    ASSERT_TRUE(p.progress.start());
    p.now += 10001;
    EXPECT_EQ(p.progress.elapsedTime(), 10001);
    EXPECT_EQ(p.progress.remainingTime(), 30003);
}

TEST(Progress, EstimateBlendsInRecentSpeed)
{
    ManualProgress p;
    p.progress.start();
    p.now += 10001;
    p.progress.setValue(25);  // speed 25 / 10001 per ms
    const double speed = 25.0 / 10001.0;
    EXPECT_EQ(p.progress.remainingTime(), qint64(0.7 * 30003 + 0.3 * 75 / speed));

    // A later sample of 5 over 2000 ms: speed 0.0025 per ms.
    ManualProgress q;
    q.progress.start();
    q.now += 8001;
    q.progress.setValue(20);
    q.now += 2000;
    q.progress.setValue(25);
    EXPECT_EQ(q.progress.remainingTime(), 30002);  // 0.7 x 30003 + 0.3 x 75 / 0.0025
}

TEST(Progress, NoEstimateBeforeProgressOrRunningTimeAndZeroAtTheEnd)
{
    ManualProgress p;
    EXPECT_EQ(p.progress.remainingTime(), -1);
    p.progress.start();
    p.now += 500;
    EXPECT_EQ(p.progress.remainingTime(), -1);  // value still at begin
    p.progress.setValue(150);
    p.progress.setValue(-1);
    EXPECT_EQ(p.progress.value(), 0);
    p.progress.setValue(100);
    EXPECT_EQ(p.progress.remainingTime(), 0);
}

TEST(Progress, MinimumStepDecidesWhenSpeedIsSampled)
{
    ManualProgress p(5);
    p.progress.setValue(20);
    p.progress.start();
    p.now += 1000;
    p.progress.setValue(23);  // step of 3: no sample, speed stays 0
    EXPECT_EQ(p.progress.remainingTime(), 1000 * 77 / 23);
    p.progress.setValue(26);  // step of 6 from 20 over 1000 ms
    const qint64 estimate = 1000 * 74 / 26;
    EXPECT_EQ(p.progress.remainingTime(), qint64(0.7 * estimate + 0.3 * 74 / (6.0 / 1000.0)));
}

TEST(Progress, ValuesInTheSameMillisecondLeaveOnlyTheElapsedEstimate)
{
    ManualProgress p;
    p.progress.start();
    p.now += 4000;
    p.progress.setValue(10);
    p.progress.setValue(40);  // infinite speed
    EXPECT_EQ(p.progress.remainingTime(), qint64(0.7 * (4000 * 60 / 40)));
}

TEST(Progress, PausesAreExcludedAndStartStopReportStateChanges)
{
    ManualProgress p;
    EXPECT_FALSE(p.progress.stop());
    EXPECT_TRUE(p.progress.start());
    EXPECT_FALSE(p.progress.start());
    p.now += 4000;
    EXPECT_TRUE(p.progress.stop());
    p.now += 60000;
    EXPECT_EQ(p.progress.elapsedTime(), 4000);
    p.progress.start();
    p.now += 1000;
    EXPECT_EQ(p.progress.elapsedTime(), 5000);

    p.progress.setValue(50);
    p.progress.reset();
    EXPECT_EQ(p.progress.value(), 0);
    EXPECT_EQ(p.progress.elapsedTime(), 0);
    EXPECT_EQ(p.progress.remainingTime(), -1);
    EXPECT_FALSE(p.progress.isRunning());
    EXPECT_TRUE(p.progress.start());
}

TEST(Progress, UpdateAnnouncesElapsedThenRemainingUnderTheSignalNames)
{
    ManualProgress p;
    p.progress.start();
    p.now += 10001;
    p.progress.setValue(25);
    QStringList heard;
    auto record = [&heard](const PropertyChangedSignalArgs& a) {
        heard << QStringLiteral("%1=%2").arg(a.propertyName()).arg(a.value().toLongLong());
        EXPECT_EQ(a.value().metaType(), QMetaType::fromType<qint64>());
    };
    QObject::connect(&p.progress, &Progress::elapsedTimeChanged, record);
    QObject::connect(&p.progress, &Progress::remainingTimeChanged, record);
    p.progress.update();
    EXPECT_EQ(heard, QStringList({QStringLiteral("elapsedTimeChanged=10001"),
                                  QStringLiteral("remainingTimeChanged=%1").arg(p.progress.remainingTime())}));
}

TEST(Progress, HugeRangesNeitherOverflowNorWrap)
{
    const qint64 end = std::numeric_limits<qint64>::max() / 2;
    Progress progress(0, end, 1000, 0);
    qint64 now = 0;
    progress.setClock([&now] { return now; });
    progress.start();
    now = 1000000000;
    progress.setValue(1);
    EXPECT_EQ(progress.remainingTime(), std::numeric_limits<qint64>::max());
}
