#include "viewmodel/SettingsMirror.h"

#include "viewmodel/StoreProblem.h"
#include "viewmodel/StoresInFlight.h"

#include "componentmodel/RunFolder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace ViewModel {

using ComponentModel::SettingsChanges;
using ComponentModel::SettingsValues;

namespace {

// Changes written by a QSettings alone are looked for this often.
const std::chrono::milliseconds lookInterval(1000);

// Where a copy's word on what the user's file holds of the run's is kept,
// inside the run's folder, and the keys the run removed and has not yet
// written back.
QString storedPath(const QString& folder, const QString& name)
{
    return folder + QStringLiteral("/stored/") + name;
}
QString removedPath(const QString& folder, const QString& name)
{
    return folder + QStringLiteral("/removed/") + name;
}

// Whether `values` hold `key` as `other` does: both with the same value, or
// neither.
bool holdsAlike(const SettingsValues& values, const SettingsValues& other, const QString& key)
{
    const auto one = values.constFind(key), two = other.constFind(key);
    return (one == values.cend()) == (two == other.cend()) && (one == values.cend() || one.value() == two.value());
}

QString tr(const char* text) { return QCoreApplication::translate("ViewModel::SettingsStore", text); }

} // namespace

QString settingsStoreProblem(const ComponentModel::SettingsWrite& write, const QString& file)
{
    const char* fallback = write.status == QSettings::FormatError
                               ? QT_TRANSLATE_NOOP("ViewModel::SettingsStore", "it is damaged")
                               : QT_TRANSLATE_NOOP("ViewModel::SettingsStore", "it cannot be written");
    return storeProblem(file, write.error, tr(fallback));
}

SettingsMirror::SettingsMirror(ComponentModel::RunFolder& folder, QList<File> files, Report report)
    : folder_(folder), files_(std::move(files)), report_(std::move(report)), made_(folder.made())
{
    for (int i = 0; i < files_.size(); ++i) {
        Copy copy;
        copy.held = ComponentModel::settingsValues(folder_.handle() + QLatin1Char('/') + files_[i].name);
        copy.stored = files_[i].stored;
        copies_.append(copy);
        keepStored(i);
    }
    recordsKept_ = lookProblem_.isEmpty();
    reportCopies(lookProblem_);
    thread_.lookEvery(lookInterval, [this] { look(retry_.exchange(false)); });
}

SettingsMirror::~SettingsMirror() { finish(); }

// The run's last word: a write that failed before (a share that hung) is
// tried once more, whether or not the run changed anything since.
bool SettingsMirror::finish()
{
    writeBack(true);
    thread_.finish();
    return allWritten_;
}

void SettingsMirror::writeBack(bool retry)
{
    // A request that would retry is not lost to a later look for changes
    // that takes its place.
    if (retry)
        retry_.store(true);
    thread_.put([this] { look(retry_.exchange(false)); });
}

void SettingsMirror::remove(QSettings& settings, const QString& key)
{
    // With the removal in one step: a look reads the copy before or after
    // both, never a copy without the key and no word of its removal.
    const std::lock_guard<std::mutex> lock(removedMutex_);
    settings.remove(key);
    removed_ << key;
}

std::optional<SettingsMirror::LeftBehind> SettingsMirror::leftBehind(const QString& folder, const QString& name)
{
    const QString copy = folder + QLatin1Char('/') + name, stored = storedPath(folder, name),
                  removed = removedPath(folder, name);
    if (!QFileInfo::exists(stored) || !ComponentModel::readsWhole(stored) ||
        (QFileInfo::exists(copy) && !ComponentModel::readsWhole(copy)) ||
        (QFileInfo::exists(removed) && !ComponentModel::readsWhole(removed)))
        return std::nullopt;
    return LeftBehind{ComponentModel::settingsValues(stored), ComponentModel::settingsValues(copy),
                      ComponentModel::settingsValues(removed).keys()};
}

SettingsChanges SettingsMirror::mergeLeftBehind(const SettingsValues& user, const QList<LeftBehind>& runs)
{
    SettingsChanges merged;
    for (const LeftBehind& run : runs) {
        for (auto value = run.held.cbegin(); value != run.held.cend(); ++value) {
            if (holdsAlike(run.held, run.stored, value.key()) || !holdsAlike(user, run.stored, value.key()))
                continue;
            merged.set.insert(value.key(), value.value());
            merged.removed.removeAll(value.key());
        }
        for (const QString& key : run.removed) {
            if (run.held.contains(key) || !run.stored.contains(key) || !holdsAlike(user, run.stored, key))
                continue;
            merged.set.remove(key);
            if (!merged.removed.contains(key))
                merged.removed << key;
        }
    }
    return merged;
}

void SettingsMirror::look(bool retry)
{
    lookProblem_.clear();
    folder_.mend();
    if (!folder_.intact())
        lookProblem_ = tr("the folder is gone and no other could be made");
    // A new folder holds none of what the old one held.
    const int made = folder_.made();
    const bool remade = made != made_;
    made_ = made;
    bool allWritten = true;
    for (int i = 0; i < files_.size(); ++i) {
        QStringList removed;
        const SettingsValues now = readCopy(i, removed);
        if (remade) {
            keepStored(i);
            copies_[i].keptRemoved.reset();
        }
        // Before the write: a run ended in the middle of it leaves its
        // removals to the next start, which takes them only where the
        // user's file still holds what the run last knew there.
        keepRemoved(i, removed);
        writeUserFile(i, now, removed, retry);
        allWritten = allWritten && copies_[i].worked;
        for (const QString& path : {QLatin1Char('/') + files_[i].name, storedPath(QString(), files_[i].name),
                                    removedPath(QString(), files_[i].name)})
            for (QString kept = path; kept.size() > 1; kept = QFileInfo(kept).path())
                ComponentModel::RunFolder::keep(folder_.handle() + kept);
    }
    allWritten_ = allWritten;
    reportCopies(lookProblem_);
}

SettingsValues SettingsMirror::readCopy(int index, QStringList& removed)
{
    const QString copy = folder_.handle() + QLatin1Char('/') + files_[index].name;
    SettingsValues now;
    // Not written: what the run's QSettings hold unwritten did not reach it.
    QSettings::Status status = QSettings::NoError;
    {
        std::unique_lock<std::mutex> lock(removedMutex_, std::defer_lock);
        if (index == 0)
            lock.lock();
        now = ComponentModel::settingsValues(copy, &status);
        if (index == 0) {
            // A key set again since its removal is the run's anew.
            removed_.erase(std::remove_if(removed_.begin(), removed_.end(),
                                          [&now](const QString& key) { return now.contains(key); }),
                           removed_.end());
            removed = removed_;
        }
    }
    Copy& held = copies_[index];
    if (status != QSettings::NoError || (!now.isEmpty() && !ComponentModel::endsWhole(copy))) {
        // Cut short (a full disk) or damaged, its last line may hold half a
        // value: nothing of it is taken, the copy is made again from what
        // was last read whole.
        now = held.held;
        for (const QString& key : removed)
            now.remove(key);
    }
    SettingsValues lost;
    for (auto value = held.held.cbegin(); value != held.held.cend(); ++value)
        if (!now.contains(value.key()) && !removed.contains(value.key()))
            lost.insert(value.key(), value.value());
    if (lost.isEmpty() && status == QSettings::NoError && (now.isEmpty() || ComponentModel::endsWhole(copy))) {
        held.held = now;
        return now;
    }
    now.insert(lost);
    keepWritten(ComponentModel::writeSettingsChanges(copy, {now, {}}),
                folder_.path() + QLatin1Char('/') + files_[index].name);
    held.held = now;
    return now;
}

void SettingsMirror::writeUserFile(int index, const SettingsValues& now, const QStringList& removed, bool retry)
{
    Copy& copy = copies_[index];
    SettingsChanges changes = ComponentModel::settingsChanges(copy.stored, now);
    changes.removed = removed;
    const QString& user = files_[index].user;
    if (changes.isEmpty()) {
        // Nothing of the run's is missing from the user's file.
        if (!copy.worked) {
            copy.worked = true;
            report_(Place::UserFile, user, QString());
        }
        return;
    }
    if (!copy.worked && !retry && now == copy.tried)
        return;
    ComponentModel::SettingsWrite written;
    {
        const StoreInFlight writing;
        written = ComponentModel::writeSettingsChanges(user, changes);
    }
    copy.tried = now;
    copy.worked = written.worked();
    if (copy.worked) {
        copy.stored.insert(changes.set);
        for (const QString& key : changes.removed)
            copy.stored.remove(key);
        QStringList stillRemoved = removed;
        for (const QString& key : changes.removed)
            stillRemoved.removeAll(key);
        {
            const std::lock_guard<std::mutex> lock(removedMutex_);
            for (const QString& key : changes.removed)
                removed_.removeAll(key);
        }
        keepStored(index);
        keepRemoved(index, stillRemoved);
    }
    report_(Place::UserFile, user, copy.worked ? QString() : settingsStoreProblem(written, user));
}

void SettingsMirror::keepStored(int index)
{
    const QString& name = files_[index].name;
    keepWritten(ComponentModel::writeSettingsValues(storedPath(folder_.handle(), name), copies_[index].stored),
                storedPath(folder_.path(), name));
}

void SettingsMirror::keepRemoved(int index, const QStringList& removed)
{
    Copy& copy = copies_[index];
    if (copy.keptRemoved && removed == *copy.keptRemoved)
        return;
    ComponentModel::SettingsValues keys;
    for (const QString& key : removed)
        keys.insert(key, true);
    const QString& name = files_[index].name;
    const ComponentModel::SettingsWrite written =
        ComponentModel::writeSettingsValues(removedPath(folder_.handle(), name), keys);
    if (written.worked())
        copy.keptRemoved = removed;
    keepWritten(written, removedPath(folder_.path(), name));
}

void SettingsMirror::keepWritten(const ComponentModel::SettingsWrite& write, const QString& file)
{
    if (!write.worked() && lookProblem_.isEmpty())
        lookProblem_ = settingsStoreProblem(write, file);
}

void SettingsMirror::reportCopies(const QString& cause)
{
    if (cause == copiesProblem_)
        return;
    copiesProblem_ = cause;
    report_(Place::Copies, folder_.path(), cause);
}

} // namespace ViewModel
