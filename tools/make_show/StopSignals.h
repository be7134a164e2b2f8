#pragma once
// The signals that stop the making rather than end the program on the
// spot: Ctrl-C (SIGINT), SIGTERM, the terminal closing (SIGHUP) and the
// output's reader leaving (SIGPIPE, as under "| head"). Each only raises a
// flag that the production polls, so the unfinished video is removed and
// OUT left as it was; a write to the reader or terminal that left then
// fails quietly instead of ending the program. A hang-up ignored from the
// start (nohup) stays ignored, so the making outlives its terminal.

#include <atomic>

namespace make_show {

// Raised by the signals given to stop_on_signal, and by the program itself.
std::atomic<bool>& stop_asked();

// From now on the signal raises stop_asked().
void stop_on_signal(int number);

} // namespace make_show
