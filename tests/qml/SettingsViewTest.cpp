// The settings dialog over the program's settings view model, shown modally
// by the real dialog host: device formats fixing aspect and quality, a free
// format giving back the user's own, the duration fields following
// the view model's limits, the rows and buttons of each mode, and the
// settings stored on every way out.

#include "ViewTesting.h"

#include "slideshow2/DTGilSlideshow.h"

using namespace viewtest;
using ViewModel::SettingsViewModel;

namespace {

const QString settingsView = QStringLiteral("qrc:/qml/settingsview.qml");

class SettingsView : public ::testing::Test {
protected:
    // Shows the dialog, runs `act` on it, and returns the dialog's result.
    int runDialog(const std::function<void(QWidget*)>& act) { return runModal(settingsView, model.get(), act); }

    static QVariant propertyOf(QWidget* dialog, const char* item, const char* name)
    {
        QQuickItem* found = itemNamed(dialog, item);
        EXPECT_TRUE(found) << item;
        return found ? found->property(name) : QVariant();
    }

    // Keys typed into the field (a null character for Backspace), after
    // its text is selected unless `anew` is false.
    static void typeInto(QWidget* dialog, const char* field, const QString& keys, bool anew = true)
    {
        QMetaObject::invokeMethod(itemNamed(dialog, field), "forceActiveFocus");
        if (anew)
            QMetaObject::invokeMethod(itemNamed(dialog, field), "selectAll");
        for (const QChar key : keys)
            pressKey(dialog, key.isNull() ? int(Qt::Key_Backspace) : int(key.unicode()), Qt::NoModifier,
                     key.isNull() ? QString() : QString(key));
    }

    const bool prepared = (prepareViews(), true);
    std::unique_ptr<SettingsViewModel> model =
        std::make_unique<SettingsViewModel>(kestrel::slideshow2::create_gil_slideshow());
};

TEST_F(SettingsView, AFreeFormatGivesBackTheUsersAspectAndQualityThatADeviceFormatFixed)
{
    model->setFormat(SettingsViewModel::WindowsFormat);
    model->setAspect(16.0 / 9.0);
    model->setQuality(SettingsViewModel::MediumQuality);
    runDialog([&](QWidget* dialog) {
        EXPECT_EQ(propertyOf(dialog, "formatBox", "selectedIndex").toInt(), 0);
        EXPECT_EQ(propertyOf(dialog, "aspectBox", "selectedIndex").toInt(), 0);
        EXPECT_EQ(propertyOf(dialog, "qualityBox", "selectedIndex").toInt(), 1);
        EXPECT_EQ(textOf(dialog, "qualityHint"), QStringLiteral("Video: 1280x720, MPEG4. Audio: MP3."));

        // Device formats fix their own aspect, shown as the nearer entry.
        const struct {
            const char* entry;
            SettingsViewModel::Format format;
            int index;
            const char* aspect;
        } devices[] = {{"  iPhone 5", SettingsViewModel::IPhone5Format, 2, "  16 : 9"},
                       {"  iPhone 3GS", SettingsViewModel::IPhoneFormat, 4, "  4 : 3"},
                       {"  iPad with Retina Display", SettingsViewModel::IPad3Format, 5, "  4 : 3"}};
        for (const auto& device : devices) {
            choose(dialog, "formatBox", QString::fromUtf8(device.entry));
            EXPECT_EQ(model->format(), device.format) << device.entry;
            EXPECT_EQ(propertyOf(dialog, "formatBox", "selectedIndex").toInt(), device.index) << device.entry;
            EXPECT_FALSE(propertyOf(dialog, "aspectBox", "enabled").toBool()) << device.entry;
            EXPECT_EQ(propertyOf(dialog, "aspectBox", "selectedText").toString(), QString::fromUtf8(device.aspect))
                << device.entry;
            EXPECT_EQ(propertyOf(dialog, "qualityBox", "selectedText").toString(), QStringLiteral("  High"));
        }

        choose(dialog, "formatBox", QStringLiteral("  Mac OS X Standard"));
        EXPECT_TRUE(propertyOf(dialog, "aspectBox", "enabled").toBool());
        EXPECT_TRUE(propertyOf(dialog, "qualityBox", "enabled").toBool());
        EXPECT_EQ(propertyOf(dialog, "aspectBox", "selectedText").toString(), QStringLiteral("  16 : 9"));
        EXPECT_EQ(propertyOf(dialog, "qualityBox", "selectedText").toString(), QStringLiteral("  Medium"));
        EXPECT_EQ(textOf(dialog, "qualityHint"), QStringLiteral("Video: 1280x720, H264. Audio: AAC."));

        choose(dialog, "aspectBox", QStringLiteral("  4 : 3"));
        choose(dialog, "qualityBox", QStringLiteral("  Low"));
        EXPECT_EQ(model->aspect(), 4.0 / 3.0);
        EXPECT_EQ(model->quality(), SettingsViewModel::LowQuality);
        EXPECT_EQ(textOf(dialog, "qualityHint"), QStringLiteral("Video: 640x480, H264. Audio: AAC."));
    });
}

TEST_F(SettingsView, DurationFieldsShowWhatTheViewModelKeeps)
{
    model->setSlideDuration(6.0);
    model->setTransitionDuration(1.2);
    runDialog([&](QWidget* dialog) {
        EXPECT_EQ(textOf(dialog, "photoDurationField"), QStringLiteral("6.0"));
        EXPECT_EQ(textOf(dialog, "transitionField"), QStringLiteral("1.2"));
        EXPECT_DOUBLE_EQ(propertyOf(dialog, "photoDurationSlider", "value").toDouble(), 6.0);

        // The view model keeps 0.3 at 0.5, and the field shows it at once.
        itemNamed(dialog, "photoDurationField")->setProperty("text", QStringLiteral("0.3"));
        EXPECT_EQ(model->slideDuration(), 0.5);
        EXPECT_EQ(textOf(dialog, "photoDurationField"), QStringLiteral("0.5"));
        // ... and, once it is committed, shortened the transition to half of it.
        QMetaObject::invokeMethod(itemNamed(dialog, "photoDurationField"), "editingFinished");
        EXPECT_EQ(model->transitionDuration(), 0.25);
        EXPECT_EQ(textOf(dialog, "transitionField"), QStringLiteral("0.25"));

        // A number past the bounds shows at once as the bound the show uses.
        itemNamed(dialog, "photoDurationField")->setProperty("text", QStringLiteral("25"));
        EXPECT_EQ(model->slideDuration(), 20.0);
        EXPECT_EQ(textOf(dialog, "photoDurationField"), QStringLiteral("20.0"));
        itemNamed(dialog, "photoDurationField")->setProperty("text", QStringLiteral("12.5"));
        EXPECT_EQ(model->slideDuration(), 12.5);
        EXPECT_DOUBLE_EQ(propertyOf(dialog, "photoDurationSlider", "value").toDouble(), 10.0);

        // Typed as the user types: "0" shows the shortest photo time at
        // once, its rest selected, so that ".8" typed on makes 0.8; "99" as
        // the transition shows half of that.
        typeInto(dialog, "photoDurationField", "0");
        EXPECT_EQ(textOf(dialog, "photoDurationField"), QStringLiteral("0.5"));
        EXPECT_DOUBLE_EQ(propertyOf(dialog, "photoDurationSlider", "value").toDouble(), 1.0);
        typeInto(dialog, "photoDurationField", ".8", false);
        EXPECT_EQ(model->slideDuration(), 0.8);
        typeInto(dialog, "transitionField", "99");
        EXPECT_EQ(model->transitionDuration(), 0.4);
        EXPECT_EQ(textOf(dialog, "transitionField"), QStringLiteral("0.4"));
        // The completion deleted, the rest is left to edit until the field
        // is left.
        typeInto(dialog, "photoDurationField", QString("0") + QChar());
        EXPECT_EQ(textOf(dialog, "photoDurationField"), QStringLiteral("0"));
        QMetaObject::invokeMethod(itemNamed(dialog, "transitionField"), "forceActiveFocus");
        EXPECT_EQ(textOf(dialog, "photoDurationField"), QStringLiteral("0.5"));

        // Aligned to the music, the photo duration is out of the user's hands.
        QMetaObject::invokeMethod(itemNamed(dialog, "alignToAudioBox"), "toggle");
        EXPECT_TRUE(model->useAudioDuration());
        EXPECT_FALSE(propertyOf(dialog, "photoDurationSlider", "enabled").toBool());
        EXPECT_FALSE(propertyOf(dialog, "photoDurationField", "enabled").toBool());
        EXPECT_TRUE(propertyOf(dialog, "transitionSlider", "enabled").toBool());

        // Any folder may be typed.
        itemNamed(dialog, "outputFolderField")->setProperty("text", QStringLiteral("/srv/vidéos 2"));
        EXPECT_EQ(model->outputFolder(), QStringLiteral("/srv/vidéos 2"));
        keepScreenshot(dialog, QStringLiteral("settingsview"));
    });
}

// A photo time being typed passes through others ("1" on the way to "10"):
// the transition waits until the time is committed, is bounded by the time
// committed, and the user's own comes back once a longer time allows it.
TEST_F(SettingsView, TheTransitionFollowsOnlyAPhotoTimeCommitted)
{
    model->setSlideDuration(6.0);
    model->setTransitionDuration(1.2);
    runDialog([&](QWidget* dialog) {
        const auto commit = [&](const char* typed) {
            const QString before = textOf(dialog, "transitionField");
            typeInto(dialog, "photoDurationField", typed);
            EXPECT_EQ(textOf(dialog, "transitionField"), before) << typed;
            QMetaObject::invokeMethod(itemNamed(dialog, "transitionField"), "forceActiveFocus");
            return textOf(dialog, "transitionField");
        };
        EXPECT_EQ(commit("10"), QStringLiteral("1.2"));
        EXPECT_EQ(commit("1.5"), QStringLiteral("0.75"));
        EXPECT_EQ(model->transitionDuration(), 0.75);
        EXPECT_EQ(commit("8"), QStringLiteral("1.2"));
    });
}

// The fields show the hundredths in use, never rounded past half the photo's
// time, and with a point under a decimal comma locale.
TEST_F(SettingsView, DurationFieldsShowTheHundredthsInUse)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    model->setSlideDuration(6.5);
    model->setTransitionDuration(3.25);
    runDialog([&](QWidget* dialog) {
        EXPECT_EQ(textOf(dialog, "transitionField"), QStringLiteral("3.25"));
        model->setSlideDuration(2.25);
        EXPECT_EQ(model->transitionDuration(), 1.12);
        EXPECT_EQ(textOf(dialog, "transitionField"), QStringLiteral("1.12"));
    });
    QLocale::setDefault(before);
}

// A field left shows the value in use one way, whatever was typed for it.
TEST_F(SettingsView, ADurationFieldLeftShowsTheValueOneWay)
{
    model->setSlideDuration(8.0);
    model->setTransitionDuration(1.2);
    runDialog([&](QWidget* dialog) {
        const auto leave = [&](const char* field, const char* typed) {
            typeInto(dialog, field, QString::fromLatin1(typed));
            const char* other = std::strcmp(field, "transitionField") == 0 ? "photoDurationField" : "transitionField";
            QMetaObject::invokeMethod(itemNamed(dialog, other), "forceActiveFocus");
            return textOf(dialog, field);
        };
        EXPECT_EQ(leave("photoDurationField", "6."), QStringLiteral("6.0"));
        EXPECT_EQ(leave("photoDurationField", "7"), QStringLiteral("7.0"));
        EXPECT_EQ(leave("transitionField", ".5"), QStringLiteral("0.5"));
        EXPECT_EQ(leave("transitionField", "1.50"), QStringLiteral("1.5"));
        EXPECT_EQ(model->slideDuration(), 7.0);
        EXPECT_EQ(model->transitionDuration(), 1.5);
    });
}

struct ModeCase {
    const char* name;
    SettingsViewModel::Mode mode;
    const char* button; // pressed to leave; none: the key, or the window is closed
    int result;
    int key = 0;        // pressed in the name field to leave
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};
void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.name; }


class SettingsViewModes : public SettingsView, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(SettingsViewModes, ShowTheirRowsAndEveryWayOutStoresTheSettings)
{
    const ModeCase& c = GetParam();
    model->setMode(c.mode);
    const bool converting = c.mode == SettingsViewModel::ConvertMode;
    const int result = runDialog([&](QWidget* dialog) {
        EXPECT_EQ(propertyOf(dialog, "photoDurationSlider", "visible").toBool(), !converting);
        EXPECT_EQ(propertyOf(dialog, "kenBurnsBox", "visible").toBool(), !converting);
        for (const char* always : {"formatBox", "aspectBox", "qualityBox", "outputFolderField",
                                   "slideshowNameField", "needClarifyBox"})
            EXPECT_TRUE(propertyOf(dialog, always, "visible").toBool()) << always;
        EXPECT_EQ(propertyOf(dialog, "continueButton", "visible").toBool(), converting);
        EXPECT_EQ(propertyOf(dialog, "cancelButton", "visible").toBool(), converting);
        EXPECT_EQ(propertyOf(dialog, "closeButton", "visible").toBool(), !converting);
        itemNamed(dialog, "slideshowNameField")->setProperty("text", QString::fromLatin1(c.name));
        if (*c.button)
            QMetaObject::invokeMethod(itemNamed(dialog, c.button), "clicked");
        if (c.key) {
            // Return and Enter press the default button, as in desktop
            // dialogs, also while the user is typing a name.
            itemNamed(dialog, "slideshowNameField")->forceActiveFocus();
            pressKey(dialog, c.key, c.modifiers);
            EXPECT_FALSE(dialog->isVisible()) << "the key closed nothing";
        }
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(QSettings().value(QStringLiteral("Settings/slideshowName")).toString(), QString::fromLatin1(c.name));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SettingsViewModes,
    ::testing::Values(ModeCase{"convertContinue", SettingsViewModel::ConvertMode, "continueButton", 1},
                      ModeCase{"convertCancel", SettingsViewModel::ConvertMode, "cancelButton", 0},
                      ModeCase{"convertWindowClosed", SettingsViewModel::ConvertMode, "", 0},
                      ModeCase{"defaultClose", SettingsViewModel::DefaultMode, "closeButton", 0},
                      ModeCase{"convertReturn", SettingsViewModel::ConvertMode, "", 1, Qt::Key_Return},
                      ModeCase{"convertKeypadEnter", SettingsViewModel::ConvertMode, "", 1, Qt::Key_Enter,
                               Qt::KeypadModifier},
                      ModeCase{"defaultReturn", SettingsViewModel::DefaultMode, "", 0, Qt::Key_Return}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

} // namespace
