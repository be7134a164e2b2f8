#include "base/DTNameOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using kestrel::name_order_less;

// Names in the wanted order, most of them the other way round by bytes:
// digits by value, also past 64 bits and after a byte that does not decode;
// names alike but for case or leading zeros by bytes; letters without case
// (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic); a stray byte last.
// Each comes before every later one and never after it, so only equal names
// are alike, and a sort ends the same from any shuffle.
TEST(NameOrder, DigitsByValueLettersWithoutCaseAndOnlyEqualNamesAlike) {
    const std::vector<std::string> ordered = {
        "", "007 bond", "7 bond", "008 bond", "99999999999999999999", "100000000000000000000", "a2b", "A10a",
        "photo 9.jpg", "Photo 10.jpg", "photo 010.jpg", "photo 10.jpg", "photo 11.jpg",
        "xz", "x\xc3" "20", "x\xc3" "100", "x\xff", "zebra",
        "\xc3\xa9" "clair", "\xc3\x89" "crin",                                         // éclair, Écrin
        "\xc5\x82\xc3\xb3" "d\xc5\xba 2", "\xc5\x81\xc3\x93" "D\xc5\xb9 10",           // łódź 2, ŁÓDŹ 10
        "\xcf\x89\xce\xbc\xce\xad\xce\xb3\xce\xb1 2", "\xce\xa9\xce\x9c\xce\x88\xce\x93\xce\x91 10", // ωμέγα, ΩΜΈΓΑ
        "\xd1\x91\xd0\xbb\xd0\xba\xd0\xb0 2", "\xd0\x81\xd0\x9b\xd0\x9a\xd0\x90 10",   // ёлка 2, ЁЛКА 10
        "\xff",
    };
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        EXPECT_FALSE(name_order_less(ordered[i], ordered[i])) << testing::PrintToString(ordered[i]);
        for (std::size_t j = i + 1; j < ordered.size(); ++j)
            EXPECT_TRUE(name_order_less(ordered[i], ordered[j]) && !name_order_less(ordered[j], ordered[i]))
                << testing::PrintToString(ordered[i]) << " before " << testing::PrintToString(ordered[j]);
    }
    std::mt19937 random(20240611);
    for (int round = 0; round < 2; ++round) {
        std::vector<std::string> names = ordered;
        std::shuffle(names.begin(), names.end(), random);
        std::sort(names.begin(), names.end(), name_order_less);
        EXPECT_EQ(ordered, names);
    }
}
