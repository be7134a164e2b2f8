#include "componentmodel/FileHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace FileHelpers;

namespace {

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

} // namespace

TEST(FileHelpers, SanitizeBlanksReservedCharactersAndDropsQuestionMarks)
{
    EXPECT_EQ(sanitizeFileName(QStringLiteral("a:b*c/d\\e?f|g'h\"i<j>k")), QLatin1String("a b c d ef g h i j k"));
    EXPECT_EQ(sanitizeFileName(QStringLiteral("Holiday 2012")), QLatin1String("Holiday 2012"));
    EXPECT_EQ(sanitizeFileName(QStringLiteral("  ??  ")), QLatin1String("    "));
    EXPECT_EQ(sanitizeFileName(QString()), QString());
}

TEST(FileHelpers, UniqueFilePathNumbersFromTwoAndNeverReturnsAnExistingFile)
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    EXPECT_EQ(uniqueFilePath(dir.path(), QStringLiteral("Show"), QStringLiteral(".mp4")),
              folder.absoluteFilePath(QStringLiteral("Show.mp4")));
    touch(folder.absoluteFilePath(QStringLiteral("Show.mp4")));
    EXPECT_EQ(uniqueFilePath(dir.path(), QStringLiteral("Show"), QStringLiteral(".mp4")),
              folder.absoluteFilePath(QStringLiteral("Show (2).mp4")));
    touch(folder.absoluteFilePath(QStringLiteral("Show (2).mp4")));
    folder.mkdir(QStringLiteral("Show (3).mp4"));  // a folder takes the name too
    // So does a link to nothing: the video would be written where it points.
    ASSERT_TRUE(QFile::link(folder.absoluteFilePath(QStringLiteral("elsewhere/video.mp4")),
                            folder.absoluteFilePath(QStringLiteral("Show (4).mp4"))));
    EXPECT_EQ(uniqueFilePath(dir.path(), QStringLiteral("Show"), QStringLiteral(".mp4")),
              folder.absoluteFilePath(QStringLiteral("Show (5).mp4")));

    EXPECT_EQ(uniqueFilePath(dir.path(), QStringLiteral("a/b"), QStringLiteral(".mp4")),
              folder.absoluteFilePath(QStringLiteral("a b.mp4")));
    // Placeholders in a name are text, not arguments.
    EXPECT_EQ(uniqueFilePath(dir.path(), QStringLiteral("Show %2"), QStringLiteral(".mp4")),
              folder.absoluteFilePath(QStringLiteral("Show %2.mp4")));
    touch(folder.absoluteFilePath(QStringLiteral("Show %2.mp4")));
    EXPECT_EQ(uniqueFilePath(dir.path(), QStringLiteral("Show %2"), QStringLiteral(".mp4")),
              folder.absoluteFilePath(QStringLiteral("Show %2 (2).mp4")));
}

TEST(FileHelpers, UniqueFilePathIsEmptyWhenEveryNameIsTaken)
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    touch(folder.absoluteFilePath(QStringLiteral("x.avi")));
    for (int n = 2; n <= 9999; ++n)
        touch(folder.absoluteFilePath(QStringLiteral("x (%1).avi").arg(n)));
    EXPECT_EQ(uniqueFilePath(dir.path(), QStringLiteral("x"), QStringLiteral(".avi")), QString());
}

TEST(FileHelpers, NamesAreBuiltInTheGivenFolder)
{
    const QRegularExpression uuid(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    const QString id = createUniqueId(QString());
    EXPECT_TRUE(uuid.match(id).hasMatch()) << id.toStdString();
    EXPECT_NE(createUniqueId(QString()), id);
    EXPECT_TRUE(createUniqueId(QStringLiteral(".xml")).endsWith(QLatin1String(".xml")));

    EXPECT_EQ(siblingFilePath(QStringLiteral("photos/beach.2012.jpg"), QStringLiteral(".xml")),
              QDir::current().absoluteFilePath(QStringLiteral("photos/beach.2012.xml")));
    EXPECT_EQ(filePathInDirectory(QStringLiteral("/videos"), QStringLiteral("My: show"), QStringLiteral(".avi")),
              QLatin1String("/videos/My  show.avi"));
}
