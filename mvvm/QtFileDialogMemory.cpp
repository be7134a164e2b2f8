#include "mvvm/QtFileDialogMemory.h"

#include "componentmodel/PatientLook.h"

#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QUrl>

namespace Mvvm {

namespace {

const QString lastFolderKey = QStringLiteral("FileDialog/lastVisited");
const QString bookmarksKey = QStringLiteral("FileDialog/shortcuts");

QSettings qtsSettings() { return QSettings(QSettings::UserScope, QStringLiteral("QtProject")); }

// Whether the bookmark's folder answers within `patience`; a bookmark that
// is no folder of this machine ("file:", the computer) is not looked at.
bool answers(const QString& bookmark, std::chrono::milliseconds patience)
{
    const QString path = QUrl(bookmark).toLocalFile();
    if (path.isEmpty())
        return true;
    return ComponentModel::lookWithin(patience, [path] { return QFileInfo(path).isDir() ? path : QString(); })
        .has_value();
}

} // namespace

QtFileDialogMemory::QtFileDialogMemory(const QString& start, std::chrono::milliseconds patience)
{
    QSettings qt = qtsSettings();
    // Written also when Qt has stored nothing: it would restore its older
    // state instead, a folder of its own among it.
    qt.setValue(lastFolderKey, QUrl::fromLocalFile(start).toString());
    const QStringList bookmarks = qt.value(bookmarksKey).toStringList();
    QStringList answering;
    for (int i = 0; i < bookmarks.size(); ++i) {
        if (answers(bookmarks.at(i), patience)) {
            answering << bookmarks.at(i);
        } else {
            qWarning().noquote() << "[Dialog] the bookmark does not answer:" << bookmarks.at(i);
            setAside_ << std::make_pair(i, bookmarks.at(i));
        }
    }
    if (!setAside_.isEmpty())
        qt.setValue(bookmarksKey, answering);
    qt.sync();
}

QtFileDialogMemory::~QtFileDialogMemory()
{
    if (setAside_.isEmpty())
        return;
    QSettings qt = qtsSettings();
    QStringList bookmarks = qt.value(bookmarksKey).toStringList();
    for (const auto& [place, bookmark] : setAside_) {
        if (!bookmarks.contains(bookmark))
            bookmarks.insert(std::min(place, static_cast<int>(bookmarks.size())), bookmark);
    }
    qt.setValue(bookmarksKey, bookmarks);
    qt.sync();
}

void QtFileDialogMemory::forget(QFileDialog& closed)
{
    // No folder: the process's memory is an empty address, which the next
    // dialog does not go to, and the dialog lists the drives, looking at no
    // folder.
    closed.setDirectory(QString());
}

} // namespace Mvvm
