#pragma once
// Where the desktop session has an XDG desktop portal with a file chooser,
// the file dialogs open the desktop's own chooser through it (Qt's
// "xdgdesktopportal" platform theme): a path typed there is completed by
// the portal's process, never by the window's thread, which Qt's own dialog
// holds while it looks at a share that hangs. Read before the application
// object is made, from the environment and the files that install the
// portal, its back ends and Qt's theme: a session bus, the portal's D-Bus
// service, a back end that offers the FileChooser interface, the theme's
// plugin, a platform with windows on the desktop (xcb or wayland, not
// offscreen), and no theme the user chose (QT_QPA_PLATFORMTHEME). Main
// thread, before QGuiApplication.

#include <QProcessEnvironment>
#include <QString>

namespace ComponentModel {

// "xdgdesktopportal" when those hold in `environment`, with Qt's plugins
// under `qtPlugins`; else empty.
QString portalFileChooserTheme(const QProcessEnvironment& environment, const QString& qtPlugins);

// Sets QT_QPA_PLATFORMTHEME to that theme, when there is one.
void useThePortalFileChooserWhereOneRuns();

} // namespace ComponentModel
