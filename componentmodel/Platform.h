#pragma once
// Which system and processor the program was built for and runs on, for QML
// views and for the version strings of the online services. Stateless: static
// functions, also invokable from QML through an instance. platform() is os()
// followed by "-32" or "-64", the pointer width of the build.

#include <QObject>
#include <QString>

namespace ComponentModel {

class Platform : public QObject {
    Q_OBJECT
public:
    enum Architecture { UnknownArchitecture = 0, x86 = 1, x64 = 2 };
    Q_ENUM(Architecture)
    enum WindowsVersion { UnknownWindowsVersion = 0, WindowsXP = 1, WindowsVista = 2, Windows7 = 3 };
    Q_ENUM(WindowsVersion)
    enum MacVersion { UnknownMacVersion = 0, Mac10_5 = 1, Mac10_6 = 2, Mac10_7 = 3 };
    Q_ENUM(MacVersion)

    explicit Platform(QObject* parent = nullptr);

    Q_INVOKABLE static bool isWindows();
    Q_INVOKABLE static bool isMac();
    Q_INVOKABLE static bool isLinux();
    Q_INVOKABLE static bool isUbuntu();
    Q_INVOKABLE static bool isDebian();
    Q_INVOKABLE static bool isFedora();
    Q_INVOKABLE static ComponentModel::Platform::WindowsVersion windowsVersion();
    Q_INVOKABLE static ComponentModel::Platform::MacVersion macVersion();
    Q_INVOKABLE static ComponentModel::Platform::Architecture architecture();
    Q_INVOKABLE static QString os();
    Q_INVOKABLE static QString platform();
};

} // namespace ComponentModel
