#pragma once
// Whether the user is in another program: the keyboard (X11's input focus)
// on a window that is neither this process's own nor `alsoOurs` (0 for
// none), nor inside one: a dialog another process shows for a window of ours, the
// window a chooser's dialog belongs to). The keyboard on nothing, on the
// root window or on the window manager's own window counts as nowhere
// else. What comes then leaves the keyboard where it is and asks for
// attention, as a second start of the program does. False off X11. GUI
// thread.

#include <cstdint>

class QDialog;
class QWidget;

namespace Mvvm {

bool keyboardInAnotherProgram(std::uint32_t alsoOurs = 0);

// Shows `dialog`, the one window of its process, and waits for its end:
// modal as ever, or where the user is in another program, without taking
// the keyboard (Qt activates a modal window as it maps it) and asking for
// attention. Its result.
int execLeavingTheKeyboard(QDialog& dialog, std::uint32_t alsoOurs);

// Where the user is in another program, waits until they come back to
// this one (the keyboard on one of its windows) or ask the window system
// to close one of its windows, its windows kept from input meanwhile and
// asking for attention: a modal box shown after it then takes the
// keyboard from no other program, nor rises above it, and shows before
// any close.
void waitForTheUserIfElsewhere(QWidget* window, std::uint32_t alsoOurs);

} // namespace Mvvm
