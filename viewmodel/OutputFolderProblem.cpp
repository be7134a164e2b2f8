#include "viewmodel/OutputFolderProblem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace ViewModel {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ViewModel::OutputFolderProblem", text);
}

QString problemText(const QString& folder, int error)
{
    switch (error) {
    case ENOENT:
        return tr("The folder \"%1\" does not exist. If it is on a drive that is not plugged in, plug it in; "
                  "otherwise choose another output folder in the settings.");
    case ENOTDIR:
        // A file (or a device) by that name; else a file stands in its path.
        if (QFileInfo::exists(folder))
            return tr("\"%1\" is a file, not a folder. Choose another output folder in the settings.");
        return problemText(folder, ENOENT);
    case EACCES:
    case EPERM:
        return tr("You may not write into the folder \"%1\". Choose another output folder in the settings.");
    case EROFS:
        return tr("The folder \"%1\" is on a drive that can only be read. Choose another output folder in the "
                  "settings.");
    case ENOSPC:
    case EDQUOT:
        return tr("The disk of the folder \"%1\" is full. Make room on it or choose another output folder in the "
                  "settings.");
    case EFBIG:
        return tr("The video grew larger than one file may be in the folder \"%1\". Choose an output folder on "
                  "another drive in the settings.");
    case ENAMETOOLONG:
        return tr("The path of the folder \"%1\" is too long. Choose another output folder in the settings.");
    default:
        return QString();
    }
}

} // namespace

QString outputFolderProblem(const QString& folder, int error)
{
    const QString shown = QDir::toNativeSeparators(folder);
    const QString text = problemText(folder, error);
    if (!text.isEmpty())
        return text.arg(shown);
    return tr("Writing into the folder \"%1\" failed: %2.").arg(shown, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace ViewModel
