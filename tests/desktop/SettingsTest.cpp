#include "DesktopTesting.h"

#include "desktop/Settings.h"

#include <QElapsedTimer>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

class SettingsElement : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerDesktopTypesOnce(); }

    // A settings element in `group` with an int, a text and a property
    // without change signal.
    std::unique_ptr<QObject> make(const char* group)
    {
        QString errors;
        auto root = qmltest::create(engine,
                                    QByteArray("import Desktop 0.1\n"
                                               "Settings { group: \"") + group + "\"\n"
                                    "  property int count: 5\n"
                                    "  property string name: \"default\"\n"
                                    "}\n",
                                    &errors);
        EXPECT_TRUE(root) << qPrintable(errors);
        return root;
    }

    static QVariant stored(const QString& key) { return QSettings().value(key); }

    QQmlEngine engine;
};

} // namespace

TEST_F(SettingsElement, LoadsWhatConvertsAndKeepsDefaultsForTheRest)
{
    {
        QSettings store;
        store.setValue("load/count", "letters");
        store.setValue("load/name", "stored");
    }
    const auto element = make("load");
    EXPECT_EQ(5, element->property("count").toInt());
    EXPECT_EQ("stored", element->property("name").toString());
    QCoreApplication::processEvents();
    EXPECT_EQ("letters", stored("load/count")); // loading schedules no save
}

TEST_F(SettingsElement, SavesABurstOfChangesOnTheNextTick)
{
    const auto element = make("burst");
    for (int i = 1; i <= 5; ++i)
        element->setProperty("count", i);
    EXPECT_FALSE(stored("burst/count").isValid());
    ASSERT_TRUE(qmltest::waitFor([] { return stored("burst/count").isValid(); }, 2000));
    EXPECT_EQ(5, stored("burst/count").toInt());
    EXPECT_EQ("default", stored("burst/name").toString());
}

// Changes still waiting for the timer are written when the element goes.
TEST_F(SettingsElement, SavesPendingChangesWhenDestroyed)
{
    auto element = make("last");
    element->setProperty("name", "changed");
    element.reset();
    EXPECT_EQ("changed", stored("last/name").toString());
}

// Pending changes go to the old group; the new group's values are loaded.
TEST_F(SettingsElement, ChangingGroupSavesThenLoads)
{
    QSettings().setValue("second/count", 42);
    const auto element = make("first");
    element->setProperty("count", 7);
    element->setProperty("group", "second");
    EXPECT_EQ(7, stored("first/count").toInt());
    EXPECT_EQ(42, element->property("count").toInt());
    EXPECT_EQ("second", element->property("group").toString());
}
