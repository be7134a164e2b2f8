#include "viewmodel/SettingsCopies.h"

#include "viewmodel/UnfinishedStores.h"

#include "componentmodel/RunFolder.h"

#include "files/DTFailureReason.h"
#include "files/DTRegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QtDebug>

#include <sys/stat.h>

#include <cerrno>
#include <optional>

namespace ViewModel {

using ComponentModel::RunFolder;
using ComponentModel::SettingsChanges;

namespace {

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

// What stands at the user's file `path`, when Qt may not open it (it
// would open whatever stands there); empty for a regular file or nothing.
QString irregular(const QString& path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return QString::fromStdString(kestrel::irregular_file_reason(status.st_mode));
    return QString();
}

// The user's file whole, nothing when none stands there; why it could
// not be read in `unreadable`.
std::optional<QByteArray> readUserFile(const QString& path, QString& unreadable)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable = QString::fromStdString(kestrel::errors::file_access_reason(errno ? errno : EIO));
        return std::nullopt;
    }
    const QByteArray held = file.readAll();
    if (file.error() != QFile::NoError)
        unreadable = QString::fromStdString(kestrel::errors::file_access_reason(EIO));
    return held;
}

} // namespace

SettingsCopies::SettingsCopies() = default;

SettingsCopies::~SettingsCopies() = default;

void SettingsCopies::start(SettingsMirror::Report report)
{
    const QString config = userConfigFolder();
    const QStringList names = userSettingsFiles();
    for (const QString& name : names)
        if (const QString kind = irregular(config + name); !kind.isEmpty())
            return keepOut(config + name, kind);
    QList<std::optional<QByteArray>> contents;
    for (const QString& name : names) {
        QString unreadable;
        contents << readUserFile(config + name, unreadable);
        if (!unreadable.isEmpty())
            return keepOut(config + name, unreadable);
    }
    // What runs that ended without their end left, the oldest first.
    const QStringList leftBehind = RunFolder::leftBehind(QCoreApplication::applicationName());
    QList<QList<SettingsMirror::LeftBehind>> left(names.size());
    for (const QString& folder : leftBehind)
        for (int i = 0; i < names.size(); ++i)
            if (const auto run = SettingsMirror::leftBehind(folder, names[i]))
                left[i] << *run;
    for (const QString& name : names)
        removeUnfinishedStores(config + name);

    QString refusal;
    for (const QString& place : RunFolder::places()) {
        auto folder = std::make_unique<RunFolder>(QCoreApplication::applicationName(), place);
        if (!folder->isValid())
            continue;
        refusal.clear();
        QList<SettingsMirror::File> files;
        for (int i = 0; i < names.size() && refusal.isEmpty(); ++i)
            files << makeCopy(*folder, config + names[i], names[i], contents[i], left[i], refusal);
        if (!refusal.isEmpty()) {
            // Another place may take them.
            qWarning().noquote() << "[SettingsStore] no working copy of the settings in" << folder->path() << ":"
                                 << refusal;
            refusedFolder_ = folder->path();
            folder->remove();
            continue;
        }
        folder_ = std::move(folder);
        for (int i = 0; i < names.size(); ++i)
            copies_.append({config + names[i], folder_->handle() + QLatin1Char('/') + names[i]});
        ComponentModel::useSettingsFolder(folder_->handle());
        mirror_ = std::make_unique<SettingsMirror>(*folder_, files, std::move(report));
        // Only once this run's folder holds what they left, whole.
        for (const QString& folder : mirror_->recordsKept() ? leftBehind : QStringList()) {
            qInfo().noquote() << "[SettingsStore] merged the settings a run left in" << folder;
            RunFolder::removeFolder(folder);
        }
        mirror_->writeBack(true);
        return;
    }
    if (!refusal.isEmpty()) {
        refused_ = refusal;
        return keepOut(config + names.constFirst(), refusal);
    }
    qWarning().noquote() << "[SettingsStore] no folder for the settings' working copies; they are written in place";
}

SettingsMirror::File SettingsCopies::makeCopy(RunFolder& folder, const QString& user, const QString& name,
                                              const std::optional<QByteArray>& content,
                                              const QList<SettingsMirror::LeftBehind>& left, QString& refusal)
{
    SettingsMirror::File file{user, name, {}};
    if (!content && left.isEmpty())
        return file;
    const QByteArray start = content.value_or(QByteArray());
    const ComponentModel::SettingsWrite written = ComponentModel::rewriteSettingsFile(
        folder.handle() + QLatin1Char('/') + name,
        [&file, &left](QSettings& copy) {
            for (const QString& key : copy.allKeys())
                file.stored.insert(key, copy.value(key));
            ComponentModel::applySettingsChanges(copy, SettingsMirror::mergeLeftBehind(file.stored, left));
        },
        &start);
    // A damaged file is still copied: what Qt reads of it is the run's.
    if (written.status == QSettings::AccessError)
        refusal = settingsStoreProblem(written, folder.path() + QLatin1Char('/') + name);
    return file;
}

void SettingsCopies::keepOut(const QString& path, const QString& kind)
{
    keptOut_ = path;
    keptOutKind_ = kind;
    if (!folder_)
        folder_ = std::make_unique<RunFolder>(QCoreApplication::applicationName());
    // Without a folder, a place below a device, where nothing is ever found
    // or made: every QSettings starts from the defaults.
    ComponentModel::useSettingsFolder(folder_->isValid() ? folder_->handle() : QStringLiteral("/dev/null/settings"));
    qWarning().noquote() << "[SettingsStore] the settings file is left alone:" << path << kind
                         << "; the settings of this run are not stored";
}

void SettingsCopies::finish()
{
    std::unique_ptr<SettingsMirror> mirror;
    {
        const std::lock_guard<std::mutex> lock(mirrorMutex_);
        mirror = std::move(mirror_);
    }
    const bool written = !mirror || mirror->finish();
    mirror.reset();
    if (!folder_)
        return;
    // What the user's file could not take stays for the next start, which
    // takes it where the file has not moved on since.
    if (written)
        folder_->remove();
    else
        qWarning().noquote() << "[SettingsStore] the settings' latest changes are kept for the next start in"
                             << folder_->path();
}

QString SettingsCopies::userFile(const QString& fileName) const
{
    for (const auto& [user, copy] : copies_)
        if (copy == fileName)
            return user;
    return fileName;
}

void SettingsCopies::endBegins()
{
    const std::lock_guard<std::mutex> lock(mirrorMutex_);
    if (mirror_)
        mirror_->stopLooking();
}

bool SettingsCopies::mend()
{
    const std::lock_guard<std::mutex> lock(mirrorMutex_);
    return mirror_ && folder_->mend();
}

bool SettingsCopies::writeBack(bool retry)
{
    const std::lock_guard<std::mutex> lock(mirrorMutex_);
    if (mirror_)
        mirror_->writeBack(retry);
    return mirror_ != nullptr;
}

void SettingsCopies::remove(QSettings& settings, const QString& key)
{
    const std::lock_guard<std::mutex> lock(mirrorMutex_);
    if (mirror_)
        mirror_->remove(settings, key);
    else
        settings.remove(key);
}

} // namespace ViewModel
