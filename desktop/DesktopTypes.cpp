#include "DesktopTypes.h"

#include "QCursorArea.h"
#include "QDeclarativeLinearLayout.h"
#include "QDesktopItem.h"
#include "QRangeModel.h"
#include "QStyleItem.h"
#include "QTooltipArea.h"
#include "QWheelArea.h"
#include "QWindowItem.h"
#include "QtMenu.h"
#include "QtMenuBar.h"
#include "QtMenuItem.h"
#include "QtSplitter.h"
#include "Settings.h"

#include <QFileSystemModel>
#include <QtQml/qqml.h>

namespace Desktop {

void registerDesktopTypes()
{
    const char* uri = "Desktop";
    qmlRegisterType<QStyleItem>(uri, 0, 1, "StyleItem");
    qmlRegisterType<QCursorArea>(uri, 0, 1, "CursorArea");
    qmlRegisterType<QTooltipArea>(uri, 0, 1, "TooltipArea");
    qmlRegisterType<QRangeModel>(uri, 0, 1, "RangeModel");
    qmlRegisterType<QWheelArea>(uri, 0, 1, "WheelArea");
    qmlRegisterType<QtMenu>(uri, 0, 1, "Menu");
    qmlRegisterType<QtMenuBar>(uri, 0, 1, "MenuBar");
    qmlRegisterType<QtMenuItem>(uri, 0, 1, "MenuItem");
    qmlRegisterType<QtMenuSeparator>(uri, 0, 1, "Separator");
    qmlRegisterType<QFileSystemModel>(uri, 0, 1, "FileSystemModel");
    qmlRegisterType<QtSplitterBase>(uri, 0, 1, "Splitter");
    qmlRegisterType<Settings>(uri, 0, 1, "Settings");
    qmlRegisterType<QWindowItem>(uri, 0, 1, "Window");
    qmlRegisterUncreatableType<QtMenuBase>(uri, 0, 1, "NativeMenuBase",
                                           QStringLiteral("Do not create objects of type NativeMenuBase"));
    qmlRegisterType<QDeclarativeRowLayout>(uri, 0, 1, "RowLayout");
    qmlRegisterType<QDeclarativeColumnLayout>(uri, 0, 1, "ColumnLayout");
    qmlRegisterUncreatableType<QDeclarativeLayout>(uri, 0, 1, "Layout",
                                                   QStringLiteral("Do not create objects of type Layout"));
    qmlRegisterUncreatableType<QDesktopItem>(uri, 0, 1, "Desktop",
                                             QStringLiteral("Do not create objects of type Desktop"));
}

} // namespace Desktop
