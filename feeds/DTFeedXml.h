#pragma once
// Feed text read as XML in one pass, as a stream of events: no tree of the
// feed is ever built, so what a feed costs is the text (at most
// max_feed_size bytes) and what its reader keeps. A reader keeps only what
// its bounds let through; whatever it lets go is never decoded. Elements
// nest at most max_feed_depth deep; the walk itself keeps no stack.
//
// The grammar is that of the feeds' first reader (a tree reader called
// without flags), so the same bytes give the same values: several top-level
// elements may follow each other; an end tag's name is not checked against
// its start tag; the text ends at its first NUL byte; a leading UTF-8 byte
// order mark is skipped; XML declarations, processing instructions, DOCTYPE
// (with its bracketed subset) and other "<!...>" markup are skipped; text
// and CDATA of one element are one value, in document order, white space
// kept; comments are nodes of their own; &lt; &gt; &amp; &apos; &quot; and
// numeric references (&#65; &#x41;) are expanded in texts and attribute
// values, any other "&" is kept as it stands. A numeric reference to a
// surrogate, and any surrogate's three bytes in the text, become U+FFFD:
// they are no UTF-8, and one would make the whole value read as Latin-1.
// Pure functions; any thread.

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>

#include <boost/optional.hpp>

namespace kestrel {
namespace feeds {

const std::size_t max_feed_size = 1 << 20;
const std::size_t max_feed_depth = 64;

// The start tag of an element; valid only during the call that shows it.
class feed_tag {
public:
    feed_tag(std::string_view name, const char* attributes, const char* attributes_end)
        : name_(name), attributes_(attributes), attributes_end_(attributes_end) {}

    std::string_view name() const { return name_; }
    bool has_attributes() const { return attributes_ != attributes_end_; }
    // The value of the first attribute of that name, references expanded.
    boost::optional<std::string> attribute(std::string_view name) const;

private:
    std::string_view name_;
    const char* attributes_;
    const char* attributes_end_;
};

// What a feed's reader is told, in document order. Depth 1 is the top
// level: a document element, or a comment beside it.
class feed_events {
public:
    virtual ~feed_events() = default;
    // An element starts; an empty one ends at once after.
    virtual void element(std::size_t depth, const feed_tag& tag) = 0;
    virtual void comment(std::size_t depth) = 0;
    // Where a piece of the text of the innermost open element, at depth,
    // goes: appended to the string given, or dropped undecoded for null.
    virtual std::string* text(std::size_t depth) = 0;
    virtual void end(std::size_t depth) = 0;
};

// Reads the whole stream and tells events what it meets, until the end or
// the first fault. Throws errors::invalid_argument for a stream that failed
// or holds nothing, a feed past either bound, or text that is not XML
// ("XML line 3: expected >"); and what events throws. Events may come
// before the fault is met: a reader keeps nothing of a feed that throws.
void read_feed_xml(std::istream& stream, feed_events& events);

// Gives the memory of freed blocks back to the system (glibc's
// malloc_trim); nothing elsewhere. Process-wide, any thread.
void return_freed_memory() noexcept;

} // namespace feeds
} // namespace kestrel
