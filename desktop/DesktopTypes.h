#pragma once
// The QML types of the module "Desktop" 0.1, registered with the QML engine
// by registerDesktopTypes() in a fixed order. Callers go through the
// counted registration of the "Gui" and "Desktop" modules (gui/), which
// calls this once per process.
//
// Every class of the widget set lives in the namespace Desktop: their
// Q-prefixed names follow Qt's own, and Qt keeps adding classes of such
// names (Qt 6.10 brings a QRangeModel of its own). The QML names stay as
// registered here.

namespace Desktop {

void registerDesktopTypes();

} // namespace Desktop
