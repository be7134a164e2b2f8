#include "StyleWidgets.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QMainWindow>
#include <QMenu>
#include <QSlider>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace Desktop {

namespace StyleWidgets {

namespace {

// Kept for the whole process: items of every document draw with them.
template <typename Widget>
Widget* shared(Widget*& slot)
{
    if (!slot)
        slot = new Widget;
    return slot;
}

QMenu* theMenu = nullptr;
QTreeView* theTreeView = nullptr;
QGroupBox* theGroupBox = nullptr;
QTabWidget* theTabWidget = nullptr;
QComboBox* theComboBox = nullptr;
QMainWindow* theMainWindow = nullptr;
QToolBar* theMainToolBar = nullptr;
QToolBar* theButtonToolBar = nullptr;
QToolButton* theToolButton = nullptr;
QSlider* theSlider = nullptr;
QFrame* theFrame = nullptr;

} // namespace

QMenu* menu() { return shared(theMenu); }
QTreeView* treeView() { return shared(theTreeView); }
QGroupBox* groupBox() { return shared(theGroupBox); }
QTabWidget* tabWidget() { return shared(theTabWidget); }
QComboBox* comboBox() { return shared(theComboBox); }
QSlider* slider() { return shared(theSlider); }
QFrame* frame() { return shared(theFrame); }

QToolBar* toolBar()
{
    if (!theMainToolBar) {
        shared(theMainWindow);
        theMainToolBar = new QToolBar(theMainWindow);
        theMainWindow->addToolBar(theMainToolBar);
    }
    return theMainToolBar;
}

QToolButton* toolButton()
{
    if (!theToolButton) {
        theButtonToolBar = new QToolBar;
        theToolButton = new QToolButton(theButtonToolBar);
        theButtonToolBar->addWidget(theToolButton);
    }
    return theToolButton;
}

QToolButton* existingToolButton() { return theToolButton; }

} // namespace StyleWidgets

} // namespace Desktop
