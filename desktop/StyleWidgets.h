#pragma once
// The hidden widgets that the style item hands to QStyle so that it draws
// as it would for a real widget. Where one widget can serve every item of a
// kind (menus, tree views, group boxes, tab widgets, tool bars, sliders,
// frames) the process shares one, made on first use and kept until the
// process ends; they are never shown. GUI thread only.

class QComboBox;
class QFrame;
class QGroupBox;
class QMenu;
class QSlider;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeView;

namespace Desktop {

namespace StyleWidgets {

QMenu* menu();
QTreeView* treeView();
QGroupBox* groupBox();
QTabWidget* tabWidget();
QComboBox* comboBox();
// The tool bar inside the shared main window.
QToolBar* toolBar();
// The tool button inside a tool bar of its own; made on the first call.
QToolButton* toolButton();
// The shared tool button if it was made already, else null.
QToolButton* existingToolButton();
QSlider* slider();
QFrame* frame();

} // namespace StyleWidgets

} // namespace Desktop
