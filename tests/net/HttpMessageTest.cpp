#include "net/HttpMessage.h"
#include "net/HttpOptions.h"
#include "net/OptionSet.h"

#include "support/RowNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using namespace urdl;

struct RequestCase {
    const char* name;
    const char* url;
    std::function<void(option_set&)> options;
    std::string bytes;
};

void PrintTo(const RequestCase& c, std::ostream* out) { *out << c.name; }

class HttpRequestBytes : public testing::TestWithParam<RequestCase> {};

TEST_P(HttpRequestBytes, AreExactlyTheseBytes) {
    option_set options;
    GetParam().options(options);
    EXPECT_EQ(GetParam().bytes, detail::build_http_request(url(GetParam().url), options));
}

INSTANTIATE_TEST_SUITE_P(
    Table, HttpRequestBytes,
    testing::Values(
        RequestCase{"AgentOnly", "http://host/feed.xml",
                    [](option_set& o) { o.set_option(http::user_agent("kestrel(Linux)")); },
                    "GET /feed.xml HTTP/1.0\r\nHost: host\r\nAccept: */*\r\n"
                    "User-Agent: kestrel(Linux)\r\nConnection: close\r\n\r\n"},
        RequestCase{"PortQueryNoFragment", "http://host:8080/a%20b?x=1#top", [](option_set&) {},
                    "GET /a%20b?x=1 HTTP/1.0\r\nHost: host:8080\r\nAccept: */*\r\nConnection: close\r\n\r\n"},
        RequestCase{"KeepAliveNoUserInfo", "http://me:pw@[::1]",
                    [](option_set& o) {
                        o.set_option(http::connection_type("close"));
                        o.set_option(http::user_agent("A"));
                        o.set_option(http::connection_type("Keep-Alive"));
                    },
                    "GET / HTTP/1.0\r\nHost: [::1]\r\nAccept: */*\r\nUser-Agent: A\r\n"
                    "Connection: Keep-Alive\r\n\r\n"},
        RequestCase{"BodyAndExtraHeaders", "http://h/p",
                    [](option_set& o) {
                        o.set_option(http::request_method("POST"));
                        o.set_option(http::request_content("a=1"));
                        o.set_option(http::request_content_type("text/plain"));
                        o.set_option(http::user_agent("A"));
                        o.set_option(http::additional_headers({{"X-One", "1"}, {"X-Two", "2"}}));
                        o.set_option(http::connection_type(""));
                    },
                    "POST /p HTTP/1.0\r\nHost: h\r\nAccept: */*\r\nContent-Length: 3\r\n"
                    "Content-Type: text/plain\r\nUser-Agent: A\r\nX-One: 1  \r\nX-Two: 2  \r\n\r\na=1"},
        RequestCase{"ContentTypeWithoutBodyIsNotSent", "http://h/",
                    [](option_set& o) { o.set_option(http::request_content_type("text/plain")); },
                    "GET / HTTP/1.0\r\nHost: h\r\nAccept: */*\r\nConnection: close\r\n\r\n"}),
    [](const testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

struct RequestLineCase {
    const char* name;
    const char* url;
    const char* line; // the request line without its "\r\n"
};

void PrintTo(const RequestLineCase& c, std::ostream* out)
{
    *out << c.name << ": " << testing::PrintToString(std::string(c.url));
}

class HttpRequestLine : public testing::TestWithParam<RequestLineCase> {};

// Whatever the URL's query holds, the line is three words of visible ASCII.
TEST_P(HttpRequestLine, HoldsOnlyVisibleAscii) {
    const std::string request = detail::build_http_request(url(GetParam().url), option_set());
    const std::string line = request.substr(0, request.find("\r\n"));
    EXPECT_EQ(GetParam().line, line);
    EXPECT_EQ(2, std::count(line.begin(), line.end(), ' '));
    EXPECT_EQ(line.size() + 2, request.find("Host: ")) << "no line end inside the request line";
}

INSTANTIATE_TEST_SUITE_P(
    Table, HttpRequestLine,
    testing::Values(
        RequestLineCase{"SpaceAndHighByte", "http://h/p?x=a b\xE9", "GET /p?x=a%20b%E9 HTTP/1.0"},
        RequestLineCase{"LineBreakInjection", "http://h/p?a\r\nHost: evil", "GET /p?a%0D%0AHost:%20evil HTTP/1.0"},
        RequestLineCase{"EscapesKeptAsWritten", "http://h/a%20b?q=%41%zz%", "GET /a%20b?q=%41%zz% HTTP/1.0"},
        RequestLineCase{"ControlAndHighBytes", "http://h?\t\x7F\x80\xFF", "GET /?%09%7F%80%FF HTTP/1.0"},
        RequestLineCase{"VisiblePunctuationKept", "http://h/?!~\"<>", "GET /?!~\"<> HTTP/1.0"},
        RequestLineCase{"SecondVersionInQuery", "http://h/p? HTTP/1.1", "GET /p?%20HTTP/1.1 HTTP/1.0"}),
    [](const testing::TestParamInfo<RequestLineCase>& info) { return std::string(info.param.name); });

TEST(HttpRequestHost, OnlyVisibleAsciiHostsAreSent) {
    EXPECT_TRUE(detail::is_sendable_host(url("http://example.test:80/")));
    EXPECT_TRUE(detail::is_sendable_host(url("http://[::1]/")));
    for (const char* refused : {"http:///p", "http://ho st/", "http://host\r\nX-Injected/", "http://h\xC3\xA4/",
                                "http://user@/"})
        EXPECT_FALSE(detail::is_sendable_host(url(refused))) << refused;
}

TEST(OptionSet, ReplacesClearsAndCopiesByType) {
    option_set options;
    EXPECT_EQ("GET", options.get_option<http::request_method>().value());
    EXPECT_EQ("close", options.get_option<http::connection_type>().value());
    EXPECT_EQ("", options.get_option<http::user_agent>().value());

    options.set_option(http::user_agent("one"));
    options.set_option(http::connection_type("Keep-Alive"));
    options.set_option(http::user_agent("two"));
    option_set copy(options);
    options.clear_option<http::user_agent>();
    EXPECT_EQ("", options.get_option<http::user_agent>().value());
    EXPECT_EQ("Keep-Alive", options.get_option<http::connection_type>().value());
    EXPECT_EQ("two", copy.get_option<http::user_agent>().value());

    option_set merged;
    merged.set_option(http::user_agent("old"));
    merged.set_options(copy);
    EXPECT_EQ("two", merged.get_option<http::user_agent>().value());
    EXPECT_EQ("Keep-Alive", merged.get_option<http::connection_type>().value());
    merged = options;
    EXPECT_EQ("", merged.get_option<http::user_agent>().value());
}

struct StatusCase {
    std::string text;
    bool parses;
    int status;
    std::size_t length;
};

void PrintTo(const StatusCase& c, std::ostream* out) { *out << testing::PrintToString(c.text); }

class HttpStatusLine : public testing::TestWithParam<StatusCase> {};

TEST_P(HttpStatusLine, ParsesOnlyTheExactForm) {
    int status = -1;
    std::size_t length = 0;
    const StatusCase& c = GetParam();
    EXPECT_EQ(c.parses, detail::parse_http_status_line(c.text.data(), c.text.size(), status, length));
    if (c.parses) {
        EXPECT_EQ(c.status, status);
        EXPECT_EQ(c.length, length);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HttpStatusLine,
                         testing::Values(StatusCase{"HTTP/1.1 200 OK\r\nContent-Type: x\r\n", true, 200, 17},
                                         StatusCase{"HTTP/1.0 404 Not Found\r\n", true, 404, 24},
                                         StatusCase{"HTTP/12.34 100 \r\n", true, 100, 17},
                                         StatusCase{"HTTP/1.1 200 Caf\xC3\xA9\r\n", true, 200, 20},
                                         StatusCase{"HTTP/1.1 200\r\n", false, 0, 0},
                                         StatusCase{"HTTP/1.1 200 O\tK\r\n", false, 0, 0},
                                         StatusCase{"HTTP/1 200 OK\r\n", false, 0, 0},
                                         StatusCase{"HTTP/1.1 2x0 OK\r\n", false, 0, 0},
                                         StatusCase{"HTTP/1.1  200 OK\r\n", false, 0, 0},
                                         StatusCase{"HTTP/1.1 200 OK\n", false, 0, 0},
                                         StatusCase{"HTTP/1.1 200 OK\r", false, 0, 0},
                                         StatusCase{"http/1.1 200 OK\r\n", false, 0, 0},
                                         StatusCase{"", false, 0, 0}),
                         [](const testing::TestParamInfo<StatusCase>& info) {
                             return kestrel::test::row_name(info.index, info.param.text);
                         });

struct HeaderCase {
    std::string block;
    bool parses;
    std::string content_type;
    std::size_t content_length;
    std::string location;
};

void PrintTo(const HeaderCase& c, std::ostream* out) { *out << testing::PrintToString(c.block); }

class HttpHeaderBlock : public testing::TestWithParam<HeaderCase> {};

TEST_P(HttpHeaderBlock, KeepsTypeLengthAndLocation) {
    const HeaderCase& c = GetParam();
    detail::http_header_fields fields;
    fields.content_type = "untouched";
    ASSERT_EQ(c.parses, detail::parse_http_headers(c.block, fields));
    if (!c.parses) {
        EXPECT_EQ("untouched", fields.content_type);
        return;
    }
    EXPECT_EQ(c.content_type, fields.content_type);
    EXPECT_EQ(c.content_length, fields.content_length);
    EXPECT_EQ(c.location, fields.location);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HttpHeaderBlock,
    testing::Values(
        HeaderCase{"Content-Type: text/xml\r\nContent-Length: 12\r\nX-Other: y\r\n\r\n", true, "text/xml", 12, ""},
        HeaderCase{"\r\n", true, "", 0, ""},
        HeaderCase{"content-length: 12abc\r\nLOCATION: http://a/\r\n\r\n", true, "", 12, "http://a/"},
        HeaderCase{"Content-Length:  \t7\r\n\r\n", false, "", 0, ""},
        HeaderCase{"Content-Length:   7\r\n\r\n", true, "", 7, ""},
        HeaderCase{"Location: http://x/\r\n  \t more\r\n\r\n", true, "", 0, "http://x/more"},
        HeaderCase{"Content-Type:  two  blanks \r\n\r\n", true, " two  blanks ", 0, ""},
        HeaderCase{"Location: a\r\nLocation: b\r\n\r\n", true, "", 0, "b"},
        HeaderCase{"X-Name: caf\xC3\xA9\r\nContent-Type: t\r\n\r\n", true, "t", 0, ""},
        HeaderCase{"Content-Type:text/xml\r\n\r\n", false, "", 0, ""},
        HeaderCase{"Content-Type:\ttext/xml\r\n\r\n", false, "", 0, ""},
        HeaderCase{"Content-Type: a: b\r\n\r\n", true, "a: b", 0, ""},
        HeaderCase{"Caf\xC3\xA9: x\r\n\r\n", false, "", 0, ""},
        HeaderCase{"Content-Type: a\tb\r\n\r\n", false, "", 0, ""},
        HeaderCase{" folded-first: x\r\n\r\n", false, "", 0, ""},
        HeaderCase{"Content-Type: a\r\n", false, "", 0, ""},
        HeaderCase{"Content-Type: a\r\n\r", false, "", 0, ""},
        HeaderCase{"Content-Type: a\n\r\n", false, "", 0, ""}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return kestrel::test::row_name(info.index, info.param.block); });

} // namespace
