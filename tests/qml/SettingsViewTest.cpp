// The settings dialog over a stand-in settings view model, shown modally by
// the real dialog host: the format box moving the aspect and quality boxes,
// the duration fields following the view model's clamping, the rows and
// buttons of each mode, and the result and apply() on every way out.

#include "ViewTesting.h"



using namespace viewtest;
using standin::SettingsViewModel;

namespace {

const QString settingsView = QStringLiteral("qrc:/qml/settingsview.qml");

class SettingsView : public ::testing::Test {
protected:
    void SetUp() override
    {
        qmltest::useSoftwareQuick();
        standin::registerStandIns();
    }

    // Shows the dialog, runs `act` on it, and returns the dialog's result.
    int runDialog(const std::function<void(QWidget*)>& act) { return runModal(settingsView, &model, act); }

    // Chooses an entry of a combo box as the user does, through its menu.
    static void choose(QWidget* dialog, const char* box, const QString& entry)
    {
        QQuickItem* combo = itemNamed(dialog, box);
        ASSERT_TRUE(combo);
        for (QObject* item : combo->findChildren<QObject*>()) {
            if (item->property("text").toString() == entry) {
                QMetaObject::invokeMethod(item, "triggered");
                return;
            }
        }
        FAIL() << "no entry " << entry.toStdString();
    }
    static QVariant propertyOf(QWidget* dialog, const char* item, const char* name)
    {
        QQuickItem* found = itemNamed(dialog, item);
        EXPECT_TRUE(found) << item;
        return found ? found->property(name) : QVariant();
    }

    SettingsViewModel model;
};

TEST_F(SettingsView, ADeviceFormatFixesAspectAndQualityAndAFreeOneGivesTheUsersBack)
{
    model.userAspect = 16.0 / 9.0;
    model.userQuality = SettingsViewModel::MediumQuality;
    runDialog([&](QWidget* dialog) {
        EXPECT_EQ(propertyOf(dialog, "aspectBox", "selectedIndex").toInt(), 0);
        EXPECT_EQ(propertyOf(dialog, "qualityBox", "selectedIndex").toInt(), 1);

        choose(dialog, "formatBox", QStringLiteral("  iPad and iPad Mini"));
        EXPECT_EQ(model.format(), SettingsViewModel::IPadFormat);
        EXPECT_EQ(propertyOf(dialog, "formatBox", "selectedIndex").toInt(), 6);
        EXPECT_FALSE(propertyOf(dialog, "aspectBox", "enabled").toBool());
        EXPECT_FALSE(propertyOf(dialog, "qualityBox", "enabled").toBool());
        EXPECT_EQ(propertyOf(dialog, "aspectBox", "selectedText").toString(), QStringLiteral("  4 : 3"));
        EXPECT_EQ(propertyOf(dialog, "qualityBox", "selectedText").toString(), QStringLiteral("  High"));
        EXPECT_EQ(propertyOf(dialog, "qualityHint", "text").toString(),
                  QStringLiteral("Video: 1024x768, H264. Audio: AAC."));
        // The boxes moved; the user's own choices did not.
        EXPECT_EQ(model.userAspect, 16.0 / 9.0);
        EXPECT_EQ(model.userQuality, SettingsViewModel::MediumQuality);
        keepScreenshot(dialog, QStringLiteral("settingsview-ipad"));

        choose(dialog, "formatBox", QStringLiteral("  Windows Standard"));
        EXPECT_TRUE(propertyOf(dialog, "aspectBox", "enabled").toBool());
        EXPECT_EQ(propertyOf(dialog, "aspectBox", "selectedText").toString(), QStringLiteral("  16 : 9"));
        EXPECT_EQ(propertyOf(dialog, "qualityBox", "selectedText").toString(), QStringLiteral("  Medium"));
        EXPECT_EQ(propertyOf(dialog, "qualityHint", "text").toString(),
                  QStringLiteral("Video: 1280x720, MPEG4. Audio: MP3."));

        choose(dialog, "aspectBox", QStringLiteral("  4 : 3"));
        choose(dialog, "qualityBox", QStringLiteral("  Low"));
        EXPECT_EQ(model.userAspect, 4.0 / 3.0);
        EXPECT_EQ(model.userQuality, SettingsViewModel::LowQuality);
    });
}

TEST_F(SettingsView, DurationFieldsShowWhatTheViewModelKeeps)
{
    runDialog([&](QWidget* dialog) {
        EXPECT_EQ(propertyOf(dialog, "photoDurationField", "text").toString(), QStringLiteral("6.0"));
        EXPECT_EQ(propertyOf(dialog, "transitionField", "text").toString(), QStringLiteral("1.2"));
        EXPECT_DOUBLE_EQ(propertyOf(dialog, "photoDurationSlider", "value").toDouble(), 6.0);

        // 0.3 passes the field's validator; the view model keeps 0.5.
        itemNamed(dialog, "photoDurationField")->setProperty("text", QStringLiteral("0.3"));
        EXPECT_EQ(model.slideDuration(), 0.5);
        EXPECT_EQ(propertyOf(dialog, "photoDurationField", "text").toString(), QStringLiteral("0.5"));
        // ... and shortened the transition to half of it.
        EXPECT_EQ(propertyOf(dialog, "transitionField", "text").toString(), QStringLiteral("0.3"));

        // Text the validator refuses does not reach the view model.
        itemNamed(dialog, "photoDurationField")->setProperty("text", QStringLiteral("25"));
        EXPECT_EQ(model.slideDuration(), 0.5);
        itemNamed(dialog, "photoDurationField")->setProperty("text", QStringLiteral("12.5"));
        EXPECT_EQ(model.slideDuration(), 12.5);
        EXPECT_DOUBLE_EQ(propertyOf(dialog, "photoDurationSlider", "value").toDouble(), 10.0);

        // Aligned to the music, the photo duration is out of the user's hands.
        QMetaObject::invokeMethod(itemNamed(dialog, "alignToAudioBox"), "toggle");
        EXPECT_TRUE(model.useAudioDuration);
        EXPECT_FALSE(propertyOf(dialog, "photoDurationSlider", "enabled").toBool());
        EXPECT_FALSE(propertyOf(dialog, "photoDurationField", "enabled").toBool());
        EXPECT_TRUE(propertyOf(dialog, "transitionSlider", "enabled").toBool());

        // Any folder may be typed.
        itemNamed(dialog, "outputFolderField")->setProperty("text", QStringLiteral("/srv/vidéos 2"));
        EXPECT_EQ(model.outputFolder, QStringLiteral("/srv/vidéos 2"));
        keepScreenshot(dialog, QStringLiteral("settingsview"));
    });
}

struct ModeCase {
    const char* name;
    SettingsViewModel::Mode mode;
    const char* button; // pressed to leave
    int result;
    bool durationsShown;
};

class SettingsViewModes : public SettingsView, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(SettingsViewModes, ShowTheirRowsAndEveryWayOutApplies)
{
    const ModeCase& c = GetParam();
    model.mode = c.mode;
    const bool converting = c.mode == SettingsViewModel::ConvertMode;
    const int result = runDialog([&](QWidget* dialog) {
        EXPECT_EQ(propertyOf(dialog, "photoDurationSlider", "visible").toBool(), c.durationsShown);
        EXPECT_EQ(propertyOf(dialog, "kenBurnsBox", "visible").toBool(), c.durationsShown);
        for (const char* always : {"formatBox", "aspectBox", "qualityBox", "outputFolderField",
                                   "slideshowNameField", "needClarifyBox"})
            EXPECT_TRUE(propertyOf(dialog, always, "visible").toBool()) << always;
        EXPECT_EQ(propertyOf(dialog, "continueButton", "visible").toBool(), converting);
        EXPECT_EQ(propertyOf(dialog, "cancelButton", "visible").toBool(), converting);
        if (converting) {
            EXPECT_TRUE(propertyOf(dialog, "continueButton", "focus").toBool());
            keepScreenshot(dialog, QStringLiteral("settingsview-convert"));
        }
        if (*c.button)
            QMetaObject::invokeMethod(itemNamed(dialog, c.button), "clicked");
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(model.applied, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SettingsViewModes,
    ::testing::Values(ModeCase{"convertContinue", SettingsViewModel::ConvertMode, "continueButton", 1, false},
                      ModeCase{"convertCancel", SettingsViewModel::ConvertMode, "cancelButton", 0, false},
                      ModeCase{"convertWindowClosed", SettingsViewModel::ConvertMode, "", 0, false},
                      ModeCase{"defaultClose", SettingsViewModel::DefaultMode, "closeButton", 0, true}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

} // namespace
