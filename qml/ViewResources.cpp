#include "qml/ViewResources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE names a function of the global namespace.
static void initViewResources()
{
    Q_INIT_RESOURCE(application_views);
    Q_INIT_RESOURCE(application_images);
}

namespace Application {

void registerViewResources()
{
    initViewResources();
}

} // namespace Application
