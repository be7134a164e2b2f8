#pragma once
// The "Desktop" types registered once for the whole test program, and Qt
// Quick drawn in software for the windows the tests make.

#include "desktop/DesktopTypes.h"
#include "support-qt/QmlTesting.h"

inline void registerDesktopTypesOnce()
{
    static const bool registered = [] {
        qmltest::useSoftwareQuick();
        Desktop::registerDesktopTypes();
        return true;
    }();
    (void)registered;
}
