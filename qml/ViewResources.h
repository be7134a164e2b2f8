#pragma once
// The application's compiled-in resources: the views under "qrc:/qml"
// (mainview.qml, settingsview.qml, playerview.qml and the directory's
// qmldir) and the images under ":/image/" (":/image/application-icon", the
// tool-bar icons, the slide and player buttons).
// Both trees register themselves when this library is loaded (the resource
// compiler's static initialisers); registerViewResources() registers them
// again by name, which also makes sure the library is linked and loaded.
// A second registration changes nothing. Call it on the GUI thread before
// the first view is loaded.

namespace Application {

void registerViewResources();

} // namespace Application
