#include "viewmodel/SettingsStore.h"

#include "viewmodel/StoresInFlight.h"

#include "files/DTFailureReason.h"
#include "files/DTRegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtDebug>

#include <sys/stat.h>

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

// The files a QSettings of the user's scope reads, as Qt names them on
// this platform: the application's, then the organisation's.
QStringList userSettingsFiles()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/');
    const QString organization = QCoreApplication::organizationName();
    return {folder + organization + QLatin1Char('/') + QCoreApplication::applicationName() + QStringLiteral(".conf"),
            folder + organization + QStringLiteral(".conf")};
}

} // namespace

SettingsStore::SettingsStore() = default;

SettingsStore::~SettingsStore() = default;

SettingsStore& SettingsStore::instance()
{
    static SettingsStore store;
    return store;
}

bool SettingsStore::keepOutIrregularFile()
{
    for (const QString& path : userSettingsFiles()) {
        struct stat status;
        // A file that cannot be looked at is not opened by Qt either.
        if (::stat(QFile::encodeName(path).constData(), &status) != 0 || S_ISREG(status.st_mode))
            continue;
        keptOut_ = path;
        keptOutKind_ = QString::fromStdString(kestrel::irregular_file_reason(status.st_mode));
        scratch_ = std::make_unique<QTemporaryDir>();
        // Without a scratch folder, a place below a device, where nothing
        // is ever found or made: every QSettings starts from the defaults.
        const QString place = scratch_->isValid() ? scratch_->path() : QStringLiteral("/dev/null/settings");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, place);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, place);
        qWarning().noquote() << "[SettingsStore] the settings file is left alone:" << path << keptOutKind_
                             << "; the settings of this run are not stored";
        return true;
    }
    return false;
}

bool SettingsStore::store(QSettings& settings)
{
    {
        const StoreInFlight inFlight;
        settings.sync();
    }
    // The user knows from the start that nothing is stored.
    if (!keptOut_.isEmpty())
        return settings.status() == QSettings::NoError;
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
    if (!keptOut_.isEmpty()) {
        tell(tr("The settings in \"%1\" could not be read: %2.").arg(shown(keptOut_), keptOutKind_) +
             QLatin1Char('\n') +
             tr("The program starts with its own settings and leaves what stands there as it is; changes to "
                "the settings will be lost when the program ends."));
        return false;
    }
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
