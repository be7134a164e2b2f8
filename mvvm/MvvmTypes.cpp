#include "mvvm/MvvmTypes.h"

#include "mvvm/Dialog.h"

#include <QQuickImageProvider>
#include <QtQml/qqml.h>

#include <atomic>

namespace Mvvm {

namespace {
std::atomic<int> registrations{0};
} // namespace

void registerTypes()
{
    if (registrations.fetch_add(1) != 0)
        return;
    qmlRegisterType<Dialog>("Mvvm", 1, 0, "Dialog");
    qRegisterMetaType<QQuickImageProvider*>("QQuickImageProvider*");
    qRegisterMetaType<Dialog::DialogType>();
    qRegisterMetaType<Dialog::IconType>();
}

void unregisterTypes()
{
    registrations.fetch_sub(1);
}

} // namespace Mvvm
