#pragma once
// A scripted HTTP server on 127.0.0.1 for the tests of the online services:
// it listens on a free port, records the bytes of every request it receives
// and answers each connection with the reply scripted for the request's
// target (exact target first, then its path without the query; else the
// default reply, a 404). Replies are raw bytes, so tests can send malformed
// answers. The server runs on a thread of its own, started by the
// constructor and joined by the destructor, which also closes connections
// still held open.

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrel {
namespace test {

struct HttpReply {
    // Written one after another with a pause between them, so the client
    // sees them arrive in separate reads.
    std::vector<std::string> pieces;
    // After the pieces, written again and again until the client goes.
    std::string repeated;
    std::chrono::milliseconds pause{20};
    // Keep the connection open after writing (time-out tests).
    bool hold_open = false;

    static HttpReply raw(std::string bytes);
    // "HTTP/1.0 <code> <reason>", the extra header lines (each ending in
    // "\r\n"), a Content-Length line for the body, the blank line, the body.
    static HttpReply status(int code, const std::string& reason, const std::string& body = "",
                            const std::string& headers = "");
    static HttpReply ok(const std::string& body, const std::string& content_type = "text/xml");
    static HttpReply redirect(int code, const std::string& location);
    // Reads the request and never answers.
    static HttpReply silent();
    // The head, then `chunk` for ever, a pause between writes.
    static HttpReply endless(const std::string& head, const std::string& chunk, std::chrono::milliseconds pause);
};

class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    unsigned short port() const { return port_; }
    // "http://127.0.0.1:<port>" + target
    std::string url(const std::string& target) const;

    void answer(const std::string& target, HttpReply reply);
    void answer_otherwise(HttpReply reply);

    // Raw bytes of each request, in the order they arrived.
    std::vector<std::string> requests() const;
    // The request targets ("/path?query"), in the order they arrived.
    std::vector<std::string> targets() const;
    // Waits until at least count requests have arrived; false on time-out.
    bool wait_for_requests(std::size_t count,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Waits until `count` requests for `path` (a target without its query)
    // have arrived; false on time-out.
    bool wait_for_path(const std::string& path, std::size_t count = 1,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // When each request for `path` arrived, in order.
    std::vector<std::chrono::steady_clock::time_point> arrivals(const std::string& path) const;

private:
    class Session;

    void accept_next();
    HttpReply reply_for(const std::string& request);
    // With mutex_ held.
    std::vector<std::chrono::steady_clock::time_point> arrivals_locked(const std::string& path) const;

    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    unsigned short port_ = 0;
    // Connections kept open after their reply; server thread only.
    std::list<std::shared_ptr<Session>> held_open_;

    mutable std::mutex mutex_;
    mutable std::condition_variable request_arrived_;
    std::map<std::string, HttpReply> replies_;
    HttpReply otherwise_;
    std::vector<std::string> requests_;
    std::vector<std::chrono::steady_clock::time_point> arrivals_; // one per request

    std::thread thread_;
};

} // namespace test
} // namespace kestrel
