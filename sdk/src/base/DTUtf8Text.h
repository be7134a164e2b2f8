#pragma once
// Bytes from outside (a file's name, a path, a web address) as UTF-8 text.
// The system names files by bytes, UTF-8 or not; a message or a log line
// shows UTF-8 text, and a decoder's replacement character would turn a
// name into one that names no file. So a name that is not UTF-8 text shows
// each byte outside UTF-8 as "\x" and two lower-case hexadecimal digits, and
// each backslash of its own doubled: "caf\xe9.jpg" is the name with the byte
// E9, "caf\\xe9.jpg" the one typed with a backslash. A name of UTF-8 text
// shows as it is ("a\b.jpg") unless it holds what reads as an escape (two
// backslashes in a row, or a backslash, "x" and two hexadecimal digits):
// such a name shows escaped too, its backslashes doubled. So a shown name
// holding "\\" or "\xNN" is an escaped one, and no two names show alike.
// Any thread; nothing is thrown but std::bad_alloc.

#include <string>

namespace kestrel {

// Whether the bytes are UTF-8 text (no overlong form, no surrogate, nothing
// beyond U+10FFFF).
bool is_utf8_text(const std::string& bytes);

// The bytes as a message shows them: UTF-8 text without what reads as an
// escape as it is; any other name escaped, every byte outside UTF-8 as
// \xNN and every backslash as \\.
std::string utf8_escaped(const std::string& bytes);

// The bytes [first, last) appended to `out`, every byte outside UTF-8 as
// \xNN, and so is an ASCII byte that `also` picks (one that would break a
// log line, say: the log's quoted text writes each backslash as \x5c).
void append_utf8_escaped(std::string& out, const char* first, const char* last,
                         bool (*also)(unsigned char) = nullptr);

} // namespace kestrel
