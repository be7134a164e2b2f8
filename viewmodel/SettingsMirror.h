#pragma once
// The user's settings files worked on as copies in a folder of this
// machine's own (SettingsStore.h). Qt's settings write their file on the
// calling thread and hold one lock for that file meanwhile, so a window
// storing its settings in a home on a share that is slow or does not answer
// would wait for the share; on a copy it never does.
//
// What the run changes in a copy (values set, changed or removed) is
// written into the user's file on a thread of its own (StoreThread.h), as
// Qt writes a store: the file read again, the run's changes put in, and the
// whole written to a temporary file renamed over it, so that what another
// program wrote there meanwhile stays. Written when asked and at the end; a
// copy that did not change since the last write is not written again, and
// one whose write failed is tried again when a store asks (`retry`), not
// on a look for changes.
//
// What came of each write is reported on the writing thread. Any thread.

#include "viewmodel/StoreThread.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <atomic>
#include <functional>

class QSettings;

namespace ViewModel {

// Why `settings` could not be written to `file` (the user's file it stands
// for), in plain words.
QString settingsStoreProblem(const QSettings& settings, const QString& file);

class SettingsMirror {
public:
    struct File {
        QString user;
        QString copy;
    };
    // The user's file, and why it could not be written (empty when it was).
    using Report = std::function<void(const QString& user, const QString& cause)>;

    // The copies hold what the user's files held.
    SettingsMirror(QList<File> files, Report report);
    // Writes what changed, then ends the writing thread.
    ~SettingsMirror();
    SettingsMirror(const SettingsMirror&) = delete;
    SettingsMirror& operator=(const SettingsMirror&) = delete;

    void writeBack(bool retry);

private:
    using Values = QMap<QString, QVariant>;
    struct Written {
        // What the user's file holds of the run's, as far as is known.
        Values stored;
        // What the last write put in, and whether it worked.
        Values tried;
        bool worked = true;
    };
    // On the writing thread only.
    void writeChanged(bool retry);

    const QList<File> files_;
    const Report report_;
    QList<Written> written_;
    std::atomic<bool> retry_{false};
    // Last: goes first, writing what was asked before the rest goes.
    StoreThread thread_;
};

} // namespace ViewModel
