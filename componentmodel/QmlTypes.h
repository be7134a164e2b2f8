#pragma once
// Makes Transform and Platform creatable in QML as "ComponentModel" 1.0
// "Transform" and "Platform". Start-up calls it once before the first view is
// loaded; later calls do nothing. GUI thread.

namespace ComponentModel {

void registerQmlTypes();

} // namespace ComponentModel
