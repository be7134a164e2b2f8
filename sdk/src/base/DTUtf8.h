#pragma once
// One UTF-8 sequence read from bytes that may not be UTF-8 text (file
// names are the system's bytes). Well-formed only: no overlong form, no
// surrogate, nothing beyond U+10FFFF. Pure; any thread; throws nothing.

#include <cstddef>

namespace kestrel {

// The length (1 to 4) of the well-formed sequence that starts `bytes` (of
// `size` bytes, at least one), its code point in `code_point`; 0 when none
// starts there (`code_point` is then left as it was).
std::size_t decode_utf8(const unsigned char* bytes, std::size_t size, char32_t& code_point);

} // namespace kestrel
