#include "ViewModelDoubles.h"
#include "ViewModelTesting.h"

#include "viewmodel/SettingsViewModel.h"
#include "support/RowNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>

using ViewModel::SettingsViewModel;
using namespace ViewModelTest;

namespace {

const double notANumber = std::numeric_limits<double>::quiet_NaN();

// Every change signal, in the order it came, with its argument when it has one.
void logSignals(SettingsViewModel& vm, QStringList& log)
{
    auto plain = [&log](const char* name) { return [&log, name] { log << QString::fromLatin1(name); }; };
    QObject::connect(&vm, &SettingsViewModel::useAudioDurationChanged, plain("useAudioDuration"));
    QObject::connect(&vm, &SettingsViewModel::useKenBurnsChanged, plain("useKenBurns"));
    QObject::connect(&vm, &SettingsViewModel::slideDurationChanged, plain("slideDuration"));
    QObject::connect(&vm, &SettingsViewModel::transitionDurationChanged, plain("transitionDuration"));
    QObject::connect(&vm, &SettingsViewModel::outputFolderChanged, plain("outputFolder"));
    QObject::connect(&vm, &SettingsViewModel::slideshowNameChanged, [&log](QString v) { log << "slideshowName=" + v; });
    QObject::connect(&vm, &SettingsViewModel::fileExtentionChanged, [&log](QString v) { log << "fileExtention=" + v; });
    QObject::connect(&vm, &SettingsViewModel::formatChanged,
                     [&log](SettingsViewModel::Format v) { log << "format=" + QString::number(v); });
    QObject::connect(&vm, &SettingsViewModel::aspectChanged,
                     [&log](double v) { log << "aspect=" + QString::number(v, 'g', 17); });
    QObject::connect(&vm, &SettingsViewModel::aspectEnabledChanged,
                     [&log](bool v) { log << "aspectEnabled=" + QString::number(v); });
    QObject::connect(&vm, &SettingsViewModel::qualityChanged,
                     [&log](SettingsViewModel::Quality v) { log << "quality=" + QString::number(v); });
    QObject::connect(&vm, &SettingsViewModel::qualityEnabledChanged,
                     [&log](bool v) { log << "qualityEnabled=" + QString::number(v); });
    QObject::connect(&vm, &SettingsViewModel::qualityHintChanged, [&log](QString v) { log << "qualityHint=" + v; });
    QObject::connect(&vm, &SettingsViewModel::needClarifyChanged,
                     [&log](bool v) { log << "needClarify=" + QString::number(v); });
    QObject::connect(&vm, &SettingsViewModel::modeChanged,
                     [&log](SettingsViewModel::Mode v) { log << "mode=" + QString::number(v); });
}

class SettingsViewModelTest : public testing::Test {
protected:
    void SetUp() override { clearSettingsStore(); }

    std::unique_ptr<SettingsViewModel> make()
    {
        auto vm = std::make_unique<SettingsViewModel>(show.show);
        logSignals(*vm, log);
        return vm;
    }
    std::string lastApplied(const char* key) const { return show.record->applied.back()->get(key); }

    UsageEventRecorder events;
    ShowDouble show;
    QStringList log;
};

struct DurationStep {
    double slideBefore;
    double transitionBefore;
    bool setSlide;  // else the transition is set
    double value;
    double slideAfter;
    double transitionAfter;
    const char* signalsSeen;
};

void PrintTo(const DurationStep& s, std::ostream* os)
{
    *os << (s.setSlide ? "slide " : "transition ") << s.value << " from " << s.slideBefore << "/" << s.transitionBefore;
}

class DurationClamps : public SettingsViewModelTest, public testing::WithParamInterface<DurationStep> {};

} // namespace

TEST_P(DurationClamps, KeepDurationsInRangeAndSignalInOrder)
{
    const DurationStep& step = GetParam();
    auto vm = make();
    vm->setSlideDuration(step.slideBefore);
    vm->setTransitionDuration(step.transitionBefore);
    log.clear();

    if (step.setSlide)
        vm->setSlideDuration(step.value);
    else
        vm->setTransitionDuration(step.value);

    EXPECT_EQ(vm->slideDuration(), step.slideAfter);
    EXPECT_EQ(vm->transitionDuration(), step.transitionAfter);
    EXPECT_EQ(log.join(','), QString::fromLatin1(step.signalsSeen));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DurationClamps,
    testing::Values(DurationStep{6.0, 1.2, true, 0.2, 0.5, 0.25, "transitionDuration,slideDuration"},
                    DurationStep{6.0, 1.2, true, 25.0, 20.0, 1.2, "slideDuration"},
                    DurationStep{6.0, 1.2, true, 20.0, 20.0, 1.2, "slideDuration"},
                    DurationStep{6.0, 1.2, true, 2.0, 2.0, 1.0, "transitionDuration,slideDuration"},
                    DurationStep{6.0, 1.2, true, 3.0, 3.0, 1.2, "slideDuration"},
                    // The clamped value equals the stored one: stored again, still announced.
                    DurationStep{0.5, 0.0, true, 0.3, 0.5, 0.0, "slideDuration"},
                    DurationStep{6.0, 1.2, true, -INFINITY, 0.5, 0.25, "transitionDuration,slideDuration"},
                    DurationStep{6.0, 1.2, false, -1.0, 6.0, 0.0, "transitionDuration"},
                    DurationStep{6.0, 1.2, false, 10.0, 6.0, 3.0, "transitionDuration"},
                    DurationStep{6.0, 3.0, false, 10.0, 6.0, 3.0, "transitionDuration"},
                    // Equal values and NaN change nothing and say nothing.
                    DurationStep{6.0, 1.2, true, 6.0, 6.0, 1.2, ""},
                    DurationStep{6.0, 1.2, false, 1.2, 6.0, 1.2, ""},
                    DurationStep{6.0, 1.2, true, notANumber, 6.0, 1.2, ""},
                    DurationStep{6.0, 1.2, false, notANumber, 6.0, 1.2, ""}),
    [](const testing::TestParamInfo<DurationStep>& info) {
        return kestrel::test::row_name(info.index, std::string(info.param.setSlide ? "slide " : "transition ") +
                                                       QString::number(info.param.value).toStdString());
    });

TEST_F(SettingsViewModelTest, FormatChangeAnnouncesTheEffectiveValuesInOrder)
{
    auto vm = make();
    ASSERT_EQ(vm->format(), SettingsViewModel::MacFormat);
    vm->setQuality(SettingsViewModel::LowQuality);
    log.clear();

    vm->setFormat(SettingsViewModel::IPadFormat);
    EXPECT_EQ(log, (QStringList{"format=5", "aspectEnabled=0", "aspect=1.3333333333333333", "qualityEnabled=0",
                                "quality=2", "qualityHint=Video: 1024x768, H264. Audio: AAC.",
                                "fileExtention=.m4v"}));
    log.clear();

    // The user's choices under a device format: stored, only the hint moves.
    vm->setAspect(16.0 / 9.0);
    vm->setQuality(SettingsViewModel::MediumQuality);
    EXPECT_EQ(log, (QStringList{"aspect=1.3333333333333333", "qualityHint=Video: 1024x768, H264. Audio: AAC.",
                                "quality=2", "qualityHint=Video: 1024x768, H264. Audio: AAC."}));
    log.clear();

    // Back on a free format the user's choices rule again.
    vm->setFormat(SettingsViewModel::MacFormat);
    EXPECT_EQ(log, (QStringList{"format=1", "aspectEnabled=1", "aspect=1.7777777777777777", "qualityEnabled=1",
                                "quality=1", "qualityHint=Video: 1280x720, H264. Audio: AAC.",
                                "fileExtention=.mp4"}));
}

TEST_F(SettingsViewModelTest, EachPropertyAnnouncesAChangeOnceAndAnEqualValueNever)
{
    auto vm = make();
    for (int round = 0; round < 2; ++round) {
        vm->setUseAudioDuration(true);
        vm->setUseKenBurns(false);
        vm->setOutputFolder("/tmp/out");
        vm->setSlideshowName("Holiday");
        vm->setNeedClarify(false);
        vm->setMode(SettingsViewModel::ConvertMode);
        vm->setQuality(SettingsViewModel::HighQuality);
        // Aspects no frame can have are refused.
        for (double aspect : {16.0 / 9.0, notANumber, 0.0, -1.5, 100.0, double(INFINITY)})
            vm->setAspect(aspect);
    }
    EXPECT_EQ(log, (QStringList{"useAudioDuration", "useKenBurns", "outputFolder", "slideshowName=Holiday",
                                "needClarify=0", "mode=1", "quality=2", "qualityHint=Video: 1440x1080, H264. Audio: AAC.",
                                "aspect=1.7777777777777777", "qualityHint=Video: 1920x1080, H264. Audio: AAC."}));
}

TEST_F(SettingsViewModelTest, EmptyStoreGivesDefaultsAppliesThemAndWritesAllElevenKeys)
{
    auto vm = make();
    EXPECT_FALSE(vm->useAudioDuration());
    EXPECT_TRUE(vm->useKenBurns());
    EXPECT_EQ(vm->slideDuration(), 6.0);
    EXPECT_EQ(vm->transitionDuration(), 1.2);
    EXPECT_EQ(vm->outputFolder(), QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    EXPECT_EQ(vm->slideshowName(), "My slideshow");
    EXPECT_EQ(vm->aspect(), 4.0 / 3.0);
    EXPECT_EQ(vm->quality(), SettingsViewModel::MediumQuality);
    EXPECT_EQ(vm->format(), SettingsViewModel::MacFormat);  // on Linux
    EXPECT_EQ(vm->presetName(), "mac-medium");
    EXPECT_TRUE(vm->needClarify());
    EXPECT_EQ(vm->mode(), SettingsViewModel::DefaultMode);

    ASSERT_EQ(show.record->applied.size(), 1u);
    std::ostringstream sent;
    sent << *show.record->applied.back();
    EXPECT_EQ(sent.str(), "{\"align-to-audio\":\"0\";\"frame-aspect\":\"1.3333333333333333\";\"ken-burns\":\"1\";"
                          "\"slide-duration\":\"6\";\"transition-duration\":\"1.2\"}");
    EXPECT_EQ(events.events, QStringList{"Lumivista|Apply Settings||"});

    QSettings store;
    store.beginGroup("Settings");
    EXPECT_EQ(store.childKeys(),
              (QStringList{"aspect", "chosenTransitionDuration", "format", "needClarify", "outputFolder", "quality",
                           "slideDuration", "slideshowName", "transitionDuration", "useAudioDuration",
                           "useKenBurns"}));
    EXPECT_EQ(store.value("format").toInt(), 1);
    EXPECT_EQ(store.value("aspect").toDouble(), 4.0 / 3.0);
    EXPECT_TRUE(log.isEmpty());  // loading announces nothing
}

TEST_F(SettingsViewModelTest, ApplySendsEffectiveAspectAndStoresChoicesThatSurviveARestart)
{
    {
        auto vm = make();
        vm->setSlideDuration(2.5);
        vm->setTransitionDuration(0.75);
        vm->setUseAudioDuration(true);
        vm->setUseKenBurns(false);
        vm->setAspect(16.0 / 9.0);
        vm->setFormat(SettingsViewModel::IPhone5Format);
        vm->setQuality(SettingsViewModel::LowQuality);
        vm->apply();
        EXPECT_EQ(lastApplied("slide-duration"), "2.5");
        EXPECT_EQ(lastApplied("transition-duration"), "0.75");
        EXPECT_EQ(lastApplied("align-to-audio"), "1");
        EXPECT_EQ(lastApplied("ken-burns"), "0");
        EXPECT_EQ(lastApplied("frame-aspect"), "1.7749999999999999");
        vm->setSlideshowName("Never applied");  // the destructor stores it
    }
    SettingsViewModel again(show.show);
    EXPECT_EQ(again.slideDuration(), 2.5);
    EXPECT_EQ(again.transitionDuration(), 0.75);
    EXPECT_TRUE(again.useAudioDuration());
    EXPECT_FALSE(again.useKenBurns());
    EXPECT_EQ(again.format(), SettingsViewModel::IPhone5Format);
    EXPECT_EQ(again.quality(), SettingsViewModel::HighQuality);
    EXPECT_EQ(again.presetName(), "iphone5");
    EXPECT_EQ(again.slideshowName(), "Never applied");
    again.setFormat(SettingsViewModel::MacFormat);
    EXPECT_EQ(again.presetName(), "mac-low");
    EXPECT_EQ(again.aspect(), 16.0 / 9.0);
}

// The transition a short photo time shortened is the one in use, stored
// where older stores keep it; the user's own comes back with a longer time,
// also after a restart, and a store without it starts from the one in use.
TEST_F(SettingsViewModelTest, AShortPhotoTimeShortensOnlyTheTransitionInUse)
{
    {
        auto vm = make();
        vm->setTransitionDuration(1.2);
        vm->typeSlideDuration(1.0);
        EXPECT_EQ(vm->transitionDuration(), 1.2);
        vm->apply();  // a time still typed counts as committed
        EXPECT_EQ(lastApplied("transition-duration"), "0.5");
        EXPECT_EQ(QSettings().value("Settings/transitionDuration").toDouble(), 0.5);
        EXPECT_EQ(QSettings().value("Settings/chosenTransitionDuration").toDouble(), 1.2);
    }
    SettingsViewModel again(show.show);
    EXPECT_EQ(again.transitionDuration(), 0.5);
    again.setSlideDuration(4.0);
    EXPECT_EQ(again.transitionDuration(), 1.2);

    QSettings().remove("Settings/chosenTransitionDuration");
    QSettings().setValue("Settings/transitionDuration", 0.7);
    SettingsViewModel older(show.show);
    older.setSlideDuration(10.0);
    EXPECT_EQ(older.transitionDuration(), 0.7);
}

namespace {

struct StoredValue {
    const char* key;
    QVariant value;
    const char* property;
    QVariant expected;
};

void PrintTo(const StoredValue& s, std::ostream* os)
{
    *os << s.key << " = " << s.value.toString().toStdString();
}

class HandEditedStore : public SettingsViewModelTest, public testing::WithParamInterface<StoredValue> {};

} // namespace

TEST_P(HandEditedStore, UsableValuesAreTakenAsTheyAreOthersFallBack)
{
    const StoredValue& edit = GetParam();
    {
        QSettings store;
        store.setValue(QLatin1String(edit.key), edit.value);
    }
    auto vm = make();
    const QVariant read = vm->property(edit.property);
    if (edit.expected.typeId() == QMetaType::Double)
        EXPECT_EQ(read.toDouble(), edit.expected.toDouble());
    else if (edit.expected.typeId() == QMetaType::Int)
        EXPECT_EQ(read.toInt(), edit.expected.toInt());
    else
        EXPECT_EQ(read.toString(), edit.expected.toString());
    // What reaches the show is what was read: 50 stays 50, unclamped.
    EXPECT_EQ(lastApplied("slide-duration"), kestrel::text::to_text(vm->slideDuration()));
    EXPECT_EQ(lastApplied("transition-duration"), kestrel::text::to_text(vm->transitionDuration()));
}

INSTANTIATE_TEST_SUITE_P(
    Edits, HandEditedStore,
    testing::Values(StoredValue{"Settings/slideDuration", 50.0, "slideDuration", 50.0},
                    StoredValue{"Settings/slideDuration", 0.2, "slideDuration", 0.2},
                    StoredValue{"Settings/slideDuration", -3.0, "slideDuration", 6.0},
                    StoredValue{"Settings/slideDuration", "nan", "slideDuration", 6.0},
                    StoredValue{"Settings/slideDuration", "1e300", "slideDuration", 6.0},
                    StoredValue{"Settings/slideDuration", "six", "slideDuration", 6.0},
                    StoredValue{"Settings/slideDuration", 0.0, "slideDuration", 6.0},
                    StoredValue{"Settings/transitionDuration", -1.0, "transitionDuration", 1.2},
                    StoredValue{"Settings/transitionDuration", "inf", "transitionDuration", 1.2},
                    StoredValue{"Settings/transitionDuration", 0.0, "transitionDuration", 0.0},
                    StoredValue{"Settings/aspect", 0.0, "aspect", 4.0 / 3.0},
                    StoredValue{"Settings/aspect", 2.0, "aspect", 2.0},
                    StoredValue{"Settings/format", 12, "format", 1},
                    StoredValue{"Settings/format", "ipad", "format", 1},
                    StoredValue{"Settings/format", 8, "format", 8},
                    StoredValue{"Settings/quality", 5, "quality", 1},
                    StoredValue{"Settings/quality", 0, "quality", 0},
                    StoredValue{"Settings/outputFolder", "", "outputFolder",
                                QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)},
                    StoredValue{"Settings/slideshowName", "", "slideshowName", "My slideshow"}),
    [](const testing::TestParamInfo<StoredValue>& info) {
        return kestrel::test::row_name(info.index,
                                       std::string(info.param.property) + " " + info.param.value.toString().toStdString());
    });

// Settings that cannot be stored are told once per cause, naming the file
// and why, and again after a store that worked, with a log line each time
// and what is stored left as it was; settings that cannot be read are told
// at start.
TEST_F(SettingsViewModelTest, SettingsThatCannotBeReadOrStoredAreTold)
{
    QStringList said;
    auto vm = make();
    QObject::connect(vm.get(), &SettingsViewModel::storageProblem, [&](const QString& m) { said << m; });
    vm->setSlideshowName(QStringLiteral("Kept"));
    vm->apply();
    const QString conf = QSettings().fileName(), folder = QFileInfo(conf).path(), scope = QFileInfo(folder).path();
    const auto settingsIn = [](const QString& path) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    };
    QTemporaryDir scratch;
    const QString plain = scratch.filePath(QStringLiteral("plain"));
    kestrel::test::write_file(plain.toStdString(), "");
    const viewmodeltest::StoreFailure failures[] = {
        {"a folder in the file's place", [&] { QFile::rename(conf, conf + "~") && QDir().mkpath(conf); },
         [&] { QDir().rmdir(conf) && QFile::rename(conf + "~", conf); }, conf, "a folder is in the way", conf + "~"},
        {"a file where its folder should be", [&] { settingsIn(plain + "/config"); }, [&] { settingsIn(scope); },
         plain + "/config" + conf.mid(scope.size()), "\"" + plain + "\" is a file where a folder should be", conf},
        viewmodeltest::readOnlyFolder(folder, conf),
    };
    for (const viewmodeltest::StoreFailure& failure : failures)
        viewmodeltest::expectToldOncePerCause(failure, "The settings could not be stored",
                                              "the settings could not be stored: ", said, [&] { vm->apply(); });
    EXPECT_EQ(QStringLiteral("Kept"), QSettings().value("Settings/slideshowName").toString());

    vm.reset();
    failures[0].fail();
    SettingsViewModel atStart(show.show);
    QObject::connect(&atStart, &SettingsViewModel::storageProblem, [&](const QString& m) { said << m; });
    said.clear();
    QCoreApplication::processEvents();
    failures[0].mend();
    ASSERT_EQ(2, said.size());
    EXPECT_EQ(said[0], "The settings in \"" + conf +
                           "\" could not be read: a folder, not a file.\nThe program starts with its own settings.");
}
