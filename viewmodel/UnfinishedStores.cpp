#include "viewmodel/UnfinishedStores.h"

#include "componentmodel/FileHelpers.h"
#include "componentmodel/RunFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

namespace ViewModel {

void removeUnfinishedStores(const QString& path)
{
    const QFileInfo file(path);
    const QString name = file.fileName();
    if (name.isEmpty() || ComponentModel::RunFolder::othersLive(QCoreApplication::applicationName()))
        return;
    const QDir folder = file.absoluteDir();
    const QString stem = name + QLatin1Char('.');
    for (const QString& candidate : folder.entryList({stem + QStringLiteral("??????")},
                                                     QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
        const QByteArray leftover = QFile::encodeName(folder.filePath(candidate));
        struct stat status;
        if (FileHelpers::isTemporaryName(candidate, stem) && ::lstat(leftover.constData(), &status) == 0 &&
            S_ISREG(status.st_mode))
            ::unlink(leftover.constData());
    }
}

} // namespace ViewModel
