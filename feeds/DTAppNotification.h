#pragma once
// The application-notification feed: one general notice (id, message) and,
// per platform key, the version on offer with its message and address.
// start() downloads the feed once on a detached thread of its own and
// reports through the callback on that thread, exactly once: (true, the
// parsed feed) or (false, empty) for any failure (no connection, an HTTP
// status other than 200, a body that is empty, cut off, not XML, or past
// the bounds of DTFeedXml.h; a download past its fetch_limits or
// cancelled). Why is logged, but for a cancel (DTFeedFetch.h); so is an
// address that is not a URL, for which start() returns false and calls
// nobody. A well-formed document without the expected elements is no
// failure: the missing values hold their defaults. Of the update list the
// first max_kept_updates entries are kept, and how many more were left out
// is said once in the log: the notification stays small however dense the
// feed (a 1 MiB feed holds 260,000 empty entries). Nothing here throws out
// of start() or download(), and nothing is kept between calls. The
// callback must not touch objects of another thread directly.
//
// Feed: <notification><id/><date/><time/><message/><url/>
//   <update><any name="<platform>"><id/><date/><time/><message/><version/>
//   <url/></any>...</update></notification>; texts kept as they stand,
//   white space included, but for addresses that are not http or https,
//   which are refused and read as empty (DTWebAddress.h).

#include "DTFeedFetch.h"
#include "base/DTBase.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>
#include <vector>

namespace kestrel {
namespace appnotification {

// One notice; texts as they stand in the feed.
class record {
public:
    record() = default;
    record(std::string id, std::string date, std::string time, std::string message, std::string version,
           std::string url);

    const std::string& id() const { return id_; }
    const std::string& date() const { return date_; }
    const std::string& time() const { return time_; }
    const std::string& message() const { return message_; }
    const std::string& version() const { return version_; }
    const std::string& url() const { return url_; }

private:
    std::string id_;
    std::string date_;
    std::string time_;
    std::string message_;
    std::string version_;
    std::string url_;
};

struct update_entry {
    std::string name; // the platform key it is meant for
    appnotification::record record;
};

struct feed_data {
    std::string id; // the main record's id
    record main;
    std::vector<update_entry> updates; // document order
};

// The parsed feed; never changed after the download built it, so any
// thread may read it.
class notification : public interface_base {
public:
    // Takes ownership of data.
    explicit notification(feed_data* data);
    ~notification();

    const std::string& id() const;
    const record& main_record() const;
    std::size_t update_count() const;
    // Empty name and record, and false, when index is out of range.
    bool update_at(std::size_t index, std::string& name, record& out) const;
    // The first entry whose name equals name exactly; else an empty record
    // and false.
    bool find_update(const std::string& name, record& out) const;

private:
    std::unique_ptr<feed_data> data_;
};

typedef boost::shared_ptr<notification> notification_ptr;

const std::size_t max_kept_updates = 1000;
typedef boost::function<void(bool ok, notification_ptr)> callback;

// "kestrel(Linux)".
std::string default_user_agent();

// False, with no thread and no callback, when url does not parse; false
// after one failure callback when no thread could be started; else true,
// and the outcome comes later on the download thread. Without limits a
// download takes feeds::feed_limits(), which nobody cancels.
bool start(const std::string& url, callback done, const std::string& user_agent,
           const feeds::fetch_limits& limits);
bool start(const std::string& url, callback done, const std::string& user_agent);
bool start(const std::string& url, callback done);

// The download and parse on the calling thread; true exactly when the
// outcome was (or, with an empty callback, would have been) true.
bool download(const std::string& url, callback done, const std::string& user_agent,
              const feeds::fetch_limits& limits);
bool download(const std::string& url, callback done, const std::string& user_agent);
bool download(const std::string& url, callback done);

namespace details {
// The feed text read into a notification. Throws for a text the download
// reports as a failure.
notification_ptr parse(std::istream& text);
} // namespace details

} // namespace appnotification
} // namespace kestrel
