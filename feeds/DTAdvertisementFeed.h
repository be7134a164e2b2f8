#pragma once
// Reading the advertisement feed. Only depth and attribute sets give the
// XML its meaning; element names at depths 1 to 5 are never looked at:
//
//   <feed>                                        depth 1, nothing read
//     <group region="US, GB" locale="en,de">      depth 2: region, language
//       <product id="slideshow" os="linux-64"     depth 3: product key, os,
//                min-version="1.0.0.0" max-version="1.9.0.0">   version range
//         <context id="banner">                   depth 4: a slot
//           <item rate="3" id="a1">               depth 5: one advertisement
//             <url/><text/><bannerurl/>
//
// The feed is read as it goes by (DTFeedXml.h): groups and products that
// do not match the caller are passed over with all they hold. Every
// matching context goes into the list, in document order, whether it has
// items or not, up to max_kept_contexts; with them the first max_kept_items
// items in all. What the bounds leave out is said once in the log: the list
// stays small however dense the feed (a 1 MiB feed holds 260,000 empty
// elements), and the selection (DTAdvertisementInstance.h) takes the first
// context of a name anyway. Of an item, the text of its first url, text and
// bannerurl child is kept. Comments count as children (a comment in a
// product is a context without items; one in a context is an item without
// a rate). A link or banner address that is not http or https is refused
// and read as empty (DTWebAddress.h). Pure functions but for the time seed
// of each context's engine and the log of refused addresses; none depends
// on the process locale.

#include <boost/optional.hpp>
#include <boost/random/linear_congruential.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace kestrel {
namespace advertisement {
namespace details {

// One advertisement; texts UTF-8 as they stand in the feed.
struct rotation {
    std::string id;
    std::string url;
    std::string text;
    std::string bannerurl;
    std::uint32_t rate = 0; // weight of the draw
};
typedef boost::shared_ptr<rotation> rotation_ptr;

// One slot. An empty id answers every slot name.
struct context {
    context(); // seeds the engine with the current time in seconds
    std::string id;
    std::vector<rotation_ptr> items;
    boost::random::rand48 engine; // draws of successive selections
};
typedef boost::shared_ptr<context> context_ptr;
typedef std::vector<context_ptr> context_list;

// Holds when the attribute or the caller's value is empty, or both are
// equal byte for byte.
bool match_value(const std::string& attribute, const std::string& value);
// The attribute is a comma-separated list (blanks ignored); holds when the
// list or the value is empty, or the value is one of the words.
bool match_list(const std::string& attribute, const std::string& value);
// "a.b.c.d" (or with ","), each part 0 to 65535 (a leading "-" wraps), as
// a·2^48 + b·2^32 + c·2^16 + d; none for any other text.
boost::optional<std::uint64_t> parse_version(const std::string& text);
// Inclusive bounds; a bound without a value is no bound, and a caller's
// version without a value matches every range.
bool match_version(const std::string& min_version, const std::string& max_version, const std::string& version);

const std::size_t max_kept_contexts = 1000;
const std::size_t max_kept_items = 1000;

// Throws on text that is not well-formed XML (also a failed or empty
// stream), on a feed past the bounds of DTFeedXml.h and on an item whose
// rate is missing or not a 32-bit number, kept or not.
context_list parse(std::istream& stream, const std::string& product, const std::string& os,
                   const std::string& version, const std::string& region, const std::string& language);

} // namespace details
} // namespace advertisement
} // namespace kestrel
