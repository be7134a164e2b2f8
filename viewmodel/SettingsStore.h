#pragma once
// The application's settings store (the default QSettings, under the names
// start-up sets) with its failures said: every store is written at once and
// checked, and a store that did not reach its file, or a file that could
// not be read, is logged each time, naming the file and the cause. The user
// is told through problem() once per cause, and again after a store that
// worked. The signal comes queued, so that a view connecting once the view
// models are made still hears of what went wrong while they were being
// made.
//
// The run works on copies of the user's settings files, or keeps them out
// of the run (SettingsCopies.h, settled by workOnCopies()). On copies, a
// store reaches the copy at once and the user's file from a thread of its
// own: a write there that failed is told naming the user's file; one that
// failed in the copies' working folder names that folder and its disk,
// never the user's file, which keeps all it holds. Kept out, the user knows
// from the start that nothing is stored, and the stores say nothing more.
//
// One for the process, like the store itself. store() and remove(): any
// thread; the rest: GUI thread. Throws nothing.

#include "viewmodel/SettingsCopies.h"
#include "viewmodel/StoreProblem.h"

#include "componentmodel/GuardedReceiver.h"

#include <QObject>
#include <QString>

class QSettings;

namespace ViewModel {

class SettingsStore : public QObject {
    Q_OBJECT
public:
    static SettingsStore& instance();

    // Before the process's first QSettings, with the application's names
    // set.
    void workOnCopies();
    // The program's end: writes back what changed and waits for it.
    // Stores after it reach no file.
    void finish();

    // Whether this run's settings are kept out of the user's file: nothing
    // they hold reaches a later run.
    bool keepsOut() const { return !copies_.keptOut().isEmpty(); }

    // Writes what `settings` holds to its file (on copies: the copy, the
    // user's file following); false when that failed.
    bool store(QSettings& settings);
    // Removes `key` from the settings and stores that: the only way a key
    // leaves the user's file (a key a copy lacks is never taken as gone).
    void remove(const QString& key);
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
    // On this object's thread, each after what was posted before it.
    void reported(SettingsMirror::Place place, const QString& file, const QString& cause);
    void storeFailed(const QString& file, const QString& cause);
    void copiesFailed(const QString& folder, const QString& cause);
    void tell(const QString& message);

    // What was told of the user's file, and of the copies' folder.
    ProblemMemory told_, toldOfCopies_;
    // What came of a store made on another thread; outlives the copies,
    // whose mirror reports through it.
    ComponentModel::GuardedReceiver results_;
    SettingsCopies copies_;
};

} // namespace ViewModel
