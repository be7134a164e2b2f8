#pragma once
// The maker's words for why a file could not be had, or is waited for:
// the media library says which (kestrel::file_refusal), the maker words it.

#include "files/DTFileRefusal.h"

#include <string>

namespace make_show {

// "does not answer", "its name is not UTF-8 text: rename it", ...; empty
// for none.
std::string refusal_words(kestrel::file_refusal refusal);

// A refused file's words: its refusal's, else the library's.
std::string refusal_words(const kestrel::refused_file& reason);

// Why a file is waited for: "it does not answer", "another program holds
// a lease on it".
std::string waiting_words(kestrel::file_refusal why);

} // namespace make_show
