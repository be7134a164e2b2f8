#include "viewmodel/SettingsStore.h"

#include "DTFailureReason.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QtDebug>

#include <cerrno>

namespace ViewModel {

namespace {

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

QString readProblem(const QSettings& settings)
{
    const QFileInfo file(settings.fileName());
    if (settings.status() == QSettings::FormatError)
        return SettingsStore::tr("it is damaged");
    const int error = file.isDir() ? EISDIR : file.isFile() && !file.isReadable() ? EACCES : 0;
    return error ? QString::fromStdString(kestrel::errors::file_access_reason(error))
                 : SettingsStore::tr("it cannot be opened");
}

} // namespace

SettingsStore& SettingsStore::instance()
{
    static SettingsStore store;
    return store;
}

bool SettingsStore::store(QSettings& settings)
{
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        told_.storeWorked();
        return true;
    }
    const QString cause = storeProblem(settings.fileName(), 0,
                                       settings.status() == QSettings::FormatError
                                           ? tr("it is damaged")
                                           : tr("it cannot be written"));
    qWarning().noquote() << "[SettingsStore] the settings could not be stored:" << settings.fileName() << cause;
    tell(tr("The settings could not be stored in \"%1\": %2.").arg(shown(settings.fileName()), cause) +
         QLatin1Char('\n') + tr("Until they can be stored, changes to them will be lost when the program ends."));
    return false;
}

bool SettingsStore::checkRead(const QSettings& settings)
{
    if (settings.status() == QSettings::NoError)
        return true;
    const QString cause = readProblem(settings);
    qWarning().noquote() << "[SettingsStore] the settings could not be read:" << settings.fileName() << cause;
    tell(tr("The settings in \"%1\" could not be read: %2.").arg(shown(settings.fileName()), cause) +
         QLatin1Char('\n') + tr("The program starts with its own settings."));
    return false;
}

void SettingsStore::tell(const QString& message)
{
    if (!told_.isNew(message))
        return;
    QMetaObject::invokeMethod(
        this, [this, message] { emit problem(message); }, Qt::QueuedConnection);
}

} // namespace ViewModel
