#include "GuiDesktopTypes.h"

#include "CursorShapeArea.h"
#include "DropArea.h"
#include "desktop/DesktopTypes.h"

#include <QtQml/qqml.h>

// The resource tree lives in this shared library; it is brought in by name,
// outside any namespace.
static void initGuiResources()
{
    Q_INIT_RESOURCE(gui);
}

namespace Gui {

namespace {

int owners = 0;
bool registered = false;

} // namespace

bool registerGuiDesktopTypes()
{
    // Types are registered once per process, even if every owner has
    // released them in between.
    if (owners++ > 0 || registered)
        return false;
    registered = true;
    initGuiResources();
    qmlRegisterType<DropArea>("Gui", 1, 0, "DropArea");
    qmlRegisterType<CursorShapeArea>("Gui", 1, 0, "CursorShapeArea");
    Desktop::registerDesktopTypes();
    return true;
}

void releaseGuiDesktopTypes()
{
    if (owners > 0)
        --owners;
}

} // namespace Gui
