#include "componentmodel/SettingsFiles.h"

#include "componentmodel/WholeFileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ComponentModel {

SettingsValues settingsValues(const QString& file, QSettings::Status* status)
{
    const QSettings settings(file, QSettings::IniFormat);
    SettingsValues values;
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    if (status)
        *status = settings.status();
    return values;
}

SettingsChanges settingsChanges(const SettingsValues& before, const SettingsValues& now)
{
    SettingsChanges changes;
    for (auto value = now.cbegin(); value != now.cend(); ++value) {
        const auto was = before.constFind(value.key());
        if (was == before.cend() || was.value() != value.value())
            changes.set.insert(value.key(), value.value());
    }
    return changes;
}

void applySettingsChanges(QSettings& settings, const SettingsChanges& changes)
{
    for (auto value = changes.set.cbegin(); value != changes.set.cend(); ++value)
        settings.setValue(value.key(), value.value());
    for (const QString& key : changes.removed)
        settings.remove(key);
}

SettingsWrite writeSettingsChanges(const QString& file, const SettingsChanges& changes)
{
    return rewriteSettingsFile(file, [&changes](QSettings& settings) { applySettingsChanges(settings, changes); });
}

SettingsWrite writeSettingsValues(const QString& file, const SettingsValues& values)
{
    const QByteArray nothing;
    return rewriteSettingsFile(
        file, [&values](QSettings& settings) { applySettingsChanges(settings, {values, {}}); }, &nothing);
}

bool writeSettingsFile(const QString& path, const QByteArray& content)
{
    return QDir().mkpath(QFileInfo(path).path()) && writeWholeFile(path, content) == 0;
}

bool copySettingsFile(const QString& from, const QString& to)
{
    QFile original(from);
    if (!original.exists())
        return true;
    if (!original.open(QIODevice::ReadOnly))
        return false;
    const QByteArray held = original.readAll();
    return original.error() == QFile::NoError && writeSettingsFile(to, held);
}

bool endsWhole(const QString& file)
{
    QFile settings(file);
    if (!settings.open(QIODevice::ReadOnly) || settings.size() == 0 || !settings.seek(settings.size() - 1))
        return false;
    char last = 0;
    return settings.getChar(&last) && last == '\n';
}

bool readsWhole(const QString& file)
{
    QSettings::Status status;
    const SettingsValues values = settingsValues(file, &status);
    return status == QSettings::NoError && (values.isEmpty() || endsWhole(file));
}

void useSettingsFolder(const QString& folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

} // namespace ComponentModel
