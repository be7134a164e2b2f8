// The pieces of the program's start-up that can be checked in-process: the
// link settings and where their addresses come from, the choice of
// translation catalogues, and what QML may do with the application's types.

#include "app/ApplicationTypes.h"
#include "app/LinkSettings.h"
#include "app/Translations.h"

#include "support-qt/QmlTesting.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QQmlEngine>
#include <QSettings>
#include <QTranslator>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>

namespace {

// Sets environment variables for one test and puts the old values back.
class Environment {
public:
    ~Environment()
    {
        for (const auto& old : saved_) {
            if (old.second.isNull())
                qunsetenv(old.first.c_str());
            else
                qputenv(old.first.c_str(), old.second);
        }
    }
    void set(const std::string& name, const QByteArray& value)
    {
        if (!saved_.count(name))
            saved_[name] = qEnvironmentVariableIsSet(name.c_str()) ? qgetenv(name.c_str()) : QByteArray();
        if (value.isNull())
            qunsetenv(name.c_str());
        else
            qputenv(name.c_str(), value);
    }

private:
    std::map<std::string, QByteArray> saved_;
};

const char* const addressVariables[] = {"LUMIVISTA_WEB_BASE", "LUMIVISTA_FEEDBACK_BASE", "LUMIVISTA_FACEBOOK_PAGE",
                                        "LUMIVISTA_TWITTER_PAGE", "LUMIVISTA_SUPPORT_MAILBOX"};

} // namespace

TEST(LinkSettings, ElevenAddressesInOrderFromTheEnvironmentPuttingBackWhatTheUserChanged)
{
    Environment environment;
    environment.set("LUMIVISTA_WEB_BASE", "http://127.0.0.1:9001/");
    environment.set("LUMIVISTA_FEEDBACK_BASE", "http://127.0.0.1:9002//");
    environment.set("LUMIVISTA_FACEBOOK_PAGE", "http://127.0.0.1:9003/face");
    environment.set("LUMIVISTA_TWITTER_PAGE", "https://127.0.0.1:9004/bird");
    environment.set("LUMIVISTA_SUPPORT_MAILBOX", "help@127.0.0.1");

    const Application::LinkSettingList expected = {
        {"mailSupport", "mailto:help@127.0.0.1"},
        {"web", "http://127.0.0.1:9001?source=orvik-lumivista"},
        {"webHelp", "http://127.0.0.1:9001/howto/howto-make-sladeshow?source=orvik-lumivista"},
        {"webThanks", "http://127.0.0.1:9001/thanks-for-installing?source=orvik-lumivista"},
        {"webFeedback", "http://127.0.0.1:9002?source=orvik-lumivista"},
        {"webNotification", "http://127.0.0.1:9001/files/notification/lumivista.xml"},
        {"webFacebook", "http://127.0.0.1:9003/face"},
        {"webTwitter", "https://127.0.0.1:9004/bird"},
        {"socialUrl", "http://127.0.0.1:9001/"},
        {"socialReferrer", "http://127.0.0.1:9001/"},
        {"socialVia", "Varnelo"},
    };
    EXPECT_EQ(expected, Application::linkSettings());
    EXPECT_EQ("http://127.0.0.1:9001/files/advertisement/lumivista.xml", Application::advertisementFeedUrl());

    QSettings settings;
    settings.setValue("web", "http://changed.by.the.user/");
    settings.setValue("webTwitter", 7);
    Application::writeLinkSettings(settings);
    for (const auto& link : expected)
        EXPECT_EQ(link.second, settings.value(link.first).toString()) << link.first.toStdString();
}

TEST(LinkSettings, TheBuiltInAddressesStayOnThisMachine)
{
    Environment environment;
    for (const char* variable : addressVariables)
        environment.set(variable, QByteArray());
    for (const auto& link : Application::linkSettings()) {
        if (link.first == "socialVia")
            continue;
        const QUrl url(link.second);
        const QString host = url.scheme() == "mailto" ? url.path().section('@', 1) : url.host();
        EXPECT_TRUE(host == "127.0.0.1" || host == "localhost") << link.first.toStdString() << ": " << link.second.toStdString();
    }
}

// Pages from the environment are used only over http(s); the mailbox is
// the one address of its link, whatever it holds.
TEST(LinkSettings, RefusedPagesFallBackAndTheMailboxIsEncoded)
{
    Environment environment;
    for (const char* variable : addressVariables)
        environment.set(variable, QByteArray());
    const Application::LinkSettingList builtIn = Application::linkSettings();
    environment.set("LUMIVISTA_WEB_BASE", "file:///some/folder");
    environment.set("LUMIVISTA_FEEDBACK_BASE", "javascript:alert(1)");
    environment.set("LUMIVISTA_FACEBOOK_PAGE", "http://127.0.0.1:70000/face");
    environment.set("LUMIVISTA_TWITTER_PAGE", "https://127.0.0.1:9004/bird");
    environment.set("LUMIVISTA_SUPPORT_MAILBOX", "help@127.0.0.1?cc=other@x&body=%1 ,");

    Application::LinkSettingList expected = builtIn;
    expected[0].second = "mailto:help@127.0.0.1%3Fcc%3Dother@x%26body%3D%251%20%2C";
    expected[7].second = "https://127.0.0.1:9004/bird";
    EXPECT_EQ(expected, Application::linkSettings());
}

TEST(Translations, CataloguesByLocaleWithTheEnglishOneAsFallback)
{
    const QString built = QStringLiteral(LUMIVISTA_TRANSLATIONS);
    ASSERT_TRUE(QFileInfo::exists(built + "/slideshow_en.qm"));

    // The English catalogue holds the views' texts.
    QTranslator english;
    ASSERT_TRUE(english.load("slideshow_en", built));
    EXPECT_EQ("Make Slideshow", english.translate("mainview", "Make Slideshow"));

    // Copies of it under other names show which file a locale picks.
    kestrel::test::TempDir folder;
    const QString dir = QString::fromStdString(folder.path());
    for (const char* name : {"slideshow_en.qm", "slideshow_pt.qm", "slideshow.qm", "qt_pt.qm"})
        ASSERT_TRUE(QFile::copy(built + "/slideshow_en.qm", dir + "/" + name));
    const struct {
        const char* locale;
        const char* application; // the file the program's translator loaded
        const char* qt;          // the file Qt's translator loaded; "" none
    } cases[] = {
        {"pt_BR", "slideshow_pt.qm", "qt_pt.qm"},
        {"pt", "slideshow_pt.qm", "qt_pt.qm"},
        {"de_DE", "slideshow.qm", ""},
        {"C", "slideshow.qm", ""},
        {"", "slideshow.qm", ""},
    };
    for (const auto& c : cases) {
        QTranslator qt, application;
        Application::loadTranslations(qt, application, dir, c.locale);
        EXPECT_EQ(c.application, QFileInfo(application.filePath()).fileName()) << c.locale;
        EXPECT_EQ(c.qt, QFileInfo(qt.filePath()).fileName()) << c.locale;
    }

    // Without a catalogue of the language or a plain one: English.
    QFile::remove(dir + "/slideshow.qm");
    QTranslator qt, application;
    Application::loadTranslations(qt, application, dir, "de_DE");
    EXPECT_EQ("slideshow_en.qm", QFileInfo(application.filePath()).fileName());

    // Qt's own catalogues are beside the program and load with what they
    // name.
    QTranslator german;
    Application::loadTranslations(german, application, built, "de_DE");
    EXPECT_FALSE(german.isEmpty());
    EXPECT_EQ("qt_de.qm", QFileInfo(german.filePath()).fileName());

    // The stored setting "locale" wins over the system's.
    QSettings().setValue("locale", "pt_BR");
    EXPECT_EQ("pt_BR", Application::translationLocale(QSettings()));
    QSettings().remove("locale");
    EXPECT_EQ(QLocale::system().name(), Application::translationLocale(QSettings()));
}

TEST(ApplicationTypes, QmlNamesTheViewModelsAndTheirEnumsButCreatesNone)
{
    Application::registerApplicationTypes();
    Application::registerApplicationTypes(); // a second call changes nothing
    QQmlEngine engine;
    for (const char* name : {"MainViewModel", "SlideViewModel", "SettingsViewModel", "ConvertViewModel",
                             "PlayerViewModel"}) {
        QString errors;
        const auto object = qmltest::create(
            engine, QByteArray("import Application 1.0\n") + name + " {}\n", &errors);
        EXPECT_EQ(nullptr, object) << name;
        EXPECT_EQ(QString("Cant'create %1!").arg(name), errors) << name;
    }

    QString errors;
    const auto object = qmltest::create(engine,
                                        "import QtQuick 2.15\n"
                                        "import Application 1.0 as Application\n"
                                        "import ComponentModel 1.0 as ComponentModel\n"
                                        "import Feedback 1.0 as Feedback\n"
                                        "import Multimedia 1.0 as Multimedia\n"
                                        "Item {\n"
                                        "  property int done: Application.SlideViewModel.DoneState\n"
                                        "  property int converting: Application.ConvertViewModel.ConvertState\n"
                                        "  ComponentModel.Platform { id: platform }\n"
                                        "  ComponentModel.Transform { id: transform }\n"
                                        "  property string system: platform.platform()\n"
                                        "  property string minutes: transform.timeToString(65000, 'mm:ss')\n"
                                        "  Feedback.Communication {}\n"
                                        "  Multimedia.VideoSurface {}\n"
                                        "}\n",
                                        &errors);
    ASSERT_NE(nullptr, object) << errors.toStdString();
    EXPECT_EQ(2, object->property("done").toInt());
    EXPECT_EQ(2, object->property("converting").toInt());
    EXPECT_EQ("linux-64", object->property("system").toString());
    EXPECT_EQ("01:05", object->property("minutes").toString());
}
