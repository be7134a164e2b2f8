#pragma once
// The QML types of the module "Desktop" 0.1, registered with the QML engine
// by registerDesktopTypes() in a fixed order. Callers go through the
// counted registration of the "Gui" and "Desktop" modules (gui/), which
// calls this once per process.

namespace Desktop {

void registerDesktopTypes();

} // namespace Desktop
