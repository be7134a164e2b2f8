#include "mvvm/StartFolder.h"

#include "componentmodel/PatientLook.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>

namespace Mvvm {

namespace {

// A disk answers far sooner, a share that hangs never.
const std::chrono::milliseconds folderPatience(100);

QString nearestFolder(const QString& wanted)
{
    QFileInfo folder(wanted);
    if (folder.isDir())
        return wanted;
    while (!folder.isDir()) {
        const QString parent = folder.absolutePath();
        if (parent == folder.absoluteFilePath())
            return QString();
        folder.setFile(parent);
    }
    return folder.absoluteFilePath();
}

// nearestFolder(), once its listing has answered.
QString listedNearestFolder(const QString& wanted)
{
    const QString folder = nearestFolder(wanted);
    if (DIR* listing = folder.isEmpty() ? nullptr : ::opendir(QFile::encodeName(folder).constData())) {
        ::readdir(listing);
        ::closedir(listing);
    }
    return folder;
}

} // namespace

QString startFolder(const QStringList& candidates)
{
    for (const QString& candidate : candidates) {
        const auto found =
            ComponentModel::lookWithin(candidate, folderPatience, [candidate] { return listedNearestFolder(candidate); });
        if (found && !found->isEmpty())
            return *found;
        if (!found)
            qWarning().noquote() << "[Dialog] the folder does not answer:" << candidate;
    }
    return QDir::rootPath();
}

QString folderToRemember(const QString& chosen, bool chosenIsFolder)
{
    const QString folder = chosenIsFolder ? chosen : QFileInfo(chosen).absolutePath();
    const auto canonical = ComponentModel::lookWithin(folder, folderPatience,
                                                      [folder] { return QFileInfo(folder).canonicalFilePath(); });
    return canonical && !canonical->isEmpty() ? *canonical : folder;
}

} // namespace Mvvm
