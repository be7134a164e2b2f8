#include "FeedbackTesting.h"

#include "feedback/Communication.h"

#include <gtest/gtest.h>

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

} // namespace
