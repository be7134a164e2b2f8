#include "base/DTUtf8.h"

namespace kestrel {

namespace {

// Whether the bytes after the lead byte continue a sequence of `total`
// bytes, with the bounds of the second byte that rule out overlong forms,
// surrogates and code points beyond U+10FFFF.
bool continues(const unsigned char* bytes, std::size_t total) {
    unsigned char low = 0x80, high = 0xBF;
    if (total == 3 && bytes[0] == 0xE0)
        low = 0xA0;
    else if (total == 3 && bytes[0] == 0xED)
        high = 0x9F;
    else if (total == 4 && bytes[0] == 0xF0)
        low = 0x90;
    else if (total == 4 && bytes[0] == 0xF4)
        high = 0x8F;
    if (bytes[1] < low || bytes[1] > high)
        return false;
    for (std::size_t i = 2; i < total; ++i)
        if ((bytes[i] & 0xC0) != 0x80)
            return false;
    return true;
}

} // namespace

std::size_t decode_utf8(const unsigned char* bytes, std::size_t size, char32_t& code_point) {
    const unsigned char lead = bytes[0];
    const std::size_t total = lead < 0x80                   ? 1
                              : lead >= 0xC2 && lead <= 0xDF ? 2
                              : lead >= 0xE0 && lead <= 0xEF ? 3
                              : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                             : 0;
    if (total == 0 || size < total || (total > 1 && !continues(bytes, total)))
        return 0;
    // The lead byte keeps 7, 5, 4 or 3 bits; each continuation byte 6.
    char32_t value = lead & (0x7F >> (total == 1 ? 0 : total));
    for (std::size_t i = 1; i < total; ++i)
        value = (value << 6) | (bytes[i] & 0x3F);
    code_point = value;
    return total;
}

} // namespace kestrel
