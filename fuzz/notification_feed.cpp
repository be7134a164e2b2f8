// The notification feed reader on hostile bytes, read as the feed thread
// reads a downloaded body. A feed it refuses must be refused with an
// exception, never a crash or an overflowing stack. A feed it reads must
// keep only web addresses, and no more update entries than its bound. A
// wrong answer aborts.

#include "feeds/DTAppNotification.h"
#include "feeds/DTWebAddress.h"

#include "support/FuzzInput.h"

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
    if (feed->update_count() > appnotification::max_kept_updates)
        wrong("kept entries past the bound", std::to_string(feed->update_count()));
    return 0;
}
