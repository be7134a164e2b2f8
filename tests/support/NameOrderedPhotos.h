#pragma once
// A folder of photos whose names a sort by bytes, and the system's listing,
// put in another order than a file manager shows them: what the program and
// the command-line maker must both take in that shown order.

#include "support/TestFiles.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kestrel {
namespace test {

// In the order shown: digits by value, letters without regard to case.
inline const std::vector<std::string>& photo_names_in_name_order()
{
    static const std::vector<std::string> names = {
        "photo 2.jpg", "Photo 9.jpg", "photo 10.jpg", "Photo 11.jpg", "photo 100.jpg", "zoo.jpg",
        "\xc3\x89mile 1.jpg", "\xc3\xa9mile 2.jpg", "\xc3\x89mile 10.jpg", // Émile, émile
    };
    return names;
}

// Writes `bytes` under each of those names into `folder`, in an order that
// is neither theirs nor its reverse: a folder listed in the order its files
// were made, or the reverse (tmpfs), or by hash (ext4) lists them otherwise.
inline void write_photos_out_of_name_order(const std::string& folder, const std::string& bytes)
{
    const std::vector<std::string>& names = photo_names_in_name_order();
    for (const std::size_t i : {4, 0, 7, 2, 8, 5, 1, 6, 3})
        write_file(folder + '/' + names[i], bytes);
}

} // namespace test
} // namespace kestrel
