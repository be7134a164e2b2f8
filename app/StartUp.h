#pragma once
// The program from start to end. A later start hands "show" to the running
// instance and returns 0 once it is taken (within a second or so), before
// anything is written or started; if it is not taken within three seconds
// (the running window hangs), the start tells the user so in a message box
// and returns 1.
// The first instance sets the program's identity, keeps a settings file
// that is no regular file out of the run (SettingsStore.h), writes the
// link settings, starts the online services (analytics, the advertisement
// and the notification feeds), installs the translations, registers the
// QML types, builds the main view model, shows the main window and runs
// the event loop until the window has closed or the session asks the
// program to end (see TerminationSignals). Then it takes everything down
// in order, or else is ended by force (see EndBackstop): the windows still open (without questions; the main
// window's place is kept), the window's host (which stores the window
// geometry and last folders), the single-instance key (a start from then
// on is a first instance), the main view model (a running conversion is
// stopped, its thread joined and its unfinished file removed; the
// storyboard and the music are stored), the translators, the notification
// service, the application object.
//
// The session's end is taken from the first moments of the start (see
// TerminationSignals): asked while the program starts, it ends the start
// without showing a window, in order, or by the backstop two seconds after
// the signal should the start not get that far (it waits for a share that
// does not answer, say).
//
// Started as a helper of its window (HelperStart.h), it runs that helper
// instead. The program's main blocks the session's end signals
// first (blockTerminationSignals); a helper and a later start take them by
// their default action again.
// `started`, when given, runs once the main window shows, just before the
// event loop: the test driver reaches the running program through it.
// GUI thread (the process's main thread). Returns the exit code.

#include <functional>

namespace ViewModel {
class MainViewModel;
}

namespace Application {

typedef std::function<void(ViewModel::MainViewModel& mainViewModel)> StartedHook;

int run(int& argc, char** argv, const StartedHook& started = StartedHook());

} // namespace Application
