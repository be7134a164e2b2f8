#include "viewmodel/SettingsMirror.h"

#include "viewmodel/StoreProblem.h"

#include <QCoreApplication>
#include <QSettings>

namespace ViewModel {

namespace {

QMap<QString, QVariant> valuesIn(const QString& file)
{
    const QSettings settings(file, QSettings::IniFormat);
    QMap<QString, QVariant> values;
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

} // namespace

QString settingsStoreProblem(const QSettings& settings, const QString& file)
{
    const char* fallback = settings.status() == QSettings::FormatError
                               ? QT_TRANSLATE_NOOP("ViewModel::SettingsStore", "it is damaged")
                               : QT_TRANSLATE_NOOP("ViewModel::SettingsStore", "it cannot be written");
    return storeProblem(file, 0, QCoreApplication::translate("ViewModel::SettingsStore", fallback));
}

SettingsMirror::SettingsMirror(QList<File> files, Report report) : files_(std::move(files)), report_(std::move(report))
{
    for (const File& file : files_) {
        const Values held = valuesIn(file.copy);
        written_.append({held, held, true});
    }
}

SettingsMirror::~SettingsMirror() { writeBack(false); }

void SettingsMirror::writeBack(bool retry)
{
    // A request that would retry is not lost to a later look for changes
    // that takes its place.
    if (retry)
        retry_.store(true);
    thread_.put([this] { writeChanged(retry_.exchange(false)); });
}

void SettingsMirror::writeChanged(bool retry)
{
    for (int i = 0; i < files_.size(); ++i) {
        const Values current = valuesIn(files_[i].copy);
        Written& written = written_[i];
        if (current == written.tried && (written.worked || !retry))
            continue;
        QSettings user(files_[i].user, QSettings::IniFormat);
        for (auto value = current.cbegin(); value != current.cend(); ++value)
            if (written.stored.value(value.key()) != value.value() || !written.stored.contains(value.key()))
                user.setValue(value.key(), value.value());
        for (auto value = written.stored.cbegin(); value != written.stored.cend(); ++value)
            if (!current.contains(value.key()))
                user.remove(value.key());
        user.sync();
        written.tried = current;
        written.worked = user.status() == QSettings::NoError;
        if (written.worked)
            written.stored = current;
        report_(files_[i].user, written.worked ? QString() : settingsStoreProblem(user, files_[i].user));
    }
}

} // namespace ViewModel
