#include "componentmodel/Platform.h"

#include <QSysInfo>

namespace ComponentModel {

namespace {

bool isDistribution(const char* name)
{
    return QSysInfo::productType() == QLatin1String(name);
}

} // namespace

Platform::Platform(QObject* parent) : QObject(parent) {}

bool Platform::isWindows()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

bool Platform::isMac()
{
#ifdef Q_OS_MACOS
    return true;
#else
    return false;
#endif
}

bool Platform::isLinux()
{
#ifdef Q_OS_LINUX
    return true;
#else
    return false;
#endif
}

bool Platform::isUbuntu()
{
    return isLinux() && isDistribution("ubuntu");
}

bool Platform::isDebian()
{
    return isLinux() && isDistribution("debian");
}

bool Platform::isFedora()
{
    return isLinux() && isDistribution("fedora");
}

Platform::WindowsVersion Platform::windowsVersion()
{
    if (!isWindows())
        return UnknownWindowsVersion;
    const QString version = QSysInfo::productVersion();
    if (version == QLatin1String("xp"))
        return WindowsXP;
    if (version == QLatin1String("vista"))
        return WindowsVista;
    if (version == QLatin1String("7"))
        return Windows7;
    return UnknownWindowsVersion;
}

Platform::MacVersion Platform::macVersion()
{
    if (!isMac())
        return UnknownMacVersion;
    const QString version = QSysInfo::productVersion();
    if (version == QLatin1String("10.5"))
        return Mac10_5;
    if (version == QLatin1String("10.6"))
        return Mac10_6;
    if (version == QLatin1String("10.7"))
        return Mac10_7;
    return UnknownMacVersion;
}

Platform::Architecture Platform::architecture()
{
    const QString cpu = QSysInfo::buildCpuArchitecture();
    if (cpu == QLatin1String("i386"))
        return x86;
    if (cpu == QLatin1String("x86_64"))
        return x64;
    return UnknownArchitecture;
}

QString Platform::os()
{
    if (isWindows())
        return QStringLiteral("windows");
    if (isMac())
        return QStringLiteral("mac");
    if (isLinux())
        return QStringLiteral("linux");
    return QSysInfo::productType();
}

QString Platform::platform()
{
    return os() + (QSysInfo::WordSize == 64 ? QStringLiteral("-64") : QStringLiteral("-32"));
}

} // namespace ComponentModel
