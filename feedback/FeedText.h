#pragma once
// Text from a feed as the user is shown it (a notice, an update's message,
// an advertisement): read as the UTF-8 it nearly always is, as Latin-1 when
// the part kept is not valid UTF-8 (bytes past the cut never decide, nor
// does a last character cut short that the cut leaves out, and it never
// shows); bidirectional controls (U+061C, U+200E/F, U+202A-E, U+2066-9) left
// out, so a name can never show reordered ("txt.exe" as "exe.txt"), and so are
// the controls a label would draw as a box (C0 but tab, "\n" and "\r";
// DEL; C1 with U+0085); then cut after maxShownCharacters UTF-16 units or
// maxShownLines lines, whichever comes first, with "…" where it was cut.
// A surrogate pair is never split. The bytes are read only as far as the
// cut, so the cost is bounded by what is kept, whatever the feed sent. A
// line ends at "\n", "\r\n", "\r", U+2028 or U+2029. Pure; any thread.

#include <QString>

#include <string>

namespace Feedback {

const qsizetype maxShownCharacters = 2000;
const int maxShownLines = 30;

QString shownFeedText(const std::string& bytes);

} // namespace Feedback
