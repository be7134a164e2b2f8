#pragma once
// Builds a main window's tool bar and menus from the QML items a view lists
// in its root's dialogToolBar and dialogMenu. An element is read by property
// name: text (required; in the tool bar "|" is a separator and "-" a spacer,
// in a menu "-" is a separator), tooltip, iconSource, iconSize, shortcut,
// submenu, and trigger() run when chosen. Each action's enabled and visible
// follow the element's through one-way bindings that are children of
// `bindingOwner`. GUI thread only.

#include <QVariant>

class QMainWindow;
class QObject;

namespace Mvvm {

// True when `value` is a QML list<Item> property, the only kind read.
bool isItemList(const QVariant& value);

void buildToolBar(QMainWindow* window, QObject* root, const char* listProperty, QObject* bindingOwner);
void buildMenus(QMainWindow* window, QObject* root, const char* listProperty, QObject* bindingOwner);

} // namespace Mvvm
