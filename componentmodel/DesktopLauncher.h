#pragma once
// The one way the program hands something to the desktop: a URL opened with
// its default program (a file, a web page, the mail program), or a local file
// shown selected in the file manager. Both go through one replaceable
// launcher, so tests catch the request instead of starting a program.
// What it starts gets the signals a desktop's start gives
// (DesktopSignals.h). GUI thread only.

#include <QUrl>

class QObject;

#include <functional>

namespace ComponentModel {

enum class LaunchMode {
    Open,         // open the URL with the desktop's default program
    ShowInFolder  // show the local file of the URL selected in a file manager
};

// Returns whether the desktop took the request.
using UrlLauncher = std::function<bool(const QUrl& url, LaunchMode mode)>;

bool openUrl(const QUrl& url);
bool showInFolder(const QUrl& fileUrl);

// Opens `url` as openUrl does and tells `taken` whether the desktop took
// it: with the desktop's own launcher, where xdg-open opens it, once
// xdg-open has ended (false when it failed: no program for the address)
// or has run for a few seconds (the program it started); else at once,
// perhaps before this returns. Never waits: `taken` runs on the GUI
// thread's events, not when `context` has gone.
void openUrlThen(const QUrl& url, QObject* context, std::function<void(bool taken)> taken);

// Installs a launcher and returns the one it replaces; an empty one brings
// back the desktop's (defaultUrlLauncher).
UrlLauncher setUrlLauncher(UrlLauncher launcher);

// Open: the desktop services. ShowInFolder: the file manager's
// org.freedesktop.FileManager1 ShowItems over the session bus, else the
// file's folder opened with the desktop services.
bool defaultUrlLauncher(const QUrl& url, LaunchMode mode);

} // namespace ComponentModel
