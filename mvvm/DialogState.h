#pragma once
// What every Mvvm::Dialog shares for the whole process: the folders the file
// dialogs start in, the main window's saved geometry and extra QML paths.
// The first four are read from the settings store when any Dialog is made
// and written back (when not empty) when any Dialog goes, and also as soon
// as one of them changes: a Dialog made in between (a view's own element)
// reads the store, and must not bring back an older folder. GUI thread only.

#include <QByteArray>
#include <QString>
#include <QStringList>

class QWidget;

namespace Mvvm {

struct DialogState {
    QString openDialogDirectory;
    QString saveDialogDirectory;
    QString dirDialogDirectory;
    QByteArray mainWindowGeometry;
    QStringList importPaths;
    QStringList pluginPaths;
};

DialogState& dialogState();

// "Dialog/openDialogDirectory" and "Dialog/saveDialogDirectory" default to
// the user's movies folder; the other two keys keep what the state holds.
void loadDialogSettings();
void saveDialogSettings();

// Keeps a main window's geometry in the state and in the store.
void rememberMainWindowGeometry(const QWidget& window);

} // namespace Mvvm
