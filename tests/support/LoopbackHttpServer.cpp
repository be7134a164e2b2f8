#include "support/LoopbackHttpServer.h"

#include <boost/asio/read_until.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

namespace kestrel {
namespace test {

using boost::asio::ip::tcp;

namespace {

// The target of a request line "GET <target> HTTP/1.0"; empty when absent.
std::string target_of(const std::string& request) {
    const std::size_t start = request.find(' ');
    if (start == std::string::npos)
        return std::string();
    const std::size_t end = request.find(' ', start + 1);
    if (end == std::string::npos)
        return std::string();
    return request.substr(start + 1, end - start - 1);
}

} // namespace

HttpReply HttpReply::raw(std::string bytes) {
    HttpReply reply;
    reply.pieces.push_back(std::move(bytes));
    return reply;
}

HttpReply HttpReply::status(int code, const std::string& reason, const std::string& body,
                            const std::string& headers) {
    return raw("HTTP/1.0 " + std::to_string(code) + " " + reason + "\r\n" + headers +
               "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

HttpReply HttpReply::ok(const std::string& body, const std::string& content_type) {
    return status(200, "OK", body, "Content-Type: " + content_type + "\r\n");
}

HttpReply HttpReply::redirect(int code, const std::string& location) {
    return status(code, code == 301 ? "Moved Permanently" : "Found", "",
                  "Location: " + location + "\r\n");
}

HttpReply HttpReply::silent() {
    HttpReply reply;
    reply.hold_open = true;
    return reply;
}

HttpReply HttpReply::endless(const std::string& head, const std::string& chunk, std::chrono::milliseconds pause) {
    HttpReply reply = raw(head);
    reply.repeated = chunk;
    reply.pause = pause;
    return reply;
}

// One connection: read the request head, record it, write the reply.
class LoopbackHttpServer::Session : public std::enable_shared_from_this<Session> {
public:
    Session(LoopbackHttpServer& server, tcp::socket socket)
        : server_(server), socket_(std::move(socket)), pause_(socket_.get_executor()) {}

    void start() {
        auto self = shared_from_this();
        boost::asio::async_read_until(socket_, request_, "\r\n\r\n",
                                      [self](const boost::system::error_code& ec, std::size_t length) {
                                          if (!ec)
                                              self->on_request(length);
                                      });
    }

    void close() {
        boost::system::error_code ignored;
        socket_.close(ignored);
    }

private:
    void on_request(std::size_t length) {
        const std::string head(static_cast<const char*>(request_.data().data()), length);
        reply_ = server_.reply_for(head);
        write_piece(0);
    }

    // The pieces in order, then the repeated text for ever.
    void write_piece(std::size_t index) {
        const bool repeating = index >= reply_.pieces.size();
        if (repeating && reply_.repeated.empty())
            return finish();
        const std::string& bytes = repeating ? reply_.repeated : reply_.pieces[index];
        auto self = shared_from_this();
        boost::asio::async_write(socket_, boost::asio::buffer(bytes),
                                 [self, index](const boost::system::error_code& ec, std::size_t) {
                                     if (ec)
                                         return;
                                     const std::size_t next = index + 1;
                                     if (next == self->reply_.pieces.size() && self->reply_.repeated.empty())
                                         return self->finish();
                                     self->pause_.expires_after(self->reply_.pause);
                                     self->pause_.async_wait([self, next](const boost::system::error_code&) {
                                         self->write_piece(next);
                                     });
                                 });
    }

    void finish() {
        if (reply_.hold_open) {
            server_.held_open_.push_back(shared_from_this());
            return;
        }
        boost::system::error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        socket_.close(ignored);
    }

    LoopbackHttpServer& server_;
    tcp::socket socket_;
    boost::asio::steady_timer pause_;
    boost::asio::streambuf request_;
    HttpReply reply_;
};

LoopbackHttpServer::LoopbackHttpServer()
    : acceptor_(io_, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0)),
      otherwise_(HttpReply::status(404, "Not Found")) {
    port_ = acceptor_.local_endpoint().port();
    accept_next();
    thread_ = std::thread([this] { io_.run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    io_.stop();
    thread_.join();
    for (const std::shared_ptr<Session>& session : held_open_)
        session->close();
}

std::string LoopbackHttpServer::url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

void LoopbackHttpServer::answer(const std::string& target, HttpReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[target] = std::move(reply);
}

void LoopbackHttpServer::answer_otherwise(HttpReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    otherwise_ = std::move(reply);
}

std::vector<std::string> LoopbackHttpServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> LoopbackHttpServer::targets() const {
    std::vector<std::string> result;
    for (const std::string& request : requests())
        result.push_back(target_of(request));
    return result;
}

bool LoopbackHttpServer::wait_for_requests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return request_arrived_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool LoopbackHttpServer::wait_for_path(const std::string& path, std::size_t count,
                                       std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return request_arrived_.wait_for(lock, timeout, [&] { return arrivals_locked(path).size() >= count; });
}

std::vector<std::chrono::steady_clock::time_point> LoopbackHttpServer::arrivals(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_locked(path);
}

std::vector<std::chrono::steady_clock::time_point> LoopbackHttpServer::arrivals_locked(const std::string& path) const {
    std::vector<std::chrono::steady_clock::time_point> found;
    for (std::size_t i = 0; i < requests_.size(); ++i) {
        const std::string target = target_of(requests_[i]);
        if (target.substr(0, target.find('?')) == path)
            found.push_back(arrivals_[i]);
    }
    return found;
}

void LoopbackHttpServer::accept_next() {
    acceptor_.async_accept([this](const boost::system::error_code& ec, tcp::socket socket) {
        if (ec)
            return;
        std::make_shared<Session>(*this, std::move(socket))->start();
        accept_next();
    });
}

HttpReply LoopbackHttpServer::reply_for(const std::string& request) {
    const std::string target = target_of(request);
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    arrivals_.push_back(std::chrono::steady_clock::now());
    request_arrived_.notify_all();
    auto found = replies_.find(target);
    if (found == replies_.end())
        found = replies_.find(target.substr(0, target.find('?')));
    return found == replies_.end() ? otherwise_ : found->second;
}

} // namespace test
} // namespace kestrel
