#include "base/DTNameOrder.h"

#include "base/DTUtf8.h"

#include <cstdint>
#include <string_view>

namespace kestrel {

namespace {

// Capitals and how far their small letters are: each one from `first` to
// `last`, or every other one (`step` 2) where capitals and small letters
// alternate. Small letters and letters without case are left as they are.
struct case_range {
    char32_t first, last;
    char32_t step;
    std::int32_t to_small;
};

constexpr case_range capitals[] = {
    {0x41, 0x5A, 1, 0x20},      // A-Z
    {0xC0, 0xD6, 1, 0x20},      // À-Ö (× is no letter)
    {0xD8, 0xDE, 1, 0x20},      // Ø-Þ
    {0x100, 0x12E, 2, 1},       // Ā-Į (İ and ı are no pair)
    {0x132, 0x136, 2, 1},       // Ĳ-Ķ
    {0x139, 0x147, 2, 1},       // Ĺ-Ň
    {0x14A, 0x176, 2, 1},       // Ŋ-Ŷ
    {0x178, 0x178, 1, -0x79},   // Ÿ
    {0x179, 0x17D, 2, 1},       // Ź-Ž
    {0x17F, 0x17F, 1, -0x10C},  // long s: s
    {0x386, 0x386, 1, 0x26},    // Ά
    {0x388, 0x38A, 1, 0x25},    // Έ-Ί
    {0x38C, 0x38C, 1, 0x40},    // Ό
    {0x38E, 0x38F, 1, 0x3F},    // Ύ-Ώ
    {0x391, 0x3A1, 1, 0x20},    // Α-Ρ
    {0x3A3, 0x3AB, 1, 0x20},    // Σ-Ϋ
    {0x3C2, 0x3C2, 1, 1},       // final sigma: σ
    {0x400, 0x40F, 1, 0x50},    // Ѐ-Џ
    {0x410, 0x42F, 1, 0x20},    // А-Я
    {0x460, 0x480, 2, 1},       // Ѡ-Ҁ
    {0x48A, 0x4BE, 2, 1},       // Ҋ-Ҿ
    {0x4C0, 0x4C0, 1, 0xF},     // Ӏ
    {0x4C1, 0x4CD, 2, 1},       // Ӂ-Ӎ
    {0x4D0, 0x52E, 2, 1},       // Ӑ-Ԯ
};

char32_t small_letter(char32_t c) {
    for (const case_range& range : capitals) {
        if (c < range.first)
            break;
        if (c <= range.last && (c - range.first) % range.step == 0)
            return char32_t(std::int32_t(c) + range.to_small);
    }
    return c;
}

// A byte that does not decode ranks after every character.
constexpr std::uint32_t undecoded_rank = 0x110000;

bool is_digit(unsigned char byte) { return byte >= '0' && byte <= '9'; }

// One part of a name as it is compared: a run of digits ranks where the
// digits stand among the characters, then by its value (its digits without
// the leading zeros); a character by its small letter; a byte that does
// not decode by `undecoded_rank` and its value.
struct name_part {
    std::uint32_t rank = 0;
    std::string_view digits;
};

class name_parts {
public:
    explicit name_parts(const std::string& name)
        : at_(reinterpret_cast<const unsigned char*>(name.data())), end_(at_ + name.size()) {}

    bool done() const { return at_ == end_; }

    name_part next() {
        name_part part;
        if (is_digit(*at_)) {
            while (at_ != end_ && *at_ == '0')
                ++at_;
            const unsigned char* const significant = at_;
            while (at_ != end_ && is_digit(*at_))
                ++at_;
            part.rank = '0';
            part.digits = std::string_view(reinterpret_cast<const char*>(significant), std::size_t(at_ - significant));
            return part;
        }
        char32_t code_point = 0;
        const std::size_t length = decode_utf8(at_, std::size_t(end_ - at_), code_point);
        part.rank = length == 0 ? undecoded_rank + *at_ : small_letter(code_point);
        at_ += length == 0 ? 1 : length;
        return part;
    }

private:
    const unsigned char* at_;
    const unsigned char* const end_;
};

// <0, 0 or >0 as `a` comes before, alike or after `b` by parts.
int compare_parts(const std::string& a, const std::string& b) {
    name_parts left(a), right(b);
    while (!left.done() && !right.done()) {
        const name_part x = left.next(), y = right.next();
        if (x.rank != y.rank)
            return x.rank < y.rank ? -1 : 1;
        // Only runs of digits have digits: the longer value is the larger.
        if (x.digits.size() != y.digits.size())
            return x.digits.size() < y.digits.size() ? -1 : 1;
        if (const int order = x.digits.compare(y.digits))
            return order;
    }
    return int(!left.done()) - int(!right.done());
}

} // namespace

bool name_order_less(const std::string& a, const std::string& b) {
    const int order = compare_parts(a, b);
    return order != 0 ? order < 0 : a < b;
}

} // namespace kestrel
