#include "componentmodel/QmlTypes.h"

#include "componentmodel/Platform.h"
#include "componentmodel/Transform.h"

#include <QtQml/qqml.h>

namespace ComponentModel {

void registerQmlTypes()
{
    static const bool registered = [] {
        qmlRegisterType<Transform>("ComponentModel", 1, 0, "Transform");
        qmlRegisterType<Platform>("ComponentModel", 1, 0, "Platform");
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace ComponentModel
