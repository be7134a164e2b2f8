#pragma once
// An element name of an XML archive, stored the way Boost's archive reader
// needs it: to check an end tag it reads the expected name at the index of
// the length of the tag found in the text. The name therefore sits in a
// zero-padded buffer longer than any end tag a text may hold; texts with
// longer tags are refused before they are read (base/DTXmlArchiveText.h).

#include <cstddef>

namespace kestrel {

const std::size_t xml_longest_tag = 63;

struct xml_element_name {
    char text[xml_longest_tag + 1];
};

} // namespace kestrel
