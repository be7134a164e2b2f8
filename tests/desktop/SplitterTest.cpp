#include "DesktopTesting.h"

#include "desktop/QtSplitter.h"

#include <gtest/gtest.h>

using Desktop::QtSplitterAttached;

TEST(SplitterAttached, UnsetValuesAndAnnouncements)
{
    QtSplitterAttached attached;
    EXPECT_EQ(-1, attached.minimumWidth());
    EXPECT_EQ(-1, attached.maximumHeight());
    EXPECT_EQ(-1, attached.percentageSize());
    EXPECT_FALSE(attached.expanding());
    EXPECT_EQ(-1, attached.itemIndex());

    qmltest::SignalLog log;
    log.record(&attached, &QtSplitterAttached::minimumWidthChanged, "minimumWidth");
    log.record(&attached, &QtSplitterAttached::percentageWidthSize, "percentage");
    log.record(&attached, &QtSplitterAttached::itemIndexChanged, "itemIndex");
    attached.setMinimumWidth(50);
    attached.setMinimumWidth(50); // sizes are announced on every write
    attached.setPercentageSize(30);
    attached.setItemIndex(2);
    attached.setItemIndex(2); // the index only on change
    EXPECT_EQ(QStringList({"minimumWidth(50)", "minimumWidth(50)", "percentage(30)", "itemIndex(2)"}),
              log.entries());
}
