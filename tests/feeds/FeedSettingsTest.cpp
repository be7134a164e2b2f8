#include "feeds/DTAdvertisementProvider.h"
#include "feeds/DTServiceAddress.h"

#include "net/Url.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using kestrel::advertisement::locale_parts;
using kestrel::advertisement::split_locale_name;

TEST(ServiceAddress, LoopbackUnlessTheEnvironmentSaysOtherwise) {
    unsetenv("LUMIVISTA_WEB_BASE");
    const std::string built_in = kestrel::services::web_base();
    EXPECT_EQ("127.0.0.1", urdl::url(built_in).host());
    EXPECT_EQ(kestrel::services::web_base() + "/files/advertisement/lumivista.xml",
              kestrel::services::advertisement_feed_url());

    setenv("LUMIVISTA_WEB_BASE", "http://site.test:81//", 1);
    EXPECT_EQ("http://site.test:81", kestrel::services::web_base());
    EXPECT_EQ("http://site.test:81/files/advertisement/lumivista.xml", kestrel::services::advertisement_feed_url());
    EXPECT_EQ("http://site.test:81/files/notification/lumivista.xml", kestrel::services::notification_feed_url());
    setenv("LUMIVISTA_WEB_BASE", "", 1);
    EXPECT_EQ(built_in, kestrel::services::web_base());
    unsetenv("LUMIVISTA_WEB_BASE");
}

TEST(LocaleName, SplitsIntoLanguageAndRegion) {
    const struct {
        const char* name;
        const char* language;
        const char* region;
    } cases[] = {{"en_US", "en", "US"}, {"C", "C", ""}, {"", "", ""}, {"de_", "de", ""},
                 {"_AT", "", "AT"},     {"sr_RS_x", "sr", "RS"}};
    for (const auto& c : cases) {
        const locale_parts parts = split_locale_name(c.name);
        EXPECT_EQ(c.language, parts.language) << c.name;
        EXPECT_EQ(c.region, parts.region) << c.name;
    }
}

// Run under the user's locale and once more under LANG=C, whose name has no
// region.
TEST(LocaleName, OfThisProcessSplitsWithoutFailing) {
    const std::string name = QLocale::system().name().toStdString();
    const locale_parts parts = split_locale_name(name);
    const std::size_t separator = name.find('_');
    EXPECT_EQ(name.substr(0, separator), parts.language);
    if (separator == std::string::npos) {
        EXPECT_EQ("", parts.region);
    } else {
        EXPECT_FALSE(parts.region.empty());
    }
    const char* lang = std::getenv("LANG");
    if (lang && std::string(lang) == "C") {
        EXPECT_EQ("C", name);
    }
}

} // namespace
