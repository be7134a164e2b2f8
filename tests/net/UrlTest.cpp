#include "net/Url.h"

#include "support/RowNames.h"

#include <boost/system/system_error.hpp>

#include <gtest/gtest.h>

namespace {

struct ParsedUrl {
    const char* text;
    const char* protocol;
    const char* user_info;
    const char* host;
    const char* written_port; // to_string(port_component)
    unsigned short port;
    const char* stored_path; // to_string(path_component)
    const char* path;        // unescaped
    const char* query;
    const char* fragment;
    bool ipv6;
};

void PrintTo(const ParsedUrl& c, std::ostream* out) { *out << testing::PrintToString(std::string(c.text)); }

class UrlParsing : public testing::TestWithParam<ParsedUrl> {};

TEST_P(UrlParsing, SplitsEveryPart) {
    const ParsedUrl& expected = GetParam();
    boost::system::error_code ec = make_error_code(boost::system::errc::io_error);
    const urdl::url u = urdl::url::from_string(expected.text, ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(expected.protocol, u.protocol());
    EXPECT_EQ(expected.user_info, u.user_info());
    EXPECT_EQ(expected.host, u.host());
    EXPECT_EQ(expected.written_port, u.to_string(urdl::url::port_component));
    EXPECT_EQ(expected.port, u.port());
    EXPECT_EQ(expected.stored_path, u.to_string(urdl::url::path_component));
    EXPECT_EQ(expected.path, u.path());
    EXPECT_EQ(expected.query, u.query());
    EXPECT_EQ(expected.fragment, u.fragment());
    EXPECT_EQ(expected.ipv6, u.ipv6_host());
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlParsing,
    testing::Values(
        ParsedUrl{"http://host", "http", "", "host", "", 80, "/", "/", "", "", false},
        ParsedUrl{"HTTP://Host:8080/a%20b?x=1#top", "http", "", "Host", ":8080", 8080, "/a%20b", "/a b",
                  "x=1", "top", false},
        ParsedUrl{"http://[::1]:8080/feed", "http", "", "::1", ":8080", 8080, "/feed", "/feed", "", "", true},
        ParsedUrl{"http://user:pw@host/", "http", "user:pw", "host", "", 80, "/", "/", "", "", false},
        ParsedUrl{"http://host:80@x/", "http", "host:80", "x", "", 80, "/", "/", "", "", false},
        ParsedUrl{"http://host/%41", "http", "", "host", "", 80, "/%41", "/A", "", "", false},
        ParsedUrl{"http://host?a b#f#g", "http", "", "host", "", 80, "/", "/", "a b", "f#g", false},
        ParsedUrl{"https://host/", "https", "", "host", "", 443, "/", "/", "", "", false},
        ParsedUrl{"ftp://host/", "ftp", "", "host", "", 21, "/", "/", "", "", false},
        ParsedUrl{"gopher://host/", "gopher", "", "host", "", 0, "/", "/", "", "", false},
        ParsedUrl{"http://host:065535/", "http", "", "host", ":065535", 65535, "/", "/", "", "", false},
        ParsedUrl{"file:///tmp/f%C3%BCed.xml", "file", "", "", "", 0, "/tmp/f%C3%BCed.xml",
                  "/tmp/f\xC3\xBC" "ed.xml", "", "", false}),
    [](const testing::TestParamInfo<ParsedUrl>& info) { return kestrel::test::row_name(info.index, info.param.text); });

class UrlRejected : public testing::TestWithParam<const char*> {};

TEST_P(UrlRejected, GivesInvalidArgumentAndAnEmptyUrl) {
    boost::system::error_code ec;
    const urdl::url u = urdl::url::from_string(GetParam(), ec);
    EXPECT_EQ(boost::system::errc::invalid_argument, ec);
    EXPECT_EQ(urdl::url(), u);
    EXPECT_TRUE(u.protocol().empty() && u.host().empty());
    try {
        urdl::url thrown(GetParam());
        ADD_FAILURE() << "no exception";
    } catch (const boost::system::system_error& e) {
        EXPECT_EQ(boost::system::errc::invalid_argument, e.code());
    }
}

INSTANTIATE_TEST_SUITE_P(Table, UrlRejected,
                         testing::Values("http://[::1/feed", "http://[::1]x/", "http://host:/", "http://host:8a/",
                                         "http:/host", "no-colon-at-all", "", "http://host/a b", "http://host/%4",
                                         "http://host/%zz", "http://host/%", "http://host/\xC3\xA4",
                                         "http://host:65536/", "http://host:99999999999999999999999/"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return kestrel::test::row_name(info.index, info.param);
                         });

TEST(Url, WritesTheChosenParts) {
    const urdl::url u("http://me@[::1]:8080/a%20b?x=1#top");
    EXPECT_EQ("http://me@[::1]:8080/a%20b?x=1#top", u.to_string());
    EXPECT_EQ("[::1]:8080", u.to_string(urdl::url::host_component | urdl::url::port_component));
    EXPECT_EQ("/a%20b?x=1", u.to_string(urdl::url::path_component | urdl::url::query_component));
    EXPECT_EQ("/", urdl::url("http://host").to_string(urdl::url::path_component | urdl::url::query_component));
}

TEST(Url, ComparesAllPartsButTheBracketFlag) {
    EXPECT_EQ(urdl::url("HTTP://h/p"), urdl::url("http://h/p"));
    EXPECT_NE(urdl::url("http://h/p#a"), urdl::url("http://h/p#b"));
    EXPECT_NE(urdl::url("http://h/p"), urdl::url("http://H/p"));
    EXPECT_EQ(urdl::url("http://[h]/p"), urdl::url("http://h/p"));
    EXPECT_LT(urdl::url("file:///z"), urdl::url("http://a/"));
    EXPECT_LT(urdl::url("http://a:1/z"), urdl::url("http://a:2/a"));
    EXPECT_FALSE(urdl::url("http://a/") < urdl::url("http://a/"));
}

} // namespace
