// The advertisement feed reader on hostile bytes, read as the feed thread
// reads a downloaded body, for a caller whose region, language and version
// come from the input's first line; then one advertisement drawn for every
// slot name the feed holds. A refused feed must be refused with an
// exception, never a crash; a read one must keep only web addresses, and a
// draw ends in an advertisement, none, or the text's conversion error.
// A wrong answer aborts.

#include "feeds/DTAdvertisementProvider.h"
#include "feeds/DTWebAddress.h"

#include "support/FuzzInput.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

using namespace kestrel;
using namespace kestrel::advertisement;

namespace {

[[noreturn]] void wrong(const char* what, const std::string& detail) {
    std::fprintf(stderr, "advertisement_feed: %s: %s\n", what, detail.c_str());
    std::abort();
}

void check_address(const std::string& address) {
    if (!address.empty() && !feeds::is_web_address(address))
        wrong("kept an address off the web", address);
}

// "region language version" on the first line, the feed after it.
struct caller {
    std::string region, language, version;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream input(fuzz::as_text(data, size));
    std::string first_line;
    std::getline(input, first_line);
    caller who;
    std::istringstream(first_line) >> who.region >> who.language >> who.version;

    details::context_list contexts;
    try {
        contexts = details::parse(input, "slideshow", "linux-64", who.version, who.region, who.language);
    } catch (const std::exception&) {
        return 0;
    }
    std::vector<std::string> names{""};
    for (const details::context_ptr& slot : contexts) {
        names.push_back(slot->id);
        for (const details::rotation_ptr& item : slot->items) {
            check_address(item->url);
            check_address(item->bannerurl);
        }
    }
    provider feed(contexts);
    for (const std::string& name : names) {
        try {
            const instance_ptr ad = feed.create_instance(name);
            if (ad)
                check_address(ad->bannerurl());
        } catch (const std::logic_error&) {
            // An item text that is not UTF-8.
        }
    }
    return 0;
}
