#pragma once
// Where the run's settings live, settled at the start before the process's
// first QSettings (SettingsStore.h tells the user what befalls them):
// - on copies: the user's settings files (the application's, and the
//   organisation's, which is read with it) are copied into a folder of the
//   run's own (componentmodel/RunFolder.h), where every QSettings of the
//   process reads and writes; the run's changes reach the user's files
//   through the mirror (SettingsMirror.h). What a run that ended without
//   its end had changed and not yet written back is merged into the copies
//   first, and its folder removed: the mirror's first write takes it on.
//   A copy is taken as made only once read back whole; a place whose disk
//   takes no whole copy (a full disk) is left for the next, and what runs
//   left is removed only once a copy holds it. Of what they left, only
//   what the user's file has not changed since they read or wrote it is
//   taken (SettingsMirror::mergeLeftBehind).
// - kept out: what stands at a settings file is no regular file (a named
//   pipe would hold the start until someone writes to it, a device may
//   never end) or cannot be read, or no place takes a whole copy: the run
//   starts from the defaults in a folder of its own, nothing of it reaches
//   a later run, and the file is left as it is, as are the folders runs
//   left behind.
// - in place: where no folder can be made, the settings are written where
//   they are.
// start() and finish(): the GUI thread, once each; the rest: any thread.

#include "viewmodel/SettingsMirror.h"

#include <QList>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class QSettings;

namespace ComponentModel {
class RunFolder;
}

namespace ViewModel {

class SettingsCopies {
public:
    SettingsCopies();
    ~SettingsCopies();
    SettingsCopies(const SettingsCopies&) = delete;
    SettingsCopies& operator=(const SettingsCopies&) = delete;

    // With the application's names set; `report` as the mirror's.
    void start(SettingsMirror::Report report);
    // Writes back what changed, waits for it and removes the folder:
    // stores after it reach no file.
    void finish();

    // The settings file kept out, and what it is ("a named pipe"); empty
    // while none is.
    const QString& keptOut() const { return keptOut_; }
    const QString& keptOutKind() const { return keptOutKind_; }
    // Why no place took a whole copy, and the last folder tried; empty
    // while the settings are not kept out for that.
    const QString& refused() const { return refused_; }
    const QString& refusedFolder() const { return refusedFolder_; }
    // The user's file that `fileName` (a QSettings's) is a copy of; itself
    // when none.
    QString userFile(const QString& fileName) const;

    // Makes the copies' folder anew where it went, so that a store that
    // failed there can be written again: whether it did.
    bool mend();
    // The program's end has begun.
    void endBegins();
    // Asks the mirror to write what changed; false when the settings are
    // not on copies.
    bool writeBack(bool retry);
    // Removes `key` through `settings` as the run's word that the user's
    // file loses it.
    void remove(QSettings& settings, const QString& key);

private:
    void keepOut(const QString& path, const QString& kind);
    // The copy of the user's file `user` (holding `content`, if any) named
    // `name` in `folder`, with what `left` changed that is still due; why
    // it could not be made whole in `refusal`.
    SettingsMirror::File makeCopy(ComponentModel::RunFolder& folder, const QString& user, const QString& name,
                                  const std::optional<QByteArray>& content,
                                  const QList<SettingsMirror::LeftBehind>& left, QString& refusal);

    QString keptOut_, keptOutKind_, refused_, refusedFolder_;
    std::unique_ptr<ComponentModel::RunFolder> folder_;
    // The user's files and their copies, set once at the start.
    QList<std::pair<QString, QString>> copies_;
    std::mutex mirrorMutex_;
    std::unique_ptr<SettingsMirror> mirror_;
};

} // namespace ViewModel
