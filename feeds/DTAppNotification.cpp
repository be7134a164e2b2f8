#include "DTAppNotification.h"

#include "DTFeedXml.h"
#include "DTWebAddress.h"

#include "net/Url.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/thread/thread.hpp>

namespace kestrel {
namespace appnotification {

namespace {

using boost::property_tree::ptree;

std::string web_address(const ptree& tree, const char* path, const char* field) {
    return feeds::web_address_or_empty(tree.get<std::string>(path, ""), field);
}

notification_ptr read_notification(const ptree& tree) {
    std::unique_ptr<feed_data> data(new feed_data);
    data->id = tree.get<std::string>("notification.id", "");
    data->main = record(data->id, tree.get<std::string>("notification.date", ""),
                        tree.get<std::string>("notification.time", ""),
                        tree.get<std::string>("notification.message", ""), std::string(),
                        web_address(tree, "notification.url", "notification url"));
    if (boost::optional<const ptree&> updates = tree.get_child_optional("notification.update")) {
        // Every child counts, whatever its tag: comments and the update
        // element's own attributes give entries with defaults.
        for (const ptree::value_type& child : *updates) {
            const ptree& entry = child.second;
            data->updates.push_back(update_entry{
                entry.get<std::string>("<xmlattr>.name", ""),
                record(entry.get<std::string>("id", ""), entry.get<std::string>("date", "00-00-0000"),
                       entry.get<std::string>("time", "00:00:00"), entry.get<std::string>("message", ""),
                       entry.get<std::string>("version", "0.0.0.0"), web_address(entry, "url", "update url"))});
        }
    }
    return notification_ptr(new notification(data.release()));
}

} // namespace

namespace details {

notification_ptr parse(std::istream& text) { return feeds::keep_from_feed_xml(text, read_notification); }

} // namespace details

record::record(std::string id, std::string date, std::string time, std::string message, std::string version,
               std::string url)
    : id_(std::move(id)), date_(std::move(date)), time_(std::move(time)), message_(std::move(message)),
      version_(std::move(version)), url_(std::move(url)) {}

notification::notification(feed_data* data) : data_(data) {}

notification::~notification() = default;

const std::string& notification::id() const { return data_->id; }

const record& notification::main_record() const { return data_->main; }

std::size_t notification::update_count() const { return data_->updates.size(); }

bool notification::update_at(std::size_t index, std::string& name, record& out) const {
    name.clear();
    out = record();
    if (index >= data_->updates.size())
        return false;
    name = data_->updates[index].name;
    out = data_->updates[index].record;
    return true;
}

bool notification::find_update(const std::string& name, record& out) const {
    out = record();
    for (const update_entry& entry : data_->updates) {
        if (entry.name == name) {
            out = entry.record;
            return true;
        }
    }
    return false;
}

std::string default_user_agent() { return feeds::default_user_agent(); }

bool download(const std::string& url, callback done, const std::string& user_agent,
              const feeds::fetch_limits& limits) {
    notification_ptr parsed;
    try {
        std::stringstream body;
        if (feeds::fetch_body(url, user_agent, limits, body) == feeds::fetch_outcome::read)
            parsed = details::parse(body);
    } catch (...) {
        parsed.reset();
        feeds::log_failure(url, "unreadable", std::current_exception());
    }
    feeds::report(url, done, static_cast<bool>(parsed), parsed);
    return static_cast<bool>(parsed);
}

bool download(const std::string& url, callback done, const std::string& user_agent) {
    return download(url, done, user_agent, feeds::feed_limits());
}

bool download(const std::string& url, callback done) { return download(url, done, default_user_agent()); }

bool start(const std::string& url, callback done, const std::string& user_agent, const feeds::fetch_limits& limits) {
    boost::system::error_code ec;
    urdl::url::from_string(url, ec);
    if (ec) {
        // Nobody is called back: the line is all that tells of it.
        feeds::log_failure(url, "not a URL", ec);
        return false;
    }
    try {
        boost::thread worker([url, done, user_agent, limits] { download(url, done, user_agent, limits); });
        worker.detach();
    } catch (...) {
        // No thread: nobody else will report.
        feeds::log_failure(url, "no download thread", std::current_exception());
        feeds::report(url, done, false, notification_ptr());
        return false;
    }
    return true;
}

bool start(const std::string& url, callback done, const std::string& user_agent) {
    return start(url, done, user_agent, feeds::feed_limits());
}

bool start(const std::string& url, callback done) { return start(url, done, default_user_agent()); }

} // namespace appnotification
} // namespace kestrel
