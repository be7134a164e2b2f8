#pragma once
// A std::streambuf that reads the body of an "http" or "file" URL. open()
// and every refill run the buffer's own I/O context on the calling thread
// until the operation ends or its time-out runs out; the client has no
// thread of its own. Three time-outs, 300000 ms each by default: the open
// (all redirects included), each refill, and the whole request from the
// start of the open to the end of the body, so that a server trickling a
// byte now and then cannot hold a download for ever. The options
// urdl::max_body_size (StreamLimits.h) and urdl::cancellation
// (Cancellation.h) bound the body and let another thread end the download.
// A buffer is used by one thread at a time; separate buffers share nothing.
//
// Failures: open() returns null and error() tells why (the failure's own
// code; timed_out only when a time-out really ran out, operation_aborted
// when cancelled). A refill that fails throws boost::system::system_error
// from underflow(); the standard stream operations that asked for the
// bytes catch it (inserting the buffer into another stream stops and sets
// failbit there). The end of the body is end-of-file with error() success.

#include "net/OptionSet.h"
#include "net/Url.h"

#include <boost/system/error_code.hpp>

#include <cstddef>
#include <memory>
#include <streambuf>
#include <string>

namespace urdl {

class istreambuf : public std::streambuf {
public:
    istreambuf();
    ~istreambuf() override;
    istreambuf(const istreambuf&) = delete;
    istreambuf& operator=(const istreambuf&) = delete;

    // this on success, null on failure; null at once when already open.
    istreambuf* open(const url& target);
    // null when not open or when closing failed.
    istreambuf* close();
    bool is_open() const;

    // Options accumulate; one of a type already set replaces it.
    void set_options(const option_set& options);
    option_set get_options() const;

    virtual const boost::system::error_code& error() const;
    const boost::system::error_code& last_error() const { return error(); }

    std::size_t open_timeout() const;
    void set_open_timeout(std::size_t milliseconds);
    std::size_t read_timeout() const;
    void set_read_timeout(std::size_t milliseconds);
    std::size_t request_timeout() const;
    void set_request_timeout(std::size_t milliseconds);

    // Of the last HTTP answer; empty for other schemes.
    std::string content_type() const;
    std::string headers() const;
    // The answer's Content-Length (0 when it had none); std::size_t(-1)
    // for other schemes.
    std::size_t content_length() const;

protected:
    int_type underflow() override;

private:
    struct body;
    std::unique_ptr<body> body_;
};

} // namespace urdl
