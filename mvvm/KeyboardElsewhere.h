#pragma once
// Whether the user is in another program: the keyboard (X11's input focus)
// on a window that is neither this process's own nor one of `alsoOurs`
// (or inside one: a dialog another process shows for a window of ours, the
// window a chooser's dialog belongs to). The keyboard on nothing, on the
// root window or on the window manager's own window counts as nowhere
// else. A dialog or box that comes then shows without taking the keyboard
// and asks for attention, as a second start of the program does. False off
// X11. GUI thread.

#include <cstdint>
#include <initializer_list>

class QWidget;

namespace Mvvm {

bool keyboardInAnotherProgram(std::initializer_list<std::uint32_t> alsoOurs);

// Makes `window`, not shown yet, come without taking the keyboard when the
// user is in another program, and ask for attention once it shows.
void showQuietlyIfElsewhere(QWidget& window, std::initializer_list<std::uint32_t> alsoOurs);

} // namespace Mvvm
