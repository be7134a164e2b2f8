#include "DesktopTesting.h"

#include "desktop/LayoutDistribution.h"
#include "desktop/QDeclarativeLinearLayout.h"

#include <QQuickItem>

#include <gtest/gtest.h>

using Desktop::LayoutItemRecord;
using Desktop::QDeclarativeLayout;
using Desktop::QDeclarativeLinearLayout;
using Desktop::QDeclarativeRowLayout;
using Desktop::distributeLayoutItems;

namespace {

class Layouts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerDesktopTypesOnce(); }

    // The layout of the document, laid out by its deferred request.
    std::unique_ptr<QObject> layOut(const QByteArray& body)
    {
        QString errors;
        auto root = qmltest::create(engine, "import QtQuick 2.15\nimport Desktop 0.1\n" + body, &errors);
        EXPECT_TRUE(root) << qPrintable(errors);
        settle();
        return root;
    }

    // Runs the layout requests, and those their passes post in turn.
    static void settle()
    {
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::sendPostedEvents();
    }

    static QList<qreal> along(QQuickItem* layout, qreal (QQuickItem::*read)() const)
    {
        QList<qreal> values;
        for (QQuickItem* child : layout->childItems())
            values.append(qRound((child->*read)() * 100) / 100.0);
        return values;
    }

    QQmlEngine engine;
};

struct Placement {
    const char* name;
    const char* document;
    QList<qreal> positions;
    QList<qreal> sizes;
};

void PrintTo(const Placement& c, std::ostream* out) { *out << c.name; }

class LinearPlacements : public Layouts, public ::testing::WithParamInterface<Placement> {};

// A pass that counts itself, to see how many passes a burst of changes costs.
class CountingRowLayout : public QDeclarativeRowLayout {
public:
    void updateLayout() override
    {
        ++passes;
        QDeclarativeRowLayout::updateLayout();
    }
    int passes = 0;
};

} // namespace

TEST_P(LinearPlacements, ShareTheExtentAsTheirChildrenAsk)
{
    const auto root = layOut(GetParam().document);
    auto* layout = qobject_cast<QQuickItem*>(root.get());
    ASSERT_TRUE(layout);
    const bool row = qobject_cast<QDeclarativeRowLayout*>(layout) != nullptr;
    EXPECT_EQ(GetParam().positions, along(layout, row ? &QQuickItem::x : &QQuickItem::y));
    EXPECT_EQ(GetParam().sizes, along(layout, row ? &QQuickItem::width : &QQuickItem::height));
    // The other direction is left as the children had it.
    EXPECT_EQ(QList<qreal>({7, 7, 7}), along(layout, row ? &QQuickItem::y : &QQuickItem::x));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, LinearPlacements,
    ::testing::Values(
        Placement{"FixedItemsShareTheLeftoverAsGaps",
                  "RowLayout { width: 300\n"
                  "  Item { implicitWidth: 50; y: 7 } Item { implicitWidth: 50; y: 7 }\n"
                  "  Item { implicitWidth: 50; y: 7 } }",
                  {37.5, 125, 212.5}, {50, 50, 50}},
        Placement{"ExpandingItemTakesTheLeftover",
                  "RowLayout { width: 300; spacing: 10\n"
                  "  Item { implicitWidth: 50; y: 7 } Item { implicitWidth: 50; y: 7 }\n"
                  "  Item { implicitWidth: 50; y: 7; Layout.horizontalSizePolicy: Layout.Expanding } }",
                  {0, 60, 120}, {50, 50, 180}},
        Placement{"OverdraftTakenEvenly",
                  "RowLayout { width: 100; spacing: 10\n"
                  "  Item { implicitWidth: 50; y: 7 } Item { implicitWidth: 50; y: 7 }\n"
                  "  Item { implicitWidth: 50; y: 7 } }",
                  {0, 36.67, 73.33}, {26.67, 26.67, 26.67}},
        Placement{"ShrinkingStopsAtMinimums",
                  "RowLayout { width: 100; spacing: 10\n"
                  "  Item { implicitWidth: 50; y: 7; Layout.minimumWidth: 40 }\n"
                  "  Item { implicitWidth: 50; y: 7 } Item { implicitWidth: 50; y: 7 } }",
                  {0, 50, 80}, {40, 20, 20}},
        Placement{"ExpandingStopsAtMaximum",
                  "RowLayout { width: 300\n"
                  "  Item { implicitWidth: 50; y: 7; Layout.horizontalSizePolicy: Layout.Expanding;"
                  "         Layout.maximumWidth: 100 }\n"
                  "  Item { implicitWidth: 50; y: 7; Layout.horizontalSizePolicy: Layout.Expanding }\n"
                  "  Item { implicitWidth: 50; y: 7 } }",
                  {0, 100, 250}, {100, 150, 50}},
        Placement{"ExpandingItemsAllAtMaximumLeaveGaps",
                  "RowLayout { width: 300\n"
                  "  Item { implicitWidth: 50; y: 7; Layout.horizontalSizePolicy: Layout.Expanding;"
                  "         Layout.maximumWidth: 60 }\n"
                  "  Item { implicitWidth: 50; y: 7; Layout.horizontalSizePolicy: Layout.Expanding;"
                  "         Layout.maximumWidth: 40 }\n"
                  "  Item { implicitWidth: 50; y: 7 } }",
                  {37.5, 135, 212.5}, {60, 40, 50}},
        Placement{"ColumnsWorkDownwards",
                  "ColumnLayout { height: 300\n"
                  "  Item { implicitHeight: 50; x: 7 } Item { implicitHeight: 50; x: 7 }\n"
                  "  Item { implicitHeight: 50; x: 7 } }",
                  {37.5, 125, 212.5}, {50, 50, 50}}),
    [](const ::testing::TestParamInfo<Placement>& info) { return info.param.name; });

// Not even the minimums fit: the spacing shrinks in proportion and the
// items shrink towards one cap (here 200/7) so that together they fill it.
TEST(LayoutDistribution, MinimumsThatDoNotFitShareACap)
{
    QVector<LayoutItemRecord> items(3);
    const qreal minimums[] = {60, 40, 20};
    for (int i = 0; i < 3; ++i) {
        items[i].minimumSize = minimums[i];
        items[i].preferredSize = 100;
        items[i].maximumSize = 1e9;
    }
    distributeLayoutItems(items, 90, 0, 10);
    EXPECT_NEAR(200.0 / 7, items[0].size, 1e-9);
    EXPECT_NEAR(200.0 / 7, items[1].size, 1e-9);
    EXPECT_EQ(20, items[2].size);
    EXPECT_NEAR(0, items[0].position, 1e-9);
    EXPECT_NEAR(35, items[1].position, 1e-9);
    EXPECT_NEAR(70, items[2].position, 1e-9);
}

// Expanding items whose maximums are reached one per round of sharing:
// 100 each is too much for the first, then 130 each for the second, then
// 135 each for the third, and 138 for the last. The 3 pixels nobody could
// take become five gaps.
TEST(LayoutDistribution, SharingTakesAsManyRoundsAsItemsAndLeavesTheRestAsGaps)
{
    QVector<LayoutItemRecord> items(4);
    const qreal maximums[] = {10, 120, 132, 135};
    for (int i = 0; i < 4; ++i) {
        items[i].stretch = 1;
        items[i].expanding = true;
        items[i].maximumSize = maximums[i];
    }
    distributeLayoutItems(items, 400, 0, 0);
    qreal position = 0.6;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(maximums[i], items[i].size) << i;
        EXPECT_NEAR(position, items[i].position, 1e-9) << i;
        position += maximums[i] + 0.6;
    }
    // Without a maximum the last item takes the rest: no gaps.
    items[3].maximumSize = 1e9;
    distributeLayoutItems(items, 400, 0, 0);
    EXPECT_EQ(138, items[3].size);
    EXPECT_EQ(0, items[0].position);
    EXPECT_EQ(262, items[3].position);
}

TEST_F(Layouts, ABurstOfChangesCostsOnePass)
{
    qmlRegisterType<CountingRowLayout>("LayoutTest", 1, 0, "CountingRowLayout");
    const auto root = layOut("import LayoutTest 1.0\n"
                             "CountingRowLayout { width: 300\n"
                             "  Item { implicitWidth: 50 } Item { implicitWidth: 50 } }");
    auto* layout = dynamic_cast<CountingRowLayout*>(root.get());
    ASSERT_TRUE(layout);
    const int passesBefore = layout->passes;
    QQuickItem* first = layout->childItems().first();
    for (int i = 1; i <= 10; ++i)
        QDeclarativeLayout::attachedOf(first)->setMinimumWidth(i);
    EXPECT_EQ(passesBefore, layout->passes); // deferred
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(passesBefore + 1, layout->passes);
}

// A change deep inside nested layouts relays the whole tree out, and a
// nested layout resized by its parent's pass is laid out again, never left
// waiting for a request that will not come.
TEST_F(Layouts, NestedLayoutsFollowChangesInside)
{
    const auto root = layOut("RowLayout { width: 200\n"
                             "  Item { implicitWidth: 100 }\n"
                             "  RowLayout { objectName: \"inner\"\n"
                             "    Item { implicitWidth: 100 } Item { implicitWidth: 100 } } }");
    auto* outer = qobject_cast<QDeclarativeLayout*>(root.get());
    auto* inner = root->findChild<QDeclarativeLayout*>("inner");
    ASSERT_TRUE(outer && inner);
    EXPECT_EQ(200, inner->implicitWidth()); // its children's sum
    EXPECT_EQ(150, inner->width());         // both shrink by 50
    EXPECT_FALSE(inner->isDirty());

    QQuickItem* innerChild = inner->childItems().first();
    QDeclarativeLayout::attachedOf(innerChild)->setMinimumWidth(170);
    EXPECT_TRUE(inner->isDirty());
    EXPECT_TRUE(outer->isDirty());
    settle();
    EXPECT_FALSE(inner->isDirty());
    EXPECT_FALSE(outer->isDirty());
    // The inner row now needs 170, which the outer one gives it.
    EXPECT_EQ(170, QDeclarativeLayout::attachedOf(inner)->minimumWidth());
    EXPECT_EQ(30, inner->x());
    EXPECT_EQ(170, inner->width());
    // ...and the inner row, resized by that pass, lays its children out
    // again (a minimum above the preferred size keeps the preferred one).
    EXPECT_EQ(100, innerChild->width());
    EXPECT_EQ(70, inner->childItems().last()->width());
}

TEST_F(Layouts, DestroyedChildLeavesTheRow)
{
    const auto root = layOut("RowLayout { width: 300\n"
                             "  Item { implicitWidth: 50 } Item { implicitWidth: 50 } }");
    auto* layout = qobject_cast<QDeclarativeLinearLayout*>(root.get());
    ASSERT_TRUE(layout);
    delete layout->childItems().first();
    settle();
    ASSERT_EQ(1, layout->trackedItems().size());
    EXPECT_EQ(125, layout->trackedItems().first()->x());
}
