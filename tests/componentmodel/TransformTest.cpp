#include "componentmodel/Platform.h"
#include "componentmodel/QmlTypes.h"
#include "componentmodel/Transform.h"
#include "support/RowNames.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLocale>
#include <QPixmap>
#include <QQmlComponent>
#include <QQmlEngine>

#include <memory>

using namespace ComponentModel;

namespace {

struct TimeCase {
    qint64 time;
    const char* format;
    const char* text;
};

void PrintTo(const TimeCase& c, std::ostream* out) { *out << c.time << " ms as " << c.format; }

std::string timeRowName(const testing::TestParamInfo<TimeCase>& info)
{
    return kestrel::test::row_name(std::string(info.param.format) + " " + std::to_string(info.param.time) + "ms");
}

class TimeText : public testing::TestWithParam<TimeCase> {};

struct SizeCase {
    qint64 size;
    const char* format;
    const char* text;
};

void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.size << " bytes as \"" << c.format << '"'; }

std::string sizeRowName(const testing::TestParamInfo<SizeCase>& info)
{
    return kestrel::test::row_name(std::to_string(info.param.size) + " bytes in " + info.param.format);
}

class SizeText : public testing::TestWithParam<SizeCase> {};

} // namespace

TEST_P(TimeText, MatchesTable)
{
    const TimeCase& c = GetParam();
    EXPECT_EQ(Transform::timeToString(c.time, QLatin1String(c.format)), QLatin1String(c.text))
        << c.time << " " << c.format;
}

INSTANTIATE_TEST_SUITE_P(
    Remaining, TimeText,
    testing::Values(TimeCase{5000, "remain", "5 sec"}, TimeCase{0, "remain", "0 sec"},
                    TimeCase{12000, "remain", "10 sec"}, TimeCase{13000, "remain", "20 sec"},
                    TimeCase{30000, "remain", "30 sec"}, TimeCase{33000, "remain", "40 sec"},
                    TimeCase{47000, "remain", "50 sec"}, TimeCase{55000, "remain", "50 sec"},
                    TimeCase{59999, "remain", "50 sec"}, TimeCase{60000, "remain", "1 min"},
                    TimeCase{90000, "remain", "1 min"}, TimeCase{91000, "remain", "2 min"},
                    TimeCase{3599999, "remain", "59 min"}, TimeCase{3600000, "remain", "1 hour"},
                    TimeCase{5460000, "remain", "2 hour"}, TimeCase{90000000, "remain", "25 hour"},
                    TimeCase{-1, "remain", "0 sec"}),
    timeRowName);

INSTANTIATE_TEST_SUITE_P(
    Clock, TimeText,
    testing::Values(TimeCase{3723004, "hh:mm:ss.zzz", "01:02:03.004"}, TimeCase{3723004, "mm:ss", "02:03"},
                    TimeCase{90000000, "hh:mm:ss.zzz", ""}, TimeCase{-1000, "hh:mm:ss.zzz", ""}),
    timeRowName);

TEST(Transform, DefaultTimeFormatIsClockWithMilliseconds)
{
    EXPECT_EQ(Transform::timeToString(3723004), QLatin1String("01:02:03.004"));
    EXPECT_EQ(Transform::timeToString(90000000), QString());
    EXPECT_NE(Transform::timeToString(3723004, QStringLiteral("Remain")), QLatin1String("1 hour"));
}

TEST_P(SizeText, MatchesTable)
{
    const SizeCase& c = GetParam();
    EXPECT_EQ(Transform::storageSizeToString(c.size, QLatin1String(c.format)), QLatin1String(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeText,
    testing::Values(SizeCase{1023, "", "1023 b"}, SizeCase{-5, "", "-5 b"}, SizeCase{1024, "", "1.0 kB"},
                    SizeCase{1536, "", "1.5 kB"}, SizeCase{1048576, "", "1.0 MB"},
                    SizeCase{1610612736, "", "1.5 GB"}, SizeCase{5368709120, "m", "5120.0 MB"},
                    SizeCase{5368709120, "M", "5120.0 MB"}, SizeCase{500000, "M", "488.3 kB"},
                    SizeCase{3 * 1048576, "k", "3072.0 kB"}, SizeCase{1099511627776 * 3, "", "3.0 TB"},
                    SizeCase{1099511627776 * 3, "g", "3072.0 GB"}),
    sizeRowName);

TEST(Transform, SizesIgnoreADecimalCommaLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text = Transform::storageSizeToString(1536);
    QLocale::setDefault(before);
    EXPECT_EQ(text, QLatin1String("1.5 kB"));
}

TEST(Transform, PixmapSurvivesBase64RoundTripAndNullsStayNull)
{
    EXPECT_TRUE(Transform::pixmapToBase64(QPixmap()).isNull());
    EXPECT_TRUE(Transform::base64ToPixmap(QString()).isNull());
    EXPECT_TRUE(Transform::base64ToPixmap(QStringLiteral("@@@")).isNull());
    EXPECT_TRUE(Transform::base64ToPixmap(QStringLiteral("AAAAAQ==")).isNull());  // marker, no picture

    QImage picture(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            picture.setPixel(x, y, qRgb(x * 30, y * 50, 200));
    const QString text = Transform::pixmapToBase64(QPixmap::fromImage(picture));
    EXPECT_TRUE(text.startsWith(QLatin1String("AAAAAYlQTkc")));  // big-endian 1, then a PNG file
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
    const QImage back = Transform::base64ToPixmap(text).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, picture);
}

TEST(Platform, AnswersForThisLinuxBuild)
{
    EXPECT_TRUE(Platform::isLinux());
    EXPECT_FALSE(Platform::isWindows());
    EXPECT_FALSE(Platform::isMac());
    EXPECT_EQ(Platform::os(), QLatin1String("linux"));
    EXPECT_EQ(Platform::platform(), QLatin1String(sizeof(void*) == 8 ? "linux-64" : "linux-32"));
    EXPECT_EQ(Platform::windowsVersion(), Platform::UnknownWindowsVersion);
    EXPECT_EQ(Platform::macVersion(), Platform::UnknownMacVersion);
#if defined(__x86_64__)
    EXPECT_EQ(Platform::architecture(), Platform::x64);
#endif
    EXPECT_LE(int(Platform::isUbuntu()) + int(Platform::isDebian()) + int(Platform::isFedora()), 1);
}

TEST(QmlTypes, ViewsCreateTransformAndPlatformAndCallTheirFunctions)
{
    ComponentModel::registerQmlTypes();
    ComponentModel::registerQmlTypes();
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQml 2.0\nimport ComponentModel 1.0\n"
                      "QtObject {\n"
                      "  property var transform: Transform {}\n"
                      "  property var platform: Platform {}\n"
                      "  property string left: transform.timeToString(13000, 'remain')\n"
                      "  property string clock: transform.timeToString(123000, 'mm:ss')\n"
                      "  property string size: transform.storageSizeToString(1024)\n"
                      "  property string name: platform.platform()\n"
                      "}\n",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    ASSERT_TRUE(root) << component.errorString().toStdString();
    EXPECT_EQ(root->property("left").toString(), QLatin1String("20 sec"));
    EXPECT_EQ(root->property("clock").toString(), QLatin1String("02:03"));
    EXPECT_EQ(root->property("size").toString(), QLatin1String("1.0 kB"));
    EXPECT_EQ(root->property("name").toString(), Platform::platform());
}
