#include "mvvm/DialogState.h"

#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

namespace Mvvm {

namespace {

const QString openKey = QStringLiteral("Dialog/openDialogDirectory");
const QString saveKey = QStringLiteral("Dialog/saveDialogDirectory");
const QString dirKey = QStringLiteral("Dialog/dirDialogDirectory");
const QString geometryKey = QStringLiteral("Dialog/mainWindowGeometry");

template <typename T>
void writeUnlessEmpty(QSettings& settings, const QString& key, const T& value)
{
    if (!value.isEmpty())
        settings.setValue(key, value);
}

} // namespace

DialogState& dialogState()
{
    static DialogState state;
    return state;
}

void loadDialogSettings()
{
    DialogState& state = dialogState();
    const QSettings settings;
    const QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    state.openDialogDirectory = settings.value(openKey, movies).toString();
    state.saveDialogDirectory = settings.value(saveKey, movies).toString();
    state.dirDialogDirectory = settings.value(dirKey, state.dirDialogDirectory).toString();
    state.mainWindowGeometry = settings.value(geometryKey, state.mainWindowGeometry).toByteArray();
}

void saveDialogSettings()
{
    const DialogState& state = dialogState();
    QSettings settings;
    writeUnlessEmpty(settings, openKey, state.openDialogDirectory);
    writeUnlessEmpty(settings, saveKey, state.saveDialogDirectory);
    writeUnlessEmpty(settings, dirKey, state.dirDialogDirectory);
    writeUnlessEmpty(settings, geometryKey, state.mainWindowGeometry);
}

void rememberMainWindowGeometry(const QWidget& window)
{
    dialogState().mainWindowGeometry = window.saveGeometry();
    saveDialogSettings();
}

} // namespace Mvvm
