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
// One for the process, like the store itself. GUI thread only. Throws
// nothing.

#include "viewmodel/StoreProblem.h"

#include <QObject>
#include <QString>

class QSettings;

namespace ViewModel {

class SettingsStore : public QObject {
    Q_OBJECT
public:
    static SettingsStore& instance();

    // Writes what `settings` holds to its file; false when that failed.
    bool store(QSettings& settings);
    // Whether `settings` read its file when it was made; false when not.
    bool checkRead(const QSettings& settings);

signals:
    // The message for the user.
    void problem(QString message);

private:
    SettingsStore() = default;
    void tell(const QString& message);

    ProblemMemory told_;
};

} // namespace ViewModel
