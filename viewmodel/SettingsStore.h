#pragma once
// The application's settings store (the default QSettings, under the names
// start-up sets) with its failures said: every store is written to its file
// at once and checked, and a store that did not reach the file, or a file
// that could not be read, is logged each time, naming the file and the
// cause. The user is told through problem() once per cause, and again after
// a store that worked. The signal comes queued, so that a view connecting
// once the view models are made still hears of what went wrong while they
// were being made.
//
// The program's run works on copies (workOnCopies()): the user's settings
// files are copied at start into a scratch folder of this machine, where
// every QSettings of the process reads and writes, so that no store, on
// whatever thread, waits for a home on a share that is slow or does not
// answer. What a store wrote reaches the user's file on a thread of its own
// (SettingsMirror.h), as do changes written by a QSettings alone, looked
// for every second; a write back that failed is told as a store that failed,
// naming the user's file. finish() writes back what is left at the end.
//
// What stands at a settings file is looked at before the process's first
// QSettings, which reads it when made: no regular file there (a named pipe
// would hold the start until someone writes to it, a device may never end)
// or one that cannot be read is kept out of the whole run, told at the
// first read check, and left as it is; the settings live in the scratch
// folder until the program ends, and their stores say nothing more.
//
// One for the process, like the store itself. store(): any thread; the
// rest: GUI thread. Throws nothing.

#include "viewmodel/StoreProblem.h"

#include "componentmodel/GuardedReceiver.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <mutex>

class QSettings;
class QTemporaryDir;

namespace ViewModel {

class SettingsMirror;

class SettingsStore : public QObject {
    Q_OBJECT
public:
    static SettingsStore& instance();

    // Before the process's first QSettings, with the application's names
    // set. Without a scratch folder the settings are written in place.
    void workOnCopies();
    // The program's end: writes back what changed and waits for it.
    // Stores after it reach only the copies.
    void finish();

    // Whether this run's settings are kept out of the user's file: nothing
    // they hold reaches a later run.
    bool keepsOut() const { return !keptOut_.isEmpty(); }

    // Writes what `settings` holds to its file (the copy: the user's file
    // follows, told when it fails); false when that failed.
    bool store(QSettings& settings);
    // Whether `settings` read its file when it was made; false when not.
    bool checkRead(const QSettings& settings);

signals:
    // The message for the user.
    void problem(QString message);

protected:
    bool event(QEvent* event) override;

private:
    SettingsStore();
    ~SettingsStore() override;
    // Keeps the user's settings file (or the organisation's, which is read
    // with it) out of the run: it is `kind` ("a named pipe", "may not be
    // read").
    void keepOut(const QString& path, const QString& kind);
    // The user's file that `fileName` is a copy of; itself when none.
    QString userFile(const QString& fileName) const;
    // On this object's thread, each after what was posted before it.
    void storeFailed(const QString& file, const QString& cause);
    void storeWorked();
    void tell(const QString& message);

    ProblemMemory told_;
    // The user's files and their copies, set once at start.
    QList<std::pair<QString, QString>> copies_;
    // What came of a store made on another thread; outlives the mirror,
    // whose thread reports through it.
    ComponentModel::GuardedReceiver results_;
    std::mutex mirrorMutex_;
    std::unique_ptr<SettingsMirror> mirror_;
    QTimer lookForChanges_;
    // The file kept out and what it is; empty while none is.
    QString keptOut_, keptOutKind_;
    std::unique_ptr<QTemporaryDir> scratch_;
};

} // namespace ViewModel
