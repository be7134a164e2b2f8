#pragma once
// Feed text read as XML only within bounds: at most max_feed_size bytes and
// elements nested at most max_feed_depth deep, both checked before the XML
// reader sees the text. The reader (Boost.PropertyTree over rapidxml)
// recurses once per level of nesting, so a feed nested thousands of levels
// deep would overflow the stack of whatever thread reads it. The tree is
// large beside its text (a 1 MiB feed of empty elements makes one of some
// 100 MB), so a reader copies out what it keeps and lets the tree go at
// once (keep_from_feed_xml). Pure functions but for that, any thread.

#include <boost/property_tree/ptree.hpp>

#include <cstddef>
#include <istream>
#include <utility>

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

// Gives the memory of freed blocks back to the system (glibc's
// malloc_trim); nothing elsewhere. Process-wide, any thread.
void return_freed_memory() noexcept;

namespace details {
struct freed_memory_returner {
    ~freed_memory_returner() { return_freed_memory(); }
};
} // namespace details

// Hands the tree of read_feed_xml to keep, which copies out what it needs,
// and gives what keep returns. The tree is freed as soon as keep returns
// or throws, and the memory it held given back to the system: the C
// library would keep it for the rest of the run, pinned by whatever the
// reader kept. Throws what read_feed_xml or keep throws.
template <class Keep>
auto keep_from_feed_xml(std::istream& stream, Keep&& keep)
    -> decltype(keep(std::declval<const boost::property_tree::ptree&>())) {
    const details::freed_memory_returner returner; // destroyed after the tree
    return keep(read_feed_xml(stream));
}

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
