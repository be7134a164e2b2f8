#include "net/HttpError.h"
#include "net/HttpOptions.h"
#include "net/IStream.h"
#include "net/StreamLimits.h"

#include "RequestWatchdog.h"

#include "support/LoopbackHttpServer.h"
#include "support/TestFiles.h"

#include <boost/asio/error.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>

namespace {

using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;
using kestrel::test::run_bounded;
using boost::system::error_code;

// The whole body, read the way the feed readers read it.
std::string read_body(urdl::istream& stream) {
    std::ostringstream body;
    body << stream.rdbuf();
    return body.str();
}

// A file URL for a UTF-8 path: every byte outside the plain set escaped.
std::string file_url(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            std::string("/-._~").find(static_cast<char>(c)) != std::string::npos) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

// Bytes that no text transformation leaves alone: every byte value, in a
// pattern that does not repeat at the buffer's refill size.
std::string binary_bytes(std::size_t size) {
    std::string bytes(size, '\0');
    unsigned value = 12345;
    for (char& c : bytes) {
        value = value * 1103515245u + 12345u;
        c = static_cast<char>(value >> 16);
    }
    return bytes;
}

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

class HttpClient : public testing::Test {
protected:
    LoopbackHttpServer server;
};

TEST_F(HttpClient, SendsExactlyTheRequestBytes) {
    server.answer("/feed.xml", HttpReply::ok("<feed/>"));
    for (const char* connection : {"close", "Keep-Alive"}) {
        urdl::istream stream;
        stream.set_option(urdl::http::user_agent("kestrel(Linux)"));
        stream.set_option(urdl::http::connection_type(connection));
        stream.open(urdl::url(server.url("/feed.xml?x=1&y=%41#top")));
        ASSERT_TRUE(stream) << stream.rdbuf()->error().message();
        EXPECT_EQ("<feed/>", read_body(stream));
        EXPECT_EQ("text/xml", stream.rdbuf()->content_type());
        EXPECT_EQ(7u, stream.rdbuf()->content_length());
        EXPECT_EQ("Content-Type: text/xml\r\nContent-Length: 7\r\n\r\n", stream.rdbuf()->headers());
        EXPECT_FALSE(stream.rdbuf()->error());
    }
    const std::string head = "GET /feed.xml?x=1&y=%41 HTTP/1.0\r\nHost: 127.0.0.1:" +
                             std::to_string(server.port()) +
                             "\r\nAccept: */*\r\nUser-Agent: kestrel(Linux)\r\nConnection: ";
    ASSERT_EQ(2u, server.requests().size());
    EXPECT_EQ(head + "close\r\n\r\n", server.requests()[0]);
    EXPECT_EQ(head + "Keep-Alive\r\n\r\n", server.requests()[1]);
}

struct AnswerCase {
    const char* name;
    std::vector<std::string> pieces;
    error_code outcome;
    std::string body = "";
    std::string content_type = "";
    std::size_t content_length = 0;
};

void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.name; }

class HttpAnswers : public HttpClient, public testing::WithParamInterface<AnswerCase> {};

TEST_P(HttpAnswers, OpenAndBodyAsExpected) {
    const AnswerCase& c = GetParam();
    HttpReply reply;
    reply.pieces = c.pieces;
    server.answer("/x", reply);
    urdl::istream stream;
    stream.open(urdl::url(server.url("/x")));
    EXPECT_EQ(c.outcome, stream.rdbuf()->error()) << stream.rdbuf()->error().message();
    EXPECT_EQ(!c.outcome, !stream.fail());
    if (c.outcome)
        return;
    EXPECT_EQ(c.body, read_body(stream));
    EXPECT_EQ(c.content_type, stream.rdbuf()->content_type());
    EXPECT_EQ(c.content_length, stream.rdbuf()->content_length());
}

INSTANTIATE_TEST_SUITE_P(
    Table, HttpAnswers,
    testing::Values(
        AnswerCase{"ContinueThenOk",
                   {"HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody"},
                   {}, "body", "", 4},
        AnswerCase{"ContinueWithHeadersThenOk",
                   {"HTTP/1.1 100 Continue\r\nX-Wait: 1\r\n\r\nHTTP/1.1 200 OK\r\nContent-Type: a/b\r\n\r\nbody"},
                   {}, "body", "a/b", 0},
        AnswerCase{"ContinueFollowedAtOnce", {"HTTP/1.1 100 Continue\r\nHTTP/1.0 200 OK\r\n\r\nbody"}, {}, "body", "", 0},
        AnswerCase{"EightInterimThenOk",
                   {repeated("HTTP/1.1 100 Continue\r\n\r\n", 7) + "HTTP/1.1 102 Processing\r\n\r\n" +
                    "HTTP/1.0 200 OK\r\n\r\nbody"},
                   {}, "body", "", 0},
        AnswerCase{"NineInterim",
                   {repeated("HTTP/1.1 100 Continue\r\n\r\n", 9) + "HTTP/1.0 200 OK\r\n\r\nbody"},
                   urdl::http::errc::too_many_interim_responses},
        AnswerCase{"HundredInterim", {repeated("HTTP/1.1 100 Continue\r\nX: y\r\n\r\n", 100)},
                   urdl::http::errc::too_many_interim_responses},
        AnswerCase{"SwitchingProtocolsIsNoInterim", {"HTTP/1.1 101 Switching Protocols\r\n\r\nHTTP/1.0 200 OK\r\n\r\n"},
                   urdl::http::errc::switching_protocols},
        AnswerCase{"NoHeaders", {"HTTP/1.0 200 OK\r\n\r\n\r\n\r\nbody"}, {}, "\r\n\r\nbody", "", 0},
        AnswerCase{"ContinuationLine", {"HTTP/1.0 200 OK\r\nContent-Type: text/\r\n  xml\r\n\r\n<a/>"}, {},
                   "<a/>", "text/xml", 0},
        AnswerCase{"HeadSplitAcrossReads",
                   {"HTT", "P/1.0 200 OK\r\nContent-", "Type: t\r", "\n\r\n", "ab", "cd"}, {}, "abcd", "t", 0},
        AnswerCase{"BodyLongerThanItsLength", {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", "def"}, {},
                   "abcdef", "", 3},
        AnswerCase{"EmptyBody", {"HTTP/1.0 200 OK\r\n\r\n"}, {}, "", "", 0},
        AnswerCase{"NoReasonBlank", {"HTTP/1.0 200\r\n\r\nbody"}, urdl::http::errc::malformed_status_line},
        AnswerCase{"NotHttp", {"<html>hello</html>\r\n\r\n"}, urdl::http::errc::malformed_status_line},
        AnswerCase{"ContinueThenGarbage", {"HTTP/1.1 100 Continue\r\n\r\nSTATUS 200\r\n\r\n"},
                   urdl::http::errc::malformed_status_line},
        AnswerCase{"HeaderWithoutBlank", {"HTTP/1.0 200 OK\r\nContent-Type:t\r\n\r\nbody"},
                   urdl::http::errc::malformed_response_headers},
        AnswerCase{"ClosedInHeaders", {"HTTP/1.0 200 OK\r\nContent-Type: t\r\n"}, boost::asio::error::eof},
        AnswerCase{"ClosedAtOnce", {""}, boost::asio::error::eof},
        AnswerCase{"SeeOtherIsNotFollowed", {"HTTP/1.0 303 See Other\r\nLocation: http://127.0.0.1:1/\r\n\r\n"},
                   urdl::http::errc::see_other},
        AnswerCase{"ServerError", {"HTTP/1.0 500 Oops\r\n\r\n"}, urdl::http::errc::internal_server_error}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST_F(HttpClient, FollowsRedirectChainsWithTheSameOptions) {
    server.answer("/a", HttpReply::redirect(302, server.url("/b?step=2")));
    server.answer("/b", HttpReply::redirect(301, server.url("/c")));
    server.answer("/c", HttpReply::ok("arrived"));
    urdl::istream stream;
    stream.set_option(urdl::http::user_agent("agent"));
    stream.open(urdl::url(server.url("/a")));
    ASSERT_TRUE(stream) << stream.rdbuf()->error().message();
    EXPECT_EQ("arrived", read_body(stream));
    EXPECT_EQ((std::vector<std::string>{"/a", "/b?step=2", "/c"}), server.targets());
    EXPECT_NE(std::string::npos, server.requests()[2].find("\r\nUser-Agent: agent\r\n"));
}

TEST_F(HttpClient, NotFoundIsAnHttpErrorWithItsOwnText) {
    urdl::istream stream;
    stream.open(urdl::url(server.url("/missing")));
    EXPECT_TRUE(stream.fail());
    const error_code ec = stream.rdbuf()->error();
    EXPECT_EQ(404, ec.value());
    EXPECT_STREQ("HTTP", ec.category().name());
    EXPECT_EQ("Not found", ec.message());
    EXPECT_EQ(boost::system::errc::no_such_file_or_directory, ec.default_error_condition());
    EXPECT_EQ(boost::system::errc::permission_denied,
              error_code(urdl::http::errc::forbidden).default_error_condition());
    EXPECT_EQ(boost::system::errc::invalid_argument,
              error_code(urdl::http::errc::redirect_not_a_url).default_error_condition());
    EXPECT_EQ("Unknown HTTP error", error_code(418, urdl::http::error_category()).message());
    // The connection stays open until closed.
    EXPECT_TRUE(stream.rdbuf()->is_open());
    EXPECT_TRUE(stream.rdbuf()->close());
    EXPECT_FALSE(stream.rdbuf()->is_open());
    EXPECT_EQ(nullptr, stream.rdbuf()->close());
}

struct RedirectCase {
    const char* name;
    const char* location;
    error_code outcome;
};

void PrintTo(const RedirectCase& c, std::ostream* out) { *out << c.name; }

class HttpRedirectRefused : public HttpClient, public testing::WithParamInterface<RedirectCase> {};

TEST_P(HttpRedirectRefused, EndsTheOpenWithoutThrowingOrReadingFiles) {
    kestrel::test::TempDir dir;
    kestrel::test::write_file(dir.file("secret"), "local");
    std::string location = GetParam().location;
    if (location == "FILE")
        location = file_url(dir.file("secret"));
    server.answer("/moved", HttpReply::redirect(302, location));
    urdl::istream stream;
    EXPECT_NO_THROW(stream.open(urdl::url(server.url("/moved"))));
    EXPECT_TRUE(stream.fail());
    EXPECT_EQ(GetParam().outcome, stream.rdbuf()->error());
    EXPECT_EQ(1u, server.requests().size());
}

INSTANTIATE_TEST_SUITE_P(
    Table, HttpRedirectRefused,
    testing::Values(RedirectCase{"RelativeLocation", "/elsewhere", urdl::http::errc::redirect_not_a_url},
                    RedirectCase{"EmptyLocation", "", urdl::http::errc::redirect_not_a_url},
                    RedirectCase{"NoUrlAtAll", "elsewhere", urdl::http::errc::redirect_not_a_url},
                    RedirectCase{"ToLocalFile", "FILE", boost::asio::error::operation_not_supported},
                    RedirectCase{"ToHttps", "https://127.0.0.1:1/", boost::asio::error::operation_not_supported},
                    // Refused before a connection, which would be refused too.
                    RedirectCase{"ToPortZero", "http://127.0.0.1:0/x", urdl::http::errc::port_zero}),
    [](const testing::TestParamInfo<RedirectCase>& info) { return std::string(info.param.name); });

TEST_F(HttpClient, OpenTimeOutEndsASilentServerAndTenRedirectsARedirectLoop) {
    server.answer("/silent", HttpReply::silent());
    run_bounded(std::chrono::seconds(5), "open of a silent server", [&](const urdl::cancellation& cancel) {
        urdl::istream silent;
        silent.set_option(cancel);
        silent.rdbuf()->set_open_timeout(300);
        silent.open(urdl::url(server.url("/silent")));
        EXPECT_TRUE(silent.fail());
        EXPECT_EQ(boost::system::errc::timed_out, silent.rdbuf()->error());
        EXPECT_EQ(300u, silent.rdbuf()->open_timeout());
    });

    server.answer("/loop", HttpReply::redirect(301, server.url("/loop")));
    run_bounded(std::chrono::seconds(5), "redirect loop", [&](const urdl::cancellation& cancel) {
        urdl::istream loop;
        loop.set_option(cancel);
        loop.open(urdl::url(server.url("/loop")));
        EXPECT_TRUE(loop.fail());
        EXPECT_EQ(urdl::http::errc::too_many_redirects, loop.rdbuf()->error());
        EXPECT_EQ("Too many redirects", loop.rdbuf()->error().message());
    });
    EXPECT_EQ(1u + 1u + 10u, server.requests().size()); // the silent one, the first, ten redirects
}

// A stalled body runs into the read time-out; one that trickles a byte every
// 20 ms never does, the whole request's time-out ends it. Both keep what came.
TEST_F(HttpClient, ReadAndRequestTimeOutsKeepWhatArrived) {
    HttpReply stalled = HttpReply::raw("HTTP/1.0 200 OK\r\n\r\npartial");
    stalled.hold_open = true;
    server.answer("/stalled", stalled);
    server.answer("/trickle", HttpReply::endless("HTTP/1.0 200 OK\r\n\r\npartial", "x", std::chrono::milliseconds(20)));
    for (const std::string target : {"/stalled", "/trickle"}) {
        run_bounded(std::chrono::seconds(5), "read of " + target, [&](const urdl::cancellation& cancel) {
            urdl::istream stream;
            stream.set_option(cancel);
            stream.rdbuf()->set_read_timeout(300);
            stream.rdbuf()->set_request_timeout(600);
            stream.open(urdl::url(server.url(target)));
            ASSERT_TRUE(stream);
            std::ostringstream body;
            body << stream.rdbuf();
            EXPECT_TRUE(body.fail());
            EXPECT_EQ(0u, body.str().rfind("partial", 0)) << target;
            EXPECT_EQ(boost::system::errc::timed_out, stream.rdbuf()->error()) << target;
        });
    }
}

// A server that answers "100 Continue" for ever gets a few of them passed
// over, then a failure of its own, not a time-out's.
TEST_F(HttpClient, EndlessInterimAnswersFailBeforeAnyTimeOut) {
    server.answer("/busy", HttpReply::endless("", "HTTP/1.1 100 Continue\r\n\r\n", std::chrono::milliseconds(1)));
    run_bounded(std::chrono::seconds(5), "endless interim answers", [&](const urdl::cancellation& cancel) {
        urdl::istream stream;
        stream.set_option(cancel);
        stream.open(urdl::url(server.url("/busy")));
        EXPECT_EQ(urdl::http::errc::too_many_interim_responses, stream.rdbuf()->error());
        EXPECT_EQ("Too many interim responses", stream.rdbuf()->error().message());
    });
}

// Blanks, non-ASCII bytes and line ends of a Location's query go out
// percent-encoded; the request line stays three words of visible ASCII.
TEST_F(HttpClient, ARedirectToAnUnencodedQueryGivesAWellFormedRequestLine) {
    server.answer("/moved", HttpReply::redirect(302, server.url("/landed/notification.xml?x=a b\xE9 HTTP/1.1")));
    server.answer("/landed/notification.xml", HttpReply::ok("<n/>"));
    urdl::istream stream;
    stream.open(urdl::url(server.url("/moved")));
    ASSERT_TRUE(stream) << stream.rdbuf()->error().message();
    EXPECT_EQ("<n/>", read_body(stream));
    ASSERT_EQ(2u, server.requests().size());
    EXPECT_EQ(0u, server.requests()[1].rfind("GET /landed/notification.xml?x=a%20b%E9%20HTTP/1.1 HTTP/1.0\r\n", 0))
        << server.requests()[1];
}

// The caller's bound on the body: one announced larger is not even opened,
// one that grows past it fails the read that crosses it.
TEST_F(HttpClient, BodyLargerThanTheCallerTakesFails) {
    const std::string body = binary_bytes(5000);
    server.answer("/announced", HttpReply::ok(body));
    server.answer("/unannounced", HttpReply::raw("HTTP/1.0 200 OK\r\n\r\n" + body));
    for (const std::string target : {"/announced", "/unannounced"}) {
        for (std::size_t limit : {body.size(), body.size() - 1}) {
            urdl::istream stream;
            stream.set_option(urdl::max_body_size(limit));
            stream.open(urdl::url(server.url(target)));
            const bool fits = limit == body.size();
            EXPECT_EQ(target == "/announced" && !fits, stream.fail()) << target;
            EXPECT_EQ(fits, (stream ? read_body(stream) : "") == body) << target;
            EXPECT_EQ(fits ? error_code() : urdl::http::errc::body_too_large, stream.rdbuf()->error()) << target;
            EXPECT_EQ(fits, stream.rdbuf()->is_open()) << target;
        }
    }
}

TEST_F(HttpClient, FailuresToOpenKeepTheirOwnError) {
    unsigned short closed_port = 0;
    {
        LoopbackHttpServer gone;
        closed_port = gone.port();
    }
    kestrel::test::TempDir dir;
    const struct {
        std::string url;
        error_code outcome;
    } cases[] = {
        {"http://127.0.0.1:" + std::to_string(closed_port) + "/", boost::asio::error::connection_refused},
        {"https://127.0.0.1:" + std::to_string(server.port()) + "/", boost::asio::error::operation_not_supported},
        {"ftp://127.0.0.1/", boost::asio::error::operation_not_supported},
        {"http://127.0.0.1:0/", urdl::http::errc::port_zero},
        {file_url(dir.file("missing.xml")),
         boost::system::errc::make_error_code(boost::system::errc::no_such_file_or_directory)},
    };
    for (const auto& c : cases) {
        urdl::istream stream;
        stream.open(urdl::url(c.url));
        EXPECT_TRUE(stream.fail()) << c.url;
        EXPECT_EQ(c.outcome, stream.rdbuf()->error()) << c.url << ": " << stream.rdbuf()->error().message();
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpClient, ReadsFilesAndLongBodiesByteForByte) {
    kestrel::test::TempDir dir;
    const std::string bytes = binary_bytes(100000);
    const std::string path = dir.file("bänner 1.bin");
    kestrel::test::write_file(path, bytes);
    server.answer("/big", HttpReply::ok(bytes, "application/octet-stream"));

    urdl::istream file;
    file.open(urdl::url(file_url(path)));
    ASSERT_TRUE(file) << file.rdbuf()->error().message();
    EXPECT_TRUE(read_body(file) == bytes);
    EXPECT_EQ(static_cast<std::size_t>(-1), file.rdbuf()->content_length());
    EXPECT_EQ("", file.rdbuf()->content_type());
    EXPECT_FALSE(file.rdbuf()->error());

    urdl::istream http;
    http.open(urdl::url(server.url("/big")));
    ASSERT_TRUE(http);
    EXPECT_TRUE(read_body(http) == bytes);
    EXPECT_EQ(bytes.size(), http.rdbuf()->content_length());
}

TEST_F(HttpClient, IsOpenedOnlyOnce) {
    server.answer("/once", HttpReply::ok("1"));
    urdl::istream stream;
    stream.open(urdl::url(server.url("/once")));
    ASSERT_TRUE(stream);
    stream.rdbuf()->set_open_timeout(1);
    EXPECT_EQ(nullptr, stream.rdbuf()->open(urdl::url(server.url("/once"))));
    EXPECT_FALSE(stream.rdbuf()->error());
    EXPECT_EQ("1", read_body(stream));
    EXPECT_EQ(1u, server.requests().size());
}

} // namespace
