#pragma once
// Bytes from outside (a file's name, a path, a web address) as UTF-8 text.
// The system names files by bytes, UTF-8 or not; a message or a log line
// shows UTF-8 text, and a decoder's replacement character would turn a
// name into one that names no file. So each byte that is not part of UTF-8
// text is shown as "\x" and two lower-case hexadecimal digits:
// "caf\xe9.jpg". Any thread; nothing is thrown but std::bad_alloc.

#include <string>

namespace kestrel {

// Whether the bytes are UTF-8 text (no overlong form, no surrogate, nothing
// beyond U+10FFFF).
bool is_utf8_text(const std::string& bytes);

// The bytes as a message shows them: UTF-8 text as it is, every other
// byte as \xNN.
std::string utf8_escaped(const std::string& bytes);

// The same for the bytes [first, last), appended to `out`; an ASCII byte
// that `also` picks (one that would break a log line, say) is written as
// \xNN too.
void append_utf8_escaped(std::string& out, const char* first, const char* last,
                         bool (*also)(unsigned char) = nullptr);

} // namespace kestrel
