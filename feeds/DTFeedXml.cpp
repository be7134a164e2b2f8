#include "DTFeedXml.h"

#include "DTErrors.h"

#include <boost/property_tree/xml_parser.hpp>

#include <algorithm>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sstream>
#include <string>

namespace kestrel {
namespace feeds {

namespace {

// The character classes of the XML reader (rapidxml's tables).
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_name_char(char c) { return c != '\0' && !is_space(c) && c != '/' && c != '>' && c != '?'; }
bool is_attribute_name_char(char c) { return is_name_char(c) && c != '!' && c != '<' && c != '='; }

// Walks the text the way the reader tokenises it. Each step that meets
// something the reader refuses answers false: the reader stops there.
class depth_scanner {
public:
    depth_scanner(const char* text, std::size_t size)
        : p_(text), end_(std::find(text, text + size, '\0')) {}

    std::size_t deepest(std::size_t limit) {
        std::size_t depth = 0;
        std::size_t deepest = 0;
        while (skip_to("<")) {
            ++p_;
            bool element = false;
            bool opened = false;
            bool ok = true;
            if (peek() == '/') {
                // At the top an end tag is refused.
                ok = depth > 0 && end_tag();
                if (ok)
                    --depth;
            } else if (peek() == '?') {
                ++p_;
                ok = skip_past("?>");
            } else if (peek() == '!') {
                ok = markup();
            } else {
                ok = start_tag(opened);
                element = true;
            }
            if (!ok)
                break;
            // An empty element sits one level below the open ones.
            const std::size_t level = depth + 1;
            if (opened)
                depth = level;
            if (element && level > deepest) {
                deepest = level;
                if (deepest > limit)
                    return limit + 1;
            }
        }
        return deepest;
    }

private:
    char peek(std::size_t ahead = 0) const {
        return static_cast<std::size_t>(end_ - p_) > ahead ? p_[ahead] : '\0';
    }
    bool starts_with(const char* text) const {
        const std::size_t length = std::strlen(text);
        return static_cast<std::size_t>(end_ - p_) >= length && std::memcmp(p_, text, length) == 0;
    }
    // Moves to the next occurrence of text; false when there is none.
    bool skip_to(const char* text) {
        p_ = std::search(p_, end_, text, text + std::strlen(text));
        return p_ != end_;
    }
    bool skip_past(const char* text) {
        if (!skip_to(text))
            return false;
        p_ += std::strlen(text);
        return true;
    }
    void skip_spaces() {
        while (p_ != end_ && is_space(*p_))
            ++p_;
    }
    template <class Class>
    std::size_t skip(Class in_class) {
        const char* start = p_;
        while (p_ != end_ && in_class(*p_))
            ++p_;
        return static_cast<std::size_t>(p_ - start);
    }

    // After "</": the name, blanks, ">".
    bool end_tag() {
        ++p_;
        skip(is_name_char);
        skip_spaces();
        if (peek() != '>')
            return false;
        ++p_;
        return true;
    }

    // After "<!": a comment, CDATA, a DOCTYPE with its bracketed subset, or
    // anything else up to ">".
    bool markup() {
        if (starts_with("!--")) {
            p_ += 3;
            return skip_past("-->");
        }
        if (starts_with("![CDATA[")) {
            p_ += 8;
            return skip_past("]]>");
        }
        if (starts_with("!DOCTYPE") && is_space(peek(8))) {
            p_ += 9;
            while (peek() != '>') {
                if (peek() == '\0')
                    return false;
                if (*p_++ != '[')
                    continue;
                for (int brackets = 1; brackets > 0; ++p_) {
                    if (peek() == '\0')
                        return false;
                    brackets += *p_ == '[' ? 1 : *p_ == ']' ? -1 : 0;
                }
            }
            ++p_;
            return true;
        }
        ++p_;
        return skip_past(">");
    }

    // After "<": the name, the attributes with their quoted values, then
    // ">" (opened) or "/>".
    bool start_tag(bool& opened) {
        if (skip(is_name_char) == 0)
            return false;
        skip_spaces();
        while (p_ != end_ && is_attribute_name_char(*p_)) {
            skip(is_attribute_name_char);
            skip_spaces();
            if (peek() != '=')
                return false;
            ++p_;
            skip_spaces();
            const char quote = peek();
            if (quote != '"' && quote != '\'')
                return false;
            ++p_;
            const char close[] = {quote, '\0'};
            if (!skip_past(close))
                return false;
            skip_spaces();
        }
        if (peek() == '>') {
            ++p_;
            opened = true;
            return true;
        }
        if (peek() == '/' && peek(1) == '>') {
            p_ += 2;
            return true;
        }
        return false;
    }

    const char* p_;
    const char* end_;
};

// The reader writes a character reference as the UTF-8 bytes of its number,
// a surrogate (&#xD800;) too, though a surrogate is no character and its
// three bytes are no UTF-8: one such reference would make the whole text
// read as Latin-1. Each becomes U+FFFD, of the same length, in place.
void replace_encoded_surrogates(std::string& text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto second = static_cast<unsigned char>(text[i + 1]);
        const auto third = static_cast<unsigned char>(text[i + 2]);
        if (lead == 0xED && second >= 0xA0 && second <= 0xBF && third >= 0x80 && third <= 0xBF) {
            text.replace(i, 3, "\xEF\xBF\xBD");
            i += 2;
        }
    }
}

// Bounded by max_feed_depth, as the reader's own recursion.
void replace_encoded_surrogates(boost::property_tree::ptree& tree) {
    replace_encoded_surrogates(tree.data());
    for (boost::property_tree::ptree::value_type& child : tree)
        replace_encoded_surrogates(child.second);
}

[[noreturn]] void refuse(const std::string& why) { KESTREL_THROW(errors::invalid_argument("[feeds] " + why)); }

} // namespace

std::size_t element_depth(const char* text, std::size_t size, std::size_t limit) {
    return depth_scanner(text, size).deepest(limit);
}

boost::property_tree::ptree read_feed_xml(std::istream& stream) {
    if (!stream)
        refuse("feed not read to its end");
    std::string text;
    char chunk[4096];
    while (stream && text.size() <= max_feed_size) {
        stream.read(chunk, sizeof chunk);
        text.append(chunk, static_cast<std::size_t>(stream.gcount()));
    }
    if (stream.bad())
        refuse("feed not read to its end");
    if (text.empty())
        refuse("empty feed");
    if (text.size() > max_feed_size)
        refuse("feed larger than " + std::to_string(max_feed_size) + " bytes");
    if (element_depth(text.data(), text.size(), max_feed_depth) > max_feed_depth)
        refuse("feed nested deeper than " + std::to_string(max_feed_depth) + " elements");
    std::istringstream bounded(text);
    boost::property_tree::ptree tree;
    boost::property_tree::read_xml(bounded, tree);
    replace_encoded_surrogates(tree);
    return tree;
}

void return_freed_memory() noexcept {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace feeds
} // namespace kestrel
