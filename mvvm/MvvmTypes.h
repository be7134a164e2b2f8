#pragma once
// Registration of the "Mvvm" 1.0 QML module (the creatable type "Dialog"),
// of the meta-type "QQuickImageProvider*" with which view models declare
// their image-provider properties, and of the Dialog enums. Every source file
// that includes Dialog.h owns one guard below; the guards share a counter, so
// the first to run (during static initialisation) registers and the others
// only count. Start-up may call registerTypes() itself as well.

#include "componentmodel/MetaTypes.h"

namespace Mvvm {

void registerTypes();
void unregisterTypes();

namespace {
const ComponentModel::Detail::RegistrationGuard<&registerTypes, &unregisterTypes> typeRegistrationGuard;
} // namespace

} // namespace Mvvm
