#pragma once
// A look at a path (does a folder stand there, where do its links lead)
// made on a thread of its own and waited for at most a patience, so that a
// share that hangs never holds the window's thread longer than that. A look
// that has not answered by then is left to end by itself: it keeps only
// what it owns, and its answer, when it comes, goes nowhere. At most
// maxLeftWaiting looks are left waiting at once; while that many wait, a
// new one is refused at once, as not answered. Qt alone, for the layers
// that do not reach the media library's calls (which do the same with the
// library's reader threads). Any thread; `look` must own whatever it uses
// and throw nothing.

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace ComponentModel {

constexpr int maxLeftWaiting = 4;

// What `look` gave, or nothing when it did not answer within `patience`.
std::optional<QString> lookWithin(std::chrono::milliseconds patience, std::function<QString()> look);

} // namespace ComponentModel
