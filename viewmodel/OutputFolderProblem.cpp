#include "viewmodel/OutputFolderProblem.h"

#include "viewmodel/ShownPath.h"

#include "files/DTOutputFolderProblem.h"

#include <QCoreApplication>
#include <QDir>

#include <system_error>

namespace ViewModel {

namespace {

typedef kestrel::output_folder_cause Cause;

QString tr(const char* text)
{
    return QCoreApplication::translate("ViewModel::OutputFolderProblem", text);
}

QString whatToDo(Cause cause)
{
    switch (cause) {
    case Cause::missing:
        return tr("If it is on a drive that is not plugged in, plug it in; otherwise choose another output folder "
                  "in the settings.");
    case Cause::removed:
        return tr("Otherwise choose another output folder in the settings.");
    case Cause::disk_full:
        return tr("Make room on it or choose another output folder in the settings.");
    case Cause::file_too_large:
        return tr("Choose an output folder on another drive in the settings.");
    case Cause::other:
        return QString();
    default:
        return tr("Choose another output folder in the settings.");
    }
}

} // namespace

QString outputFolderProblem(const std::string& folder, int error, bool removed)
{
    const Cause cause = kestrel::output_folder_cause_of(folder, error, removed);
    const QString shown = QDir::toNativeSeparators(shownPath(folder));
    const QString words = QCoreApplication::translate("kestrel", kestrel::output_folder_cause_words(cause));
    if (cause == Cause::other)
        return words.arg(shown, QString::fromStdString(std::generic_category().message(error)));
    return words.arg(shown) + QLatin1Char(' ') + whatToDo(cause);
}

QString outputFolderProblem(const QString& folder, int error, bool removed)
{
    return outputFolderProblem(folder.toUtf8().toStdString(), error, removed);
}

} // namespace ViewModel
