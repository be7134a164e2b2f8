// The notification feed reader on hostile bytes, read as the feed thread
// reads a downloaded body. A feed it refuses must be refused with an
// exception, never a crash or an overflowing stack. A feed it reads must
// keep only web addresses, and its elements must nest exactly as deep as
// the bound's count said before the XML reader ran: a count that misses a
// level would let a deeper feed through. A wrong answer aborts.

#include "feeds/DTAppNotification.h"
#include "feeds/DTFeedXml.h"
#include "feeds/DTWebAddress.h"

#include "support/FuzzInput.h"

#include <boost/property_tree/ptree.hpp>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>

using namespace kestrel;

namespace {

[[noreturn]] void wrong(const char* what, const std::string& detail) {
    std::fprintf(stderr, "notification_feed: %s: %s\n", what, detail.c_str());
    std::abort();
}

// Elements only: attribute sets and comments sit below their element
// without being one.
std::size_t tree_depth(const boost::property_tree::ptree& tree) {
    std::size_t deepest = 0;
    for (const auto& child : tree)
        if (child.first != "<xmlattr>" && child.first != "<xmlcomment>")
            deepest = std::max(deepest, 1 + tree_depth(child.second));
    return deepest;
}

void check_address(const std::string& address) {
    if (!address.empty() && !feeds::is_web_address(address))
        wrong("kept an address off the web", address);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::as_text(data, size);
    std::istringstream body(text);
    appnotification::notification_ptr feed;
    try {
        feed = appnotification::details::parse(body);
    } catch (const std::exception&) {
        return 0;
    }
    check_address(feed->main_record().url());
    std::string name;
    appnotification::record entry;
    for (std::size_t i = 0; feed->update_at(i, name, entry); ++i)
        check_address(entry.url());

    std::istringstream again(text);
    const std::size_t counted = feeds::element_depth(text.data(), text.size(), feeds::max_feed_depth);
    const std::size_t nested = tree_depth(feeds::read_feed_xml(again));
    if (counted != nested)
        wrong("the count and the reader disagree", std::to_string(counted) + " counted, " +
                                                       std::to_string(nested) + " nested");
    return 0;
}
