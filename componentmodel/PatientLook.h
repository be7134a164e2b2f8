#pragma once
// A look at a path (does a folder stand there, does its listing answer,
// where do its links lead) made off the caller's thread and waited for at
// most a patience, so that a share that hangs never holds the window's
// thread longer than that. A look that has not answered by then is left to
// end by itself: it keeps only what it owns, and its answer, when it
// comes, goes nowhere.
//
// How a look is made is the program's: it sets once, at start-up, a maker
// that counts the looks left waiting per file system, as its file reads do
// (the library's, with which a share that hangs keeps a few looks waiting
// and refuses the next at once, while a look on another disk is made as
// ever). Without one, each look runs on a thread of its own, at most
// maxLeftWaiting of them left waiting in all. Any thread; `look` must own
// whatever it uses and throw nothing.

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace ComponentModel {

constexpr int maxLeftWaiting = 4;

// What `look` at `path` gave, or nothing when it did not answer within
// `patience` (or was refused, its disk keeping too many looks waiting).
using LookMaker = std::function<std::optional<QString>(const QString& path, std::chrono::milliseconds patience,
                                                       std::function<QString()> look)>;

std::optional<QString> lookWithin(const QString& path, std::chrono::milliseconds patience,
                                  std::function<QString()> look);

// Makes every later look with `maker` (an empty one: the threads of their
// own) and gives the one it replaces. Before any look is made.
LookMaker setLookMaker(LookMaker maker);

} // namespace ComponentModel
