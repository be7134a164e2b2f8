#pragma once
// The window's words for why a file could not be had, or is waited for:
// the media library says which (kestrel::file_refusal), the words are the
// program's own, translated. GUI thread; throws nothing.

#include "files/DTFileRefusal.h"

#include <QString>

namespace ViewModel {

// "it does not answer", "its name is not UTF-8 text: rename it", ...;
// empty for none.
QString refusalText(kestrel::file_refusal refusal);

// A refused file's words: its refusal's, else the library's.
QString refusalText(const kestrel::refused_file& reason);

// Why a file is waited for: "it does not answer", "another program holds
// a lease on it".
QString waitingReason(kestrel::file_refusal why);

} // namespace ViewModel
