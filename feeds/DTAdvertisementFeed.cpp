#include "DTAdvertisementFeed.h"

#include "DTErrors.h"
#include "DTFeedXml.h"
#include "DTLog.h"
#include "DTWebAddress.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/property_tree/ptree.hpp>

#include <ctime>
#include <limits>

namespace kestrel {
namespace advertisement {
namespace details {

namespace {

using boost::property_tree::ptree;

const char* const attribute_set = "<xmlattr>";

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

bool group_matches(const ptree& attributes, const std::string& region, const std::string& language) {
    return match_list(attributes.get<std::string>("region", ""), region) &&
           match_list(attributes.get<std::string>("locale", ""), language);
}

bool product_matches(const ptree& attributes, const std::string& product, const std::string& os,
                     const std::string& version) {
    return match_value(attributes.get<std::string>("id", ""), product) &&
           match_version(attributes.get<std::string>("min-version", ""),
                         attributes.get<std::string>("max-version", ""), version) &&
           match_value(attributes.get<std::string>("os", ""), os);
}

rotation_ptr read_item(const ptree& item, std::uint32_t rate) {
    rotation_ptr ad(new rotation);
    ad->rate = rate;
    ad->id = item.get<std::string>("<xmlattr>.id", "");
    ad->url = feeds::web_address_or_empty(item.get<std::string>("url", ""), "advertisement url");
    ad->text = item.get<std::string>("text", "");
    ad->bannerurl = feeds::web_address_or_empty(item.get<std::string>("bannerurl", ""), "banner url");
    return ad;
}

// The contexts kept, in document order, within the bounds. Past them every
// item's rate is still checked, so a feed fails or loads whatever its size.
class kept_contexts {
public:
    void add(const ptree& element) {
        context_ptr slot;
        if (result_.size() < max_kept_contexts)
            slot.reset(new context);
        else
            ++ignored_contexts_;
        for (const ptree::value_type& child : element) {
            if (child.first == attribute_set) {
                if (slot)
                    slot->id = child.second.get<std::string>("id", "");
                continue;
            }
            const std::uint32_t rate = parse_rate(child.second.get<std::string>("<xmlattr>.rate", ""));
            if (slot && items_ < max_kept_items) {
                slot->items.push_back(read_item(child.second, rate));
                ++items_;
            } else {
                ++ignored_items_;
            }
        }
        if (slot)
            result_.push_back(slot);
    }

    // Says once what the bounds left out.
    context_list take() {
        if (ignored_contexts_ > 0)
            log_ignored(ignored_contexts_, "slots", max_kept_contexts);
        if (ignored_items_ > 0)
            log_ignored(ignored_items_, "advertisements", max_kept_items);
        return std::move(result_);
    }

private:
    static void log_ignored(std::size_t count, const char* what, std::size_t bound) {
        log_line(logger::warning()) << "[feeds] advertisement feed: " << count << " " << what << " past the first "
                                    << bound << " ignored" << std::endl;
    }

    context_list result_;
    std::size_t items_ = 0;
    std::size_t ignored_contexts_ = 0;
    std::size_t ignored_items_ = 0;
};

context_list select_contexts(const ptree& tree, const std::string& product, const std::string& os,
                             const std::string& version, const std::string& region, const std::string& language) {
    kept_contexts kept;
    for (const ptree::value_type& document : tree) {
        for (const ptree::value_type& group : document.second) {
            for (const ptree::value_type& group_child : group.second) {
                if (group_child.first == attribute_set) {
                    if (!group_matches(group_child.second, region, language))
                        break;
                    continue;
                }
                for (const ptree::value_type& product_child : group_child.second) {
                    if (product_child.first == attribute_set) {
                        if (!product_matches(product_child.second, product, os, version))
                            break;
                        continue;
                    }
                    kept.add(product_child.second);
                }
            }
        }
    }
    return kept.take();
}

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
    return feeds::keep_from_feed_xml(stream, [&](const ptree& tree) {
        return select_contexts(tree, product, os, version, region, language);
    });
}

} // namespace details
} // namespace advertisement
} // namespace kestrel
