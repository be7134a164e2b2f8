#include "mvvm/QtFileDialogMemory.h"

#include "componentmodel/PatientLook.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace Mvvm {

namespace {

const QString group = QStringLiteral("FileDialog");
const QString lastFolderKey = QStringLiteral("lastVisited");
const QString bookmarksKey = QStringLiteral("shortcuts");

QSettings qtsSettings() { return QSettings(QSettings::UserScope, QStringLiteral("QtProject")); }

// Whether the bookmark's folder answers within `patience`; a bookmark that
// is no folder of this machine ("file:", the computer) is not looked at.
bool answers(const QString& bookmark, std::chrono::milliseconds patience)
{
    const QString path = QUrl(bookmark).toLocalFile();
    if (path.isEmpty())
        return true;
    return ComponentModel::lookWithin(path, patience, [path] { return QFileInfo(path).isDir() ? path : QString(); })
        .has_value();
}

} // namespace

QtFileDialogMemory::QtFileDialogMemory(const QString& start, std::chrono::milliseconds patience)
    : usersFile_(qtsSettings().fileName()), private_(QCoreApplication::applicationName())
{
    if (private_.isValid()) {
        const QString copy = private_.handle() + QLatin1Char('/') + QFileInfo(usersFile_).fileName();
        ComponentModel::copySettingsFile(usersFile_, copy);
        before_ = ComponentModel::settingsValues(copy);
        ComponentModel::useSettingsFolder(private_.handle());
    }
    QSettings qt = qtsSettings();
    qt.beginGroup(group);
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

QtFileDialogMemory::~QtFileDialogMemory() { private_.remove(); }

void QtFileDialogMemory::storeBack()
{
    const ComponentModel::SettingsValues stored = ComponentModel::settingsValues(qtsSettings().fileName());
    ComponentModel::SettingsChanges changes = ComponentModel::settingsChanges(before_, stored);
    // The dialog's own, nothing else Qt may have stored meanwhile.
    for (auto change = changes.set.begin(); change != changes.set.end();)
        change = change.key().startsWith(group + QLatin1Char('/')) ? std::next(change) : changes.set.erase(change);
    const QString bookmarksPath = group + QLatin1Char('/') + bookmarksKey;
    if (!setAside_.isEmpty()) {
        QStringList bookmarks = stored.value(bookmarksPath).toStringList();
        for (const auto& [place, bookmark] : setAside_) {
            if (!bookmarks.contains(bookmark))
                bookmarks.insert(std::min(place, static_cast<int>(bookmarks.size())), bookmark);
        }
        changes.set.insert(bookmarksPath, bookmarks);
    }
    ComponentModel::writeSettingsChanges(usersFile_, changes);
}

QStringList QtFileDialogMemory::privatePaths() const
{
    if (!private_.isValid())
        return QStringList();
    const QString file = private_.path() + QLatin1Char('/') + QFileInfo(usersFile_).fileName();
    return {file, file + QStringLiteral(".lock"), private_.path()};
}

void QtFileDialogMemory::forget(QFileDialog& closed)
{
    // No folder: an empty address, which a later dialog does not go to,
    // and the dialog lists the drives, looking at no folder.
    closed.setDirectory(QString());
}

} // namespace Mvvm
