#include "componentmodel/PortalFileChooser.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

using ComponentModel::portalFileChooserTheme;

namespace {

void write(const QString& path, const QByteArray& text)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(text);
}

} // namespace

// A desktop session with the portal, a back end offering the file chooser
// and Qt's portal theme gets the theme; take any one away, or choose a
// theme, or run offscreen, and the dialogs stay Qt's own.
TEST(PortalFileChooser, TheDesktopsChooserIsUsedOnlyWhereAPortalOffersIt)
{
    QTemporaryDir root;
    const QString data = root.filePath("share"), plugins = root.filePath("plugins");
    write(data + "/dbus-1/services/org.freedesktop.portal.Desktop.service", "[D-BUS Service]\n");
    write(data + "/xdg-desktop-portal/portals/gtk.portal",
          "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.gtk\n"
          "Interfaces=org.freedesktop.impl.portal.AppChooser;org.freedesktop.impl.portal.FileChooser;\nUseIn=gnome\n");
    write(data + "/xdg-desktop-portal/portals/other.portal",
          "[portal]\nInterfaces=org.freedesktop.impl.portal.FileChooserish;org.freedesktop.impl.portal.Print\n");
    write(plugins + "/platformthemes/libqxdgdesktopportal.so", "");
    const auto session = [&] {
        QProcessEnvironment environment;
        environment.insert("XDG_DATA_DIRS", root.filePath("none") + ":" + data);
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        return environment;
    };
    EXPECT_EQ(portalFileChooserTheme(session(), plugins), "xdgdesktopportal");

    const struct {
        const char* change;
        std::function<void(QProcessEnvironment&)> apply;
    } rows[] = {
        {"no session bus", [](QProcessEnvironment& e) { e.remove("DBUS_SESSION_BUS_ADDRESS"); }},
        {"a theme the user chose", [](QProcessEnvironment& e) { e.insert("QT_QPA_PLATFORMTHEME", "gtk3"); }},
        {"offscreen", [](QProcessEnvironment& e) { e.insert("QT_QPA_PLATFORM", "offscreen"); }},
        {"no portal", [&](QProcessEnvironment& e) { e.insert("XDG_DATA_DIRS", root.filePath("none")); }},
    };
    for (const auto& row : rows) {
        QProcessEnvironment environment = session();
        row.apply(environment);
        EXPECT_EQ(portalFileChooserTheme(environment, plugins), QString()) << row.change;
    }
    EXPECT_EQ(portalFileChooserTheme(session(), root.filePath("no plugins")), QString()) << "no Qt portal theme";
    ASSERT_TRUE(QFile::remove(data + "/xdg-desktop-portal/portals/gtk.portal"));
    EXPECT_EQ(portalFileChooserTheme(session(), plugins), QString()) << "no back end offers the file chooser";
}
