#pragma once
// Feed text read as XML only within bounds: at most max_feed_size bytes and
// elements nested at most max_feed_depth deep, both checked before the XML
// reader sees the text. The reader (Boost.PropertyTree over rapidxml)
// recurses once per level of nesting, so a feed nested thousands of levels
// deep would overflow the stack of whatever thread reads it. Pure
// functions, any thread.

#include <boost/property_tree/ptree.hpp>

#include <cstddef>
#include <istream>

namespace kestrel {
namespace feeds {

const std::size_t max_feed_size = 1 << 20;
const std::size_t max_feed_depth = 64;

// The tree of the whole stream, read as read_xml without flags reads it,
// but that a surrogate's three bytes in a text (what a character reference
// such as &#xD800; gives) become U+FFFD.
// Throws errors::invalid_argument for a stream that failed or holds nothing,
// or a feed past either bound; what read_xml throws for text that is not XML.
boost::property_tree::ptree read_feed_xml(std::istream& stream);

// How deep the XML reader would nest the elements of text[0, size): the
// deepest level of an element, the document element at level 1, as the
// reader tokenises (comments, CDATA, processing instructions, DOCTYPE and
// quoted attribute values hold no elements; the text ends at its first
// NUL byte, as for the reader). Counting stops at limit + 1. Text the
// reader would refuse may count either way: the reader stops there before
// nesting any deeper.
std::size_t element_depth(const char* text, std::size_t size, std::size_t limit);

} // namespace feeds
} // namespace kestrel
