#pragma once
// Everything QML needs before the first view loads: the toolkit's modules
// ("ComponentModel" 1.0 Transform and Platform, "Mvvm" 1.0, "Gui" 1.0,
// "Desktop" 0.1 with the widget set's QML), "Feedback" 1.0 Communication,
// "Multimedia" 1.0, the views' and images' resources, and the view models
// as "Application" 1.0 types that QML may name (for their enums) but never
// create: the attempt fails with "Cant'create <Name>!". The storyboard and
// music view models are reached only as properties and are not registered.
// Once per process; later calls do nothing. GUI thread, after the
// application object exists.

namespace Application {

void registerApplicationTypes();

} // namespace Application
