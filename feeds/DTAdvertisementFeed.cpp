#include "DTAdvertisementFeed.h"

#include "DTFeedXml.h"
#include "DTWebAddress.h"
#include "base/DTErrors.h"
#include "base/DTLog.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/split.hpp>

#include <ctime>
#include <limits>

namespace kestrel {
namespace advertisement {
namespace details {

namespace {

// A decimal number with an optional sign, no blanks, at most max; a minus
// wraps modulo max + 1. The rules of the feed's writers, fixed here so that
// no locale can change them.
boost::optional<std::uint64_t> parse_unsigned(const std::string& text, std::uint64_t max) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return boost::none;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return boost::none;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > max)
            return boost::none;
    }
    if (negative && value != 0)
        value = max + 1 - value;
    return value;
}

std::uint32_t parse_rate(const std::string& text) {
    const boost::optional<std::uint64_t> rate = parse_unsigned(text, std::numeric_limits<std::uint32_t>::max());
    if (!rate)
        KESTREL_THROW(errors::invalid_argument("advertisement rate is not a number: \"" + text + "\""));
    return static_cast<std::uint32_t>(*rate);
}

std::string attribute(const feeds::feed_tag& tag, const char* name) {
    return tag.attribute(name).value_or(std::string());
}

// The contexts kept, in document order, within the bounds, read as the
// feed goes by: groups and products that do not match are passed over with
// all they hold. Past the bounds every item's rate is still checked, so a
// feed fails or loads whatever its size.
class kept_contexts : public feeds::feed_events {
public:
    kept_contexts(const std::string& product, const std::string& os, const std::string& version,
                  const std::string& region, const std::string& language)
        : product_(product), os_(os), version_(version), region_(region), language_(language) {}

    void element(std::size_t depth, const feeds::feed_tag& tag) override {
        if (passed_over_ != 0 && depth > passed_over_)
            return;
        switch (depth) {
        case group_depth:
            if (!match_list(attribute(tag, "region"), region_) || !match_list(attribute(tag, "locale"), language_))
                passed_over_ = depth;
            break;
        case product_depth:
            if (!match_value(attribute(tag, "id"), product_) ||
                !match_version(attribute(tag, "min-version"), attribute(tag, "max-version"), version_) ||
                !match_value(attribute(tag, "os"), os_))
                passed_over_ = depth;
            break;
        case context_depth:
            open_context(tag.attribute("id"));
            break;
        case item_depth:
            open_item(tag.attribute("rate"), attribute(tag, "id"));
            break;
        case field_depth:
            if (item_)
                field_ = first_field(tag.name());
            break;
        }
    }

    // A comment counts as a child: one in a product is a context without
    // items, one in a context an item without a rate.
    void comment(std::size_t depth) override {
        if (passed_over_ != 0 && depth > passed_over_)
            return;
        if (depth == context_depth) {
            open_context(boost::none);
            slot_.reset();
        } else if (depth == item_depth) {
            open_item(boost::none, std::string());
        }
    }

    std::string* text(std::size_t depth) override { return depth == field_depth ? field_ : nullptr; }

    void end(std::size_t depth) override {
        if (depth == passed_over_)
            passed_over_ = 0;
        else if (depth == context_depth)
            slot_.reset();
        else if (depth == item_depth)
            item_.reset();
        else if (depth == field_depth)
            field_ = nullptr;
    }

    // The addresses checked, and said once what the bounds left out.
    context_list take() {
        for (const context_ptr& slot : result_)
            for (const rotation_ptr& ad : slot->items) {
                ad->url = feeds::web_address_or_empty(ad->url, "advertisement url");
                ad->bannerurl = feeds::web_address_or_empty(ad->bannerurl, "banner url");
            }
        if (ignored_contexts_ > 0)
            log_ignored(ignored_contexts_, "slots", max_kept_contexts);
        if (ignored_items_ > 0)
            log_ignored(ignored_items_, "advertisements", max_kept_items);
        return std::move(result_);
    }

private:
    // Depth, not names, gives the elements their meaning.
    static const std::size_t group_depth = 2;
    static const std::size_t product_depth = 3;
    static const std::size_t context_depth = 4;
    static const std::size_t item_depth = 5;
    static const std::size_t field_depth = 6;

    void open_context(const boost::optional<std::string>& id) {
        if (result_.size() >= max_kept_contexts) {
            ++ignored_contexts_;
            return;
        }
        slot_.reset(new context);
        slot_->id = id.value_or(std::string());
        result_.push_back(slot_);
    }

    void open_item(const boost::optional<std::string>& rate_text, std::string id) {
        const std::uint32_t rate = parse_rate(rate_text.value_or(std::string()));
        if (!slot_ || items_ >= max_kept_items) {
            ++ignored_items_;
            return;
        }
        item_.reset(new rotation);
        item_->rate = rate;
        item_->id = std::move(id);
        slot_->items.push_back(item_);
        ++items_;
        seen_url_ = seen_text_ = seen_bannerurl_ = false;
    }

    // The text of the first child of each name, its own text only.
    std::string* first_field(std::string_view name) {
        const auto first = [](bool& seen, std::string& field) {
            const bool was_seen = seen;
            seen = true;
            return was_seen ? nullptr : &field;
        };
        if (name == "url")
            return first(seen_url_, item_->url);
        if (name == "text")
            return first(seen_text_, item_->text);
        if (name == "bannerurl")
            return first(seen_bannerurl_, item_->bannerurl);
        return nullptr;
    }

    static void log_ignored(std::size_t count, const char* what, std::size_t bound) {
        log_line(logger::warning()) << "[feeds] advertisement feed: " << count << " " << what << " past the first "
                                    << bound << " ignored" << std::endl;
    }

    const std::string& product_;
    const std::string& os_;
    const std::string& version_;
    const std::string& region_;
    const std::string& language_;

    std::size_t passed_over_ = 0; // the depth of a group or product that does not match
    context_ptr slot_;            // the context open, when kept
    rotation_ptr item_;           // the item open, when kept
    std::string* field_ = nullptr;
    bool seen_url_ = false;
    bool seen_text_ = false;
    bool seen_bannerurl_ = false;

    context_list result_;
    std::size_t items_ = 0;
    std::size_t ignored_contexts_ = 0;
    std::size_t ignored_items_ = 0;
};

} // namespace

context::context() : engine(static_cast<std::uint32_t>(std::time(nullptr))) {}

bool match_value(const std::string& attribute, const std::string& value) {
    return attribute.empty() || value.empty() || attribute == value;
}

bool match_list(const std::string& attribute, const std::string& value) {
    const std::string list = boost::algorithm::erase_all_copy(attribute, " ");
    if (list.empty() || value.empty())
        return true;
    std::vector<std::string> words;
    boost::algorithm::split(words, list, boost::algorithm::is_any_of(","));
    for (const std::string& word : words)
        if (word == value)
            return true;
    return false;
}

boost::optional<std::uint64_t> parse_version(const std::string& text) {
    std::vector<std::string> parts;
    boost::algorithm::split(parts, text, boost::algorithm::is_any_of(".,"));
    if (parts.size() != 4)
        return boost::none;
    std::uint64_t value = 0;
    for (const std::string& part : parts) {
        const boost::optional<std::uint64_t> number = parse_unsigned(part, 65535);
        if (!number)
            return boost::none;
        value = (value << 16) | *number;
    }
    return value;
}

bool match_version(const std::string& min_version, const std::string& max_version, const std::string& version) {
    const boost::optional<std::uint64_t> own = parse_version(version);
    if (!own)
        return true;
    const std::uint64_t lower = parse_version(min_version).value_or(0);
    const std::uint64_t upper = parse_version(max_version).value_or(std::numeric_limits<std::uint64_t>::max());
    return lower <= *own && *own <= upper;
}

context_list parse(std::istream& stream, const std::string& product, const std::string& os,
                   const std::string& version, const std::string& region, const std::string& language) {
    kept_contexts kept(product, os, version, region, language);
    feeds::read_feed_xml(stream, kept);
    return kept.take();
}

} // namespace details
} // namespace advertisement
} // namespace kestrel
