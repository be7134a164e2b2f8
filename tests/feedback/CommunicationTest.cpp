#include "FeedbackTesting.h"

#include "feedback/Communication.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

using namespace FeedbackTesting;

const QString tail = "%0A%0AApplication%20Name%3A%20Orvik%20Lumivista%0AApplication%20Version%3A%201.0.1.50"
                     "%0AOperating%20System%3A%20linux-64";

class ProblemReport : public testing::Test {
protected:
    void SetUp() override
    {
        QCoreApplication::setApplicationName("Orvik Lumivista");
        QCoreApplication::setApplicationVersion("1.0.1.50");
        QSettings settings;
        settings.setValue("mailSupport", "mailto:support@lumivista.example");
        settings.setValue("webFeedback", "http://site/feedback");
    }
    void TearDown() override
    {
        clearSettings();
        QCoreApplication::setApplicationName("lumivista-tests");
        QCoreApplication::setApplicationVersion(QString());
    }
};

TEST_F(ProblemReport, MailAddressCarriesEncodedSubjectAndBody)
{
    struct Case {
        QString title, description, subject, body;
    };
    const Case cases[] = {
        {"Slideshow creation failed", "Video encoder failed.\nError code: 4",
         "%5BProblem%5D%20Slideshow%20creation%20failed", "Video%20encoder%20failed.%0AError%20code%3A%204"},
        {"", "", "%5BProblem%5D%20", ""},
        {"a&b=c", "?#%1%2", "%5BProblem%5D%20a%26b%3Dc", "%3F%23%251%252"},
        {"x", QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"), "%5BProblem%5D%20x", "Gr%C3%BC%C3%9Fe"},
    };
    for (const Case& c : cases) {
        QStringList opened;
        {
            LaunchRecorder launches;
            Feedback::Communication().reportProblem(c.title, c.description);
            opened = launches.opened;
        }
        EXPECT_EQ(QStringList("mailto:support@lumivista.example?subject=" + c.subject + "&body=" + c.body + tail),
                  opened);
    }
}

TEST_F(ProblemReport, FeedbackPageWhenNoMailProgramTakesIt)
{
    LaunchRecorder launches({"mailto"});
    Feedback::Communication().reportProblem("t", "d");
    ASSERT_EQ(2, launches.opened.size());
    EXPECT_TRUE(launches.opened[0].startsWith("mailto:"));
    EXPECT_EQ("http://site/feedback", launches.opened[1]);
}

// The desktop's opener is there but fails for "mailto:" (no mail
// program, xdg-open's status 3): the page is tried with it, and when it
// fails there too, the user is told.
TEST_F(ProblemReport, AnOpenerThatFailsCountsAsNoMailProgram)
{
    QTemporaryDir bin;
    const QString tried = bin.filePath("tried");
    QFile opener(bin.filePath("xdg-open"));
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\necho \"$1\" >> '" + tried.toUtf8() +
                 "'\ncase \"$1\" in mailto:*) exit 3;; esac\nexit $PAGE_STATUS\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    for (const char* pageStatus : {"0", "4"}) {
        SCOPED_TRACE(pageStatus);
        qputenv("PAGE_STATUS", pageStatus);
        QFile::remove(tried);
        Feedback::Communication communication;
        QStringList told;
        QObject::connect(&communication, &Feedback::Communication::reportNotSent,
                         [&told](const QString& message) { told << message; });
        communication.reportProblem("t", "d");
        const auto triedLines = [&] {
            QFile file(tried);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                                  : QStringList();
        };
        ASSERT_TRUE(runEventsUntil([&] { return triedLines().size() == 2; })) << triedLines().join('|').toStdString();
        EXPECT_TRUE(triedLines()[0].startsWith("mailto:support@lumivista.example?subject="));
        EXPECT_EQ(triedLines()[1], "http://site/feedback");
        if (QByteArray(pageStatus) == "0") {
            runEventsUntil([] { return false; }, 300);
            EXPECT_EQ(told, QStringList());
        } else {
            ASSERT_TRUE(runEventsUntil([&] { return !told.isEmpty(); }));
            EXPECT_EQ(told, QStringList(QStringLiteral("The desktop has no program to send the report to "
                                                       "\"support@lumivista.example\" nor to open the page "
                                                       "\"http://site/feedback\".")));
        }
    }
    qputenv("PATH", path);
    qunsetenv("PAGE_STATUS");
}

} // namespace
