#include "viewmodel/SettingsStore.h"

#include "viewmodel/StoresInFlight.h"

#include "files/DTFailureReason.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QtDebug>

#include <cerrno>

namespace ViewModel {

namespace {

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

QString readProblem(const QSettings& settings, const QString& file)
{
    const QFileInfo info(file);
    if (settings.status() == QSettings::FormatError)
        return SettingsStore::tr("it is damaged");
    const int error = info.isDir() ? EISDIR : info.isFile() && !info.isReadable() ? EACCES : 0;
    return error ? QString::fromStdString(kestrel::errors::file_access_reason(error))
                 : SettingsStore::tr("it cannot be opened");
}

} // namespace

SettingsStore::SettingsStore() : results_(this)
{
    // Made by whichever thread stores first (the storyboard saves on a
    // thread of its own); what it tells runs on the window's.
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::event(QEvent* event) { return results_.handled(event) || QObject::event(event); }

SettingsStore& SettingsStore::instance()
{
    static SettingsStore store;
    return store;
}

void SettingsStore::workOnCopies()
{
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { copies_.endBegins(); });
    copies_.start([this](SettingsMirror::Place place, const QString& file, const QString& cause) {
        results_.postCall([this, place, file, cause] { reported(place, file, cause); });
    });
}

void SettingsStore::finish() { copies_.finish(); }

bool SettingsStore::store(QSettings& settings)
{
    {
        const StoreInFlight inFlight;
        settings.sync();
        // The copies' folder removed from outside: what Qt holds unwritten
        // goes with the last QSettings of the file, unless written anew
        // (Qt's word on it stays that of the failed write).
        if (settings.status() != QSettings::NoError && copies_.mend())
            settings.sync();
    }
    const bool written = settings.status() == QSettings::NoError;
    // Kept out: the user knows from the start that nothing is stored. On
    // copies, the mirror finds what reached the copy and tells.
    if (keepsOut() || copies_.writeBack(true))
        return written;
    const QString file = settings.fileName();
    const QString cause = written ? QString() : settingsStoreProblem({settings.status(), 0}, file);
    results_.postCall([this, file, cause] { reported(SettingsMirror::Place::UserFile, file, cause); });
    return written;
}

void SettingsStore::remove(const QString& key)
{
    QSettings settings;
    copies_.remove(settings, key);
    store(settings);
}

void SettingsStore::reported(SettingsMirror::Place place, const QString& file, const QString& cause)
{
    ProblemMemory& told = place == SettingsMirror::Place::UserFile ? told_ : toldOfCopies_;
    if (cause.isEmpty())
        told.storeWorked();
    else if (place == SettingsMirror::Place::UserFile)
        storeFailed(file, cause);
    else
        copiesFailed(file, cause);
}

void SettingsStore::storeFailed(const QString& file, const QString& cause)
{
    qWarning().noquote() << "[SettingsStore] the settings could not be stored:" << file << cause;
    // Already queued: told at once, in its place among what was queued.
    const QString message = tr("The settings could not be stored in \"%1\" (on the disk at \"%2\"): %3.")
                                 .arg(shown(file), shown(diskOf(file)), cause) +
                            QLatin1Char('\n') +
                            tr("Until they can be stored, the latest changes are kept for the program's next start.");
    if (told_.isNew(message))
        emit problem(message);
}

void SettingsStore::copiesFailed(const QString& folder, const QString& cause)
{
    qWarning().noquote() << "[SettingsStore] the settings' working copies could not be stored:" << folder << cause;
    const QString message =
        tr("The settings could not be stored in the working folder \"%1\" (on the disk at \"%2\"): %3.")
            .arg(shown(folder), shown(diskOf(folder)), cause) +
        QLatin1Char('\n') + tr("Until they can, the latest changes to them may be lost.");
    if (toldOfCopies_.isNew(message))
        emit problem(message);
}

bool SettingsStore::checkRead(const QSettings& settings)
{
    if (!copies_.refused().isEmpty()) {
        const QString folder = copies_.refusedFolder();
        tell(tr("The settings could not be copied into the working folder \"%1\" (on the disk at \"%2\"): %3.")
                 .arg(shown(folder), shown(diskOf(folder)), copies_.refused()) +
             QLatin1Char('\n') +
             tr("The program starts with its own settings and leaves \"%1\" as it is; changes to the settings "
                "will be lost when the program ends.")
                 .arg(shown(copies_.keptOut())));
        return false;
    }
    if (keepsOut()) {
        tell(tr("The settings in \"%1\" could not be read: %2.").arg(shown(copies_.keptOut()), copies_.keptOutKind()) +
             QLatin1Char('\n') +
             tr("The program starts with its own settings and leaves what stands there as it is; changes to "
                "the settings will be lost when the program ends."));
        return false;
    }
    if (settings.status() == QSettings::NoError)
        return true;
    const QString file = copies_.userFile(settings.fileName());
    const QString cause = readProblem(settings, file);
    qWarning().noquote() << "[SettingsStore] the settings could not be read:" << file << cause;
    tell(tr("The settings in \"%1\" could not be read: %2.").arg(shown(file), cause) + QLatin1Char('\n') +
         tr("The program starts with its own settings."));
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
