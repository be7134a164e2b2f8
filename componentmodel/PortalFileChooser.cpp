#include "componentmodel/PortalFileChooser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>

namespace ComponentModel {

namespace {

const QString portalTheme = QStringLiteral("xdgdesktopportal");

QStringList dataFolders(const QProcessEnvironment& environment)
{
    const QString dirs = environment.value(QStringLiteral("XDG_DATA_DIRS"));
    return (dirs.isEmpty() ? QStringLiteral("/usr/local/share:/usr/share") : dirs)
        .split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

bool hasSessionBus(const QProcessEnvironment& environment)
{
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    return !environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")).isEmpty() ||
           (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")));
}

bool onTheDesktop(const QProcessEnvironment& environment)
{
    const QString platform = environment.value(QStringLiteral("QT_QPA_PLATFORM"));
    return platform.isEmpty() || platform.startsWith(QLatin1String("xcb")) ||
           platform.startsWith(QLatin1String("wayland"));
}

// Its line "Interfaces=...;org.freedesktop.impl.portal.FileChooser;...".
bool offersFileChooser(const QString& portalFile)
{
    QFile file(portalFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(4096).trimmed();
        const QByteArray key = "Interfaces=";
        if (line.startsWith(key) && line.mid(key.size()).split(';').contains("org.freedesktop.impl.portal.FileChooser"))
            return true;
    }
    return false;
}

// The portal's D-Bus service, and a back end (a .portal file) that offers
// the file chooser: the portal uses one made for the session's desktop,
// else any that offers it.
bool portalWithFileChooser(const QStringList& folders)
{
    bool service = false;
    bool chooser = false;
    for (const QString& folder : folders) {
        service = service ||
                  QFileInfo::exists(folder + QStringLiteral("/dbus-1/services/org.freedesktop.portal.Desktop.service"));
        const QDir portals(folder + QStringLiteral("/xdg-desktop-portal/portals"));
        for (const QString& name : portals.entryList({QStringLiteral("*.portal")}, QDir::Files)) {
            chooser = chooser || offersFileChooser(portals.filePath(name));
        }
    }
    return service && chooser;
}

} // namespace

QString portalFileChooserTheme(const QProcessEnvironment& environment, const QString& qtPlugins)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORMTHEME")).isEmpty() || !onTheDesktop(environment) ||
        !hasSessionBus(environment) ||
        !QFileInfo::exists(qtPlugins + QStringLiteral("/platformthemes/libqxdgdesktopportal.so")) ||
        !portalWithFileChooser(dataFolders(environment)))
        return QString();
    return portalTheme;
}

void useThePortalFileChooserWhereOneRuns()
{
    const QString theme = portalFileChooserTheme(QProcessEnvironment::systemEnvironment(),
                                                 QLibraryInfo::path(QLibraryInfo::PluginsPath));
    if (!theme.isEmpty())
        qputenv("QT_QPA_PLATFORMTHEME", theme.toLatin1());
}

} // namespace ComponentModel
