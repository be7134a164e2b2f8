#include "DTAppNotification.h"

#include "DTFeedXml.h"
#include "DTWebAddress.h"
#include "base/DTLog.h"

#include "net/Url.h"

#include <boost/optional.hpp>

#include <array>
#include <deque>
#include <thread>

namespace kestrel {
namespace appnotification {

namespace {

// The values of a record as the feed gave them: each absent, or the text
// of the first child of its name (that child's own text only).
struct record_texts {
    enum field { id, date, time, message, version, url, fields };
    static constexpr const char* names[fields] = {"id", "date", "time", "message", "version", "url"};
    std::string name; // an update entry's platform key
    std::array<boost::optional<std::string>, fields> values;

    // Where the text of a child of that name goes; null when it is not
    // read, or not the first of its name. The main record has no version.
    std::string* take_child(std::string_view child, bool has_version) {
        for (int f = 0; f < fields; ++f) {
            if (child != names[f] || (f == version && !has_version))
                continue;
            if (values[f])
                return nullptr;
            values[f].emplace();
            return &*values[f];
        }
        return nullptr;
    }
    void take_attributes(const feeds::feed_tag& tag) {
        for (int f = 0; f < fields; ++f)
            values[f] = tag.attribute(names[f]);
    }
    std::string value(field f, const char* otherwise = "") const { return values[f].value_or(otherwise); }

    update_entry entry() const {
        return update_entry{name, record(value(id), value(date, "00-00-0000"), value(time, "00:00:00"),
                                         value(message), value(version, "0.0.0.0"),
                                         feeds::web_address_or_empty(value(url), "update url"))};
    }
};

// The first notification element, its first update element and the first
// max_kept_updates entries of it, read as the feed goes by; the entries
// past them are counted, and said once.
class feed_reader : public feeds::feed_events {
public:
    void element(std::size_t depth, const feeds::feed_tag& tag) override {
        if (depth == 1) {
            in_notification_ = !seen_notification_ && tag.name() == "notification";
            seen_notification_ = seen_notification_ || in_notification_;
        } else if (!in_notification_) {
            return;
        } else if (depth == 2 && tag.name() == "update" && !seen_update_) {
            in_update_ = seen_update_ = true;
            // Its own attributes give the first entry, without a name.
            if (tag.has_attributes())
                if (record_texts* entry = add_entry())
                    entry->take_attributes(tag);
        } else if (depth == 2) {
            read_value(main_.take_child(tag.name(), false), depth);
        } else if (depth == 3 && in_update_) {
            entry_ = add_entry();
            if (entry_)
                entry_->name = tag.attribute("name").value_or(std::string());
        } else if (depth == 4 && entry_) {
            read_value(entry_->take_child(tag.name(), true), depth);
        }
    }

    // A comment in the update element is an entry of defaults.
    void comment(std::size_t depth) override {
        if (depth == 3 && in_update_)
            add_entry();
    }

    std::string* text(std::size_t depth) override { return depth == value_depth_ ? value_ : nullptr; }

    void end(std::size_t depth) override {
        if (depth == value_depth_)
            read_value(nullptr, 0);
        if (depth == 1)
            in_notification_ = false;
        else if (depth == 2)
            in_update_ = false;
        else if (depth == 3)
            entry_ = nullptr;
    }

    notification_ptr take() const {
        std::unique_ptr<feed_data> data(new feed_data);
        data->id = main_.value(record_texts::id);
        data->main = record(data->id, main_.value(record_texts::date), main_.value(record_texts::time),
                            main_.value(record_texts::message), std::string(),
                            feeds::web_address_or_empty(main_.value(record_texts::url), "notification url"));
        data->updates.reserve(entries_.size());
        for (const record_texts& entry : entries_)
            data->updates.push_back(entry.entry());
        if (ignored_ > 0)
            log_line(logger::warning()) << "[feeds] notification feed: " << ignored_
                                        << " update entries past the first " << max_kept_updates << " ignored"
                                        << std::endl;
        return notification_ptr(new notification(data.release()));
    }

private:
    record_texts* add_entry() {
        if (entries_.size() >= max_kept_updates) {
            ++ignored_;
            return nullptr;
        }
        return &entries_.emplace_back();
    }

    void read_value(std::string* value, std::size_t depth) {
        value_ = value;
        value_depth_ = value ? depth : 0;
    }

    bool seen_notification_ = false;
    bool in_notification_ = false;
    bool seen_update_ = false;
    bool in_update_ = false;
    record_texts main_;
    std::deque<record_texts> entries_; // an entry stays where it is while more come
    record_texts* entry_ = nullptr;
    std::string* value_ = nullptr;
    std::size_t value_depth_ = 0;
    std::size_t ignored_ = 0;
};

} // namespace

namespace details {

notification_ptr parse(std::istream& text) {
    feed_reader reader;
    feeds::read_feed_xml(text, reader);
    return reader.take();
}

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
    // The body and the text read from it are gone: their memory goes back
    // to the system, or this thread's malloc arena would hold it for the run.
    feeds::return_freed_memory();
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
        // A standard thread, whose hand-over of the copies the race checker sees.
        std::thread([url, done, user_agent, limits] { download(url, done, user_agent, limits); }).detach();
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
