#pragma once
// The user's settings files worked on as copies in a folder of the run's
// own (SettingsCopies.h). Qt's settings write their file on the calling
// thread and hold one lock for that file meanwhile, so a window storing its
// settings in a home on a share that is slow or does not answer would wait
// for the share; on a copy it never does.
//
// What the run changes in a copy (values set or changed, and the keys it
// removes through remove()) is written into the user's file on a thread of
// its own (StoreThread.h), whole or not at all, so that what another
// program wrote there meanwhile stays (componentmodel/SettingsFiles.h).
// Written when asked, at the end, and on a look every second (a QSettings
// may write without a store); a copy that did not change since the last
// write is not written again, and one whose write failed is tried again
// when a store asks (`retry`), not on a look.
//
// A copy is never the run's word on what the user's file loses. The mirror
// holds what it last read of each copy and what the user's file holds of
// the run's: a copy that went (its folder or file removed from outside,
// its keys lost with it) or that a failed write cut short is made again
// from what it holds, with the run's later values; what the user's file
// holds stays. Beside the copy the mirror keeps what the user's file holds
// of the run's (what the run last read or wrote there) and the keys it
// removed and has not yet written back, so that the next start merges
// what a run that ended without its end had not written back
// (leftBehind, mergeLeftBehind).
//
// What came of each write is reported on the writing thread: of the
// user's file, and of the copies' folder when a copy could not be made
// whole there (said again only when that changes). Any thread.

#include "viewmodel/StoreThread.h"

#include "componentmodel/SettingsFiles.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

class QSettings;

namespace ComponentModel {
class RunFolder;
}

namespace ViewModel {

// Why a settings file could not be written at `file` (the place looked
// at), as `write` came out, in plain words.
QString settingsStoreProblem(const ComponentModel::SettingsWrite& write, const QString& file);

class SettingsMirror {
public:
    struct File {
        // The user's file.
        QString user;
        // Its copy's path inside the folder.
        QString name;
        // What the user's file holds of the run's at the start.
        ComponentModel::SettingsValues stored;
    };
    enum class Place { UserFile, Copies };
    // Where a write failed or worked (the user's file, or the copies'
    // folder), and why it failed (empty when it worked).
    using Report = std::function<void(Place place, const QString& file, const QString& cause)>;

    // The copies stand in `folder`, which outlives the mirror.
    SettingsMirror(ComponentModel::RunFolder& folder, QList<File> files, Report report);
    // Writes what changed, then ends the writing thread.
    ~SettingsMirror();
    SettingsMirror(const SettingsMirror&) = delete;
    SettingsMirror& operator=(const SettingsMirror&) = delete;

    void writeBack(bool retry);
    // Whether the word on what the user's files hold, kept beside each
    // copy, was written whole as the mirror began: only then does the run's
    // folder hold all a later start needs of it.
    bool recordsKept() const { return recordsKept_; }
    // The run's end: writes back what changed, trying again what failed,
    // and ends the writing thread; whether the user's files then hold all
    // the run changed.
    bool finish();
    // The program's end has begun: no more looks every second (its own end
    // writes back what changed), whose work would keep the end's watch
    // from telling a program that stands still.
    void stopLooking() { thread_.stopLooking(); }
    // Removes `key` through `settings` (of the first file's copy): the
    // run's word that the user's file loses it, at the next write.
    void remove(QSettings& settings, const QString& key);

    // What a run that ended without its end left of a copy.
    struct LeftBehind {
        // What the user's file held of the run's, as it last read or wrote.
        ComponentModel::SettingsValues stored;
        // Its copy, and the keys it removed and had not written back.
        ComponentModel::SettingsValues held;
        QStringList removed;
    };
    // What the run whose folder is `folder` left of its copy `name`:
    // nothing when it kept no whole word of what the user's file held, or
    // its copy or its removals were cut short.
    static std::optional<LeftBehind> leftBehind(const QString& folder, const QString& name);
    // What the runs that left `runs` (the oldest first) changed and had
    // not written back, where the user's file, holding `user`, still holds
    // what the run last read or wrote for the key: a value another run
    // wrote there since stays. A later run's change goes over an earlier's.
    static ComponentModel::SettingsChanges mergeLeftBehind(const ComponentModel::SettingsValues& user,
                                                           const QList<LeftBehind>& runs);

private:
    struct Copy {
        // The copy as last read, or made again.
        ComponentModel::SettingsValues held;
        // What the user's file holds of the run's, as far as is known.
        ComponentModel::SettingsValues stored;
        // What the last write put in, and whether it worked.
        ComponentModel::SettingsValues tried;
        bool worked = true;
        // The removals kept beside the copy, as last written there; none
        // known in a folder made anew.
        std::optional<QStringList> keptRemoved = QStringList();
    };
    // On the writing thread only.
    void look(bool retry);
    // The copy as the run holds it now, made whole again where it went or
    // was cut short.
    ComponentModel::SettingsValues readCopy(int index, QStringList& removed);
    void writeUserFile(int index, const ComponentModel::SettingsValues& now, const QStringList& removed,
                       bool retry);
    void keepStored(int index);
    void keepRemoved(int index, const QStringList& removed);
    void keepWritten(const ComponentModel::SettingsWrite& write, const QString& file);
    void reportCopies(const QString& cause);

    ComponentModel::RunFolder& folder_;
    const QList<File> files_;
    const Report report_;
    QList<Copy> copies_;
    // Why the copies' folder failed in the look under way, and as last
    // reported.
    QString lookProblem_, copiesProblem_;
    // The folders made behind the handle, as the last look saw.
    int made_;
    std::mutex removedMutex_; // guards removed_ and each read of the first copy
    QStringList removed_;
    std::atomic<bool> retry_{false};
    // Whether the last look left nothing of the run's unwritten.
    bool allWritten_ = true;
    bool recordsKept_ = false;
    // Last: goes first, writing what was asked before the rest goes.
    StoreThread thread_;
};

} // namespace ViewModel
