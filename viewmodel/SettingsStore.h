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
// What stands at the settings file is looked at before the process's first
// QSettings, which reads it when made: no regular file there (a named pipe
// would hold the start until someone writes to it, a device may never end)
// is kept out of the whole run, told at the first read check, and left as
// it is; the settings live in a scratch folder of their own until the
// program ends, and their stores say nothing more.
//
// One for the process, like the store itself. GUI thread only. Throws
// nothing.

#include "viewmodel/StoreProblem.h"

#include <QObject>
#include <QString>

#include <memory>

class QSettings;
class QTemporaryDir;

namespace ViewModel {

class SettingsStore : public QObject {
    Q_OBJECT
public:
    static SettingsStore& instance();

    // Before the process's first QSettings, with the application's names
    // set: when the user's settings file (or the organisation's, which is
    // read with it) is no regular file, the process's settings go to a
    // scratch folder for the run. Whether they did.
    bool keepOutIrregularFile();

    // Whether this run's settings are kept out of the user's file: nothing
    // they hold reaches a later run.
    bool keepsOut() const { return !keptOut_.isEmpty(); }

    // Writes what `settings` holds to its file; false when that failed.
    bool store(QSettings& settings);
    // Whether `settings` read its file when it was made; false when not.
    bool checkRead(const QSettings& settings);

signals:
    // The message for the user.
    void problem(QString message);

private:
    SettingsStore();
    ~SettingsStore() override;
    void tell(const QString& message);

    ProblemMemory told_;
    // The file kept out and what it is; empty while none is.
    QString keptOut_, keptOutKind_;
    std::unique_ptr<QTemporaryDir> scratch_;
};

} // namespace ViewModel
