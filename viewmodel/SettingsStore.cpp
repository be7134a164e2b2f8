#include "viewmodel/SettingsStore.h"

#include "viewmodel/SettingsMirror.h"
#include "viewmodel/StoresInFlight.h"

#include "files/DTFailureReason.h"
#include "files/DTRegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtDebug>

#include <sys/stat.h>

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

QString userConfigFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/');
}

// The files a QSettings of the user's scope reads, as Qt names them on
// this platform below the configuration folder: the application's, then
// the organisation's.
QStringList userSettingsFiles()
{
    const QString organization = QCoreApplication::organizationName();
    return {organization + QLatin1Char('/') + QCoreApplication::applicationName() + QStringLiteral(".conf"),
            organization + QStringLiteral(".conf")};
}

void setUserSettingsFolder(const QString& folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

bool writeWhole(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(content) == content.size() && file.flush();
}

} // namespace

SettingsStore::SettingsStore() : results_(this), lookForChanges_(this)
{
    // Made by whichever thread stores first (the storyboard saves on a
    // thread of its own); what it tells and looks for runs on the window's.
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
    // Changes written by a QSettings alone, without a store.
    lookForChanges_.setInterval(1000);
    connect(&lookForChanges_, &QTimer::timeout, this, [this] {
        const std::lock_guard<std::mutex> lock(mirrorMutex_);
        if (mirror_)
            mirror_->writeBack(false);
    });
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
    const QString folder = userConfigFolder();
    for (const QString& name : userSettingsFiles()) {
        struct stat status;
        // A file that cannot be looked at is not opened by Qt either.
        const QString path = folder + name;
        if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode))
            return keepOut(path, QString::fromStdString(kestrel::irregular_file_reason(status.st_mode)));
    }
    auto scratch = std::make_unique<QTemporaryDir>();
    if (!scratch->isValid()) {
        qWarning().noquote() << "[SettingsStore] no folder for the settings' working copies:"
                             << scratch->errorString() << "; they are written in place";
        return;
    }
    QList<SettingsMirror::File> files;
    for (const QString& name : userSettingsFiles()) {
        const QString user = folder + name, copy = scratch->filePath(name);
        removeUnfinishedStores(user);
        QFile file(user);
        if (file.exists()) {
            errno = 0;
            if (!file.open(QIODevice::ReadOnly))
                return keepOut(user, QString::fromStdString(kestrel::errors::file_access_reason(errno ? errno : EIO)));
            const QByteArray held = file.readAll();
            if (file.error() != QFile::NoError)
                return keepOut(user, QString::fromStdString(kestrel::errors::file_access_reason(EIO)));
            if (!writeWhole(copy, held)) {
                qWarning().noquote() << "[SettingsStore] no working copy of the settings:" << copy
                                     << "; they are written in place";
                return;
            }
        }
        files.append({user, copy});
    }
    for (const SettingsMirror::File& file : files)
        copies_.append({file.user, file.copy});
    setUserSettingsFolder(scratch->path());
    scratch_ = std::move(scratch);
    mirror_ = std::make_unique<SettingsMirror>(files, [this](const QString& user, const QString& cause) {
        results_.postCall([this, user, cause] { cause.isEmpty() ? storeWorked() : storeFailed(user, cause); });
    });
    lookForChanges_.start();
}

void SettingsStore::keepOut(const QString& path, const QString& kind)
{
    keptOut_ = path;
    keptOutKind_ = kind;
    scratch_ = std::make_unique<QTemporaryDir>();
    // Without a scratch folder, a place below a device, where nothing is
    // ever found or made: every QSettings starts from the defaults.
    setUserSettingsFolder(scratch_->isValid() ? scratch_->path() : QStringLiteral("/dev/null/settings"));
    qWarning().noquote() << "[SettingsStore] the settings file is left alone:" << path << keptOutKind_
                         << "; the settings of this run are not stored";
}

void SettingsStore::finish()
{
    lookForChanges_.stop();
    std::unique_ptr<SettingsMirror> mirror;
    {
        const std::lock_guard<std::mutex> lock(mirrorMutex_);
        mirror = std::move(mirror_);
    }
}

QString SettingsStore::userFile(const QString& fileName) const
{
    for (const auto& [user, copy] : copies_)
        if (copy == fileName)
            return user;
    return fileName;
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
        const std::lock_guard<std::mutex> lock(mirrorMutex_);
        if (mirror_)
            mirror_->writeBack(true);
        else
            results_.postCall([this] { storeWorked(); });
        return true;
    }
    const QString file = userFile(settings.fileName());
    const QString cause = settingsStoreProblem(settings, settings.fileName());
    results_.postCall([this, file, cause] { storeFailed(file, cause); });
    return false;
}

void SettingsStore::storeWorked() { told_.storeWorked(); }

void SettingsStore::storeFailed(const QString& file, const QString& cause)
{
    qWarning().noquote() << "[SettingsStore] the settings could not be stored:" << file << cause;
    // Already queued: told at once, in its place among what was queued.
    const QString message = tr("The settings could not be stored in \"%1\": %2.").arg(shown(file), cause) +
                            QLatin1Char('\n') +
                            tr("Until they can be stored, changes to them will be lost when the program ends.");
    if (told_.isNew(message))
        emit problem(message);
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
    const QString file = userFile(settings.fileName());
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
