#include "feeds/DTAppNotification.h"
#include "feeds/DTServiceAddress.h"
#include "feeds/DTWebAddress.h"

#include "support/CallbackRecorder.h"
#include "support/LogLines.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace {

using namespace kestrel;

// Sets one environment variable for a test; unsets it after.
class Variable {
public:
    Variable(const char* name, const char* value) : name_(name)
    {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~Variable() { unsetenv(name_); }

private:
    const char* name_;
};

std::string builtInWebBase()
{
    const Variable unset("LUMIVISTA_WEB_BASE", nullptr);
    return services::web_base();
}

struct AddressCase {
    const char* name;
    std::function<std::string()> read; // reads TEST_ADDRESS
    const char* value;                 // of TEST_ADDRESS; null: unset
    std::string expected;
    bool warned;
};
void PrintTo(const AddressCase& c, std::ostream* out)
{
    *out << c.name;
}

class AddressFromEnvironment : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressFromEnvironment, TakesOnlyWebAddressesAndNamesTheVariableItRefuses)
{
    const AddressCase& c = GetParam();
    const Variable variable("TEST_ADDRESS", c.value);
    testing::internal::CaptureStdout();
    const std::string address = c.read();
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(c.expected, address);
    EXPECT_EQ(c.warned, log.find("TEST_ADDRESS") != std::string::npos) << log;
    if (c.warned && c.value) {
        EXPECT_NE(std::string::npos, log.find(std::string("\"") + c.value + "\"")) << log;
    }
}

std::string site()
{
    return feeds::web_address_from_environment("TEST_ADDRESS", "http://127.0.0.1:8765");
}
std::string fetched()
{
    return feeds::http_address_from_environment("TEST_ADDRESS", "http://127.0.0.1:8765");
}
std::string host()
{
    return feeds::web_host_from_environment("TEST_ADDRESS", "127.0.0.1:8766");
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressFromEnvironment,
    testing::Values(
        AddressCase{"Unset", site, nullptr, "http://127.0.0.1:8765", false},
        AddressCase{"Empty", site, "", "http://127.0.0.1:8765", false},
        AddressCase{"Http", site, "http://127.0.0.1:9001/base", "http://127.0.0.1:9001/base", false},
        AddressCase{"HttpsInCapitals", site, "HTTPS://host.example", "HTTPS://host.example", false},
        AddressCase{"LocalFolder", site, "file:///some/folder", "http://127.0.0.1:8765", true},
        AddressCase{"Script", site, "javascript:alert(1)", "http://127.0.0.1:8765", true},
        AddressCase{"PortPast65535", site, "http://127.0.0.1:70000", "http://127.0.0.1:8765", true},
        AddressCase{"NoHost", site, "http:///etc/passwd", "http://127.0.0.1:8765", true},
        AddressCase{"BlankInFront", site, " http://127.0.0.1:9001", "http://127.0.0.1:8765", true},
        AddressCase{"BadBuiltInAddress",
                    [] { return feeds::web_address_from_environment("TEST_ADDRESS", "file:///x"); }, nullptr, "",
                    true},
        AddressCase{"FetchedHttp", fetched, "HTTP://127.0.0.1:9001/base", "HTTP://127.0.0.1:9001/base", false},
        AddressCase{"FetchedHttps", fetched, "https://127.0.0.1:9443", "http://127.0.0.1:8765", true},
        AddressCase{"FetchedLocalFolder", fetched, "file:///some/folder", "http://127.0.0.1:8765", true},
        AddressCase{"HttpsBuiltInAddressFetched",
                    [] { return feeds::http_address_from_environment("TEST_ADDRESS", "https://127.0.0.1"); },
                    nullptr, "", true},
        AddressCase{"HostAndPort", host, "127.0.0.1:9002", "127.0.0.1:9002", false},
        AddressCase{"Ipv6Host", host, "[::1]:9002", "[::1]:9002", false},
        AddressCase{"HostPortPast65535", host, "127.0.0.1:70000", "127.0.0.1:8766", true},
        AddressCase{"HostWithPath", host, "evil.example/x?", "127.0.0.1:8766", true},
        AddressCase{"HostWithUser", host, "me@evil.example", "127.0.0.1:8766", true},
        AddressCase{"HostWithScheme", host, "http://127.0.0.1", "127.0.0.1:8766", true}),
    [](const testing::TestParamInfo<AddressCase>& info) { return info.param.name; });

// The client has no https: an https site is refused as a local one is, in
// the same words, and told once however often the address is read.
TEST(ServiceAddress, AnHttpsSiteIsRefusedLikeALocalOneAndToldOnce)
{
    const std::string builtIn = builtInWebBase();
    std::vector<std::string> reasons;
    for (const std::string value : {"https://127.0.0.1:9443", "file:///srv/site"}) {
        const Variable base("LUMIVISTA_WEB_BASE", value.c_str());
        testing::internal::CaptureStdout();
        for (int read = 0; read < 3; ++read) {
            EXPECT_EQ(builtIn, services::web_base()) << value;
            EXPECT_EQ(builtIn + "/files/notification/lumivista.xml", services::notification_feed_url()) << value;
            EXPECT_EQ(builtIn + "/files/advertisement/lumivista.xml", services::advertisement_feed_url()) << value;
        }
        const std::vector<std::string> lines =
            test::log_lines_with(testing::internal::GetCapturedStdout(), "LUMIVISTA_WEB_BASE");
        ASSERT_EQ(1u, lines.size()) << value;
        const std::size_t quoted = lines[0].find("\"" + value + "\"");
        ASSERT_NE(std::string::npos, quoted) << lines[0];
        reasons.push_back(lines[0].substr(quoted + value.size() + 2));
    }
    EXPECT_EQ(reasons[0], reasons[1]);
}

// A site in a local folder: the feed there is never read, and the log says
// which variable was refused.
TEST(ServiceAddress, LocalFolderAsTheSiteReadsNothing)
{
    const test::TempDir site;
    const std::string folder = site.path();
    std::filesystem::create_directories(folder + "/files/notification");
    std::ofstream(folder + "/files/notification/lumivista.xml")
        << "<notification><id>1</id><message>local</message></notification>";
    const std::string builtIn = builtInWebBase();

    const Variable base("LUMIVISTA_WEB_BASE", ("file://" + folder).c_str());
    testing::internal::CaptureStdout();
    const std::string feed = services::notification_feed_url();
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(builtIn + "/files/notification/lumivista.xml", feed);
    EXPECT_NE(std::string::npos, log.find("LUMIVISTA_WEB_BASE \"file://" + folder + "\"")) << log;

    auto received = std::make_shared<test::CallbackRecorder<bool, appnotification::notification_ptr>>();
    appnotification::download(feed, received->receiver(), "agent",
                              feeds::fetch_limits{1 << 20, 2000, urdl::cancellation()});
    const auto calls = received->calls();
    ASSERT_EQ(1u, calls.size());
    const appnotification::notification_ptr read = std::get<1>(calls[0]);
    EXPECT_TRUE(!read || read->main_record().message() != "local");
}

} // namespace
