#include "viewmodel/UnlistableNames.h"

#include "viewmodel/FileListMessage.h"
#include "viewmodel/FileRefusalText.h"
#include "viewmodel/ShownPath.h"
#include "viewmodel/WaitingFiles.h"

#include "base/DTNameOrder.h"
#include "base/DTUtf8Text.h"
#include "files/DTFolderEntries.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <string>
#include <vector>

namespace ViewModel {

namespace {

// A name shown escaped ("caf\\xe9.jpg") keeps its extension as it is.
bool matches(const QString& shown, const QStringList& patterns)
{
    if (patterns.isEmpty())
        return true;
    return std::any_of(patterns.begin(), patterns.end(), [&shown](const QString& pattern) {
        return QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive).match(shown).hasMatch();
    });
}

} // namespace

QString unlistableNamesNote(const QString& folder, const QStringList& patterns)
{
    const std::string bytes = QFile::encodeName(folder).toStdString();
    std::vector<std::string> names;
    if (bytes.empty() || kestrel::list_folder(bytes, names, false, lookPatience) != 0)
        return QString();
    std::sort(names.begin(), names.end(), kestrel::name_order_less);
    QList<NamedFile> unlistable;
    for (const std::string& name : names) {
        if (!kestrel::is_utf8_text(name) && matches(shownPath(name), patterns))
            unlistable.append({shownPath(bytes + '/' + name), refusalText(kestrel::file_refusal::name_not_utf8)});
    }
    if (unlistable.isEmpty())
        return QString();
    return fileListMessage(
        QCoreApplication::translate("ViewModel::UnlistableNames", "This folder holds files the dialog cannot show:"),
        unlistable);
}

} // namespace ViewModel
