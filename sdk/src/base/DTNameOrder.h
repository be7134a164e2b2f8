#pragma once
// File names in the order a file manager shows them, the same on every
// machine: a run of ASCII digits counts by its value ("photo 9" before
// "photo 10"), letters without regard to case (ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic, by a fixed table, never the locale), a
// byte that is not part of UTF-8 text after every character, by its value.
// Names alike by all that ("007" and "7", "Photo" and "photo") go by their
// bytes, so only equal names are equivalent. Pure; any thread; throws nothing.

#include <string>

namespace kestrel {

// Whether `a` comes before `b`: a strict total order, for std::sort. Paths
// in one folder compare as their names do.
bool name_order_less(const std::string& a, const std::string& b);

} // namespace kestrel
