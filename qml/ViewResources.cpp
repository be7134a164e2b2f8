#include "qml/ViewResources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE names a function of the global namespace.
static void initViewResources()
{
    Q_INIT_RESOURCE(views);
    Q_INIT_RESOURCE(images);
}

namespace Application {

void registerViewResources()
{
    initViewResources();
}

} // namespace Application
