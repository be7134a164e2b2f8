#include "viewmodel/UnfinishedStores.h"

#include "componentmodel/FileHelpers.h"
#include "componentmodel/RunFolder.h"
#include "componentmodel/SettingsFileLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

namespace ViewModel {

namespace {

const int randomLength = 6;

// Whether `rest` (a name after the file's name and a dot) is a temporary
// file's six letters or digits.
bool isRandom(const QString& rest) { return FileHelpers::isTemporaryName(rest, QString()); }

enum class Leftover { None, File, Lock };

// What the entry of that name beside the file is, `rest` the part after
// the file's name and its dot.
Leftover leftoverKind(const QString& rest)
{
    if (rest == QLatin1String("lock") || rest == QLatin1String("lock.rmlock"))
        return Leftover::Lock;
    const QString random = rest.left(randomLength), after = rest.mid(randomLength);
    if (!isRandom(random))
        return Leftover::None;
    if (after.isEmpty() || (after.startsWith(QLatin1Char('.')) && isRandom(after.mid(1))))
        return Leftover::File;
    if (after == QLatin1String(".lock") || after == QLatin1String(".lock.rmlock"))
        return Leftover::Lock;
    return Leftover::None;
}

} // namespace

void removeUnfinishedStores(const QString& path)
{
    const QFileInfo file(path);
    const QString name = file.fileName();
    if (name.isEmpty() || ComponentModel::RunFolder::othersLive(QCoreApplication::applicationName()))
        return;
    const QDir folder = file.absoluteDir();
    const QString stem = name + QLatin1Char('.');
    for (const QString& candidate :
         folder.entryList({stem + QStringLiteral("*")}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
        const Leftover kind = leftoverKind(candidate.mid(stem.size()));
        const QString leftover = folder.filePath(candidate);
        const QByteArray encoded = QFile::encodeName(leftover);
        struct stat status;
        if (kind == Leftover::None || ::lstat(encoded.constData(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        if (kind == Leftover::Lock)
            ComponentModel::removeAbandonedLock(leftover);
        else
            ::unlink(encoded.constData());
    }
}

} // namespace ViewModel
