#include "DTFeedXml.h"

#include "base/DTErrors.h"

#include <algorithm>
#include <cstdint>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <mutex>

namespace kestrel {
namespace feeds {

namespace {

// The character classes of the grammar.
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_name_char(char c) { return c != '\0' && !is_space(c) && c != '/' && c != '>' && c != '?'; }
bool is_attribute_name_char(char c) { return is_name_char(c) && c != '!' && c != '<' && c != '='; }

const unsigned no_digit = 0xFF;

// A hexadecimal digit's value; decimal references read their digits from
// the same table, so "&#1a;" is 20 as the first reader had it.
unsigned digit_value(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    return no_digit;
}

[[noreturn]] void refuse(const std::string& why) { KESTREL_THROW(errors::invalid_argument("[feeds] " + why)); }

void skip_spaces(const char*& p) {
    while (is_space(*p))
        ++p;
}

template <class Class>
void skip(const char*& p, Class in_class) {
    while (in_class(*p))
        ++p;
}

// Stops at the first difference, so never reads past a text's NUL.
bool starts_with(const char* p, std::string_view text) {
    for (char c : text)
        if (*p++ != c)
            return false;
    return true;
}

// A surrogate's three bytes (ED A0..BF 80..BF) become U+FFFD, of the same
// length, in place: in the piece of the value from `piece` on, and across
// its seam with what came before.
void replace_encoded_surrogates(std::string& text, std::size_t piece) {
    for (std::size_t i = piece < 2 ? 0 : piece - 2; i + 2 < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto second = static_cast<unsigned char>(text[i + 1]);
        const auto third = static_cast<unsigned char>(text[i + 2]);
        if (lead == 0xED && second >= 0xA0 && second <= 0xBF && third >= 0x80 && third <= 0xBF) {
            text.replace(i, 3, "\xEF\xBF\xBD");
            i += 2;
        }
    }
}

void append_value(std::string& out, const char* begin, const char* end) {
    const std::size_t kept_from = out.size();
    out.append(begin, static_cast<std::size_t>(end - begin));
    replace_encoded_surrogates(out, kept_from);
}

// What a text or an attribute value holds, stopped at `stop` or NUL.
// Faults are met at the reference that has them, whether the value is
// kept (out) or only walked over (null).
class value_reader {
public:
    explicit value_reader(const char* text_begin) : text_begin_(text_begin) {}

    void read(const char*& p, char stop, std::string* out) const {
        const std::size_t kept_from = out ? out->size() : 0;
        while (*p != '\0' && *p != stop) {
            if (*p == '&' && reference(p, out))
                continue;
            if (out)
                out->push_back(*p);
            ++p;
        }
        if (out)
            replace_encoded_surrogates(*out, kept_from);
    }

    [[noreturn]] void fail(const char* what, const char* where) const {
        const auto line = std::count(text_begin_, where, '\n') + 1;
        KESTREL_THROW(errors::invalid_argument("XML line " + std::to_string(line) + ": " + what));
    }

private:
    // At "&": expands a reference and moves past it; false for an "&" that
    // stands for itself.
    bool reference(const char*& p, std::string* out) const {
        static const struct {
            std::string_view name;
            char character;
        } named[] = {{"&amp;", '&'}, {"&apos;", '\''}, {"&quot;", '"'}, {"&gt;", '>'}, {"&lt;", '<'}};
        for (const auto& entity : named) {
            if (starts_with(p, entity.name)) {
                if (out)
                    out->push_back(entity.character);
                p += entity.name.size();
                return true;
            }
        }
        if (p[1] != '#')
            return false;
        const bool hexadecimal = p[2] == 'x';
        p += hexadecimal ? 3 : 2;
        // Wraps as the first reader's unsigned long did.
        std::uint64_t code = 0;
        for (unsigned digit; (digit = digit_value(*p)) != no_digit; ++p)
            code = code * (hexadecimal ? 16 : 10) + digit;
        if (code >= 0x110000)
            fail("invalid numeric character entity", p);
        if (out)
            append_utf8(*out, static_cast<std::uint32_t>(code));
        if (*p != ';')
            fail("expected ;", p);
        ++p;
        return true;
    }

    static void append_utf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    const char* text_begin_;
};

// Walks the attributes of a start tag from p: each name, "=", a quoted
// value. Calls found(name, value start, quote) for each; stops before the
// first character that cannot start a name.
template <class Found>
void walk_attributes(const char*& p, const value_reader& values, Found found) {
    while (is_attribute_name_char(*p)) {
        const char* name = p;
        skip(p, is_attribute_name_char);
        const std::string_view name_text(name, static_cast<std::size_t>(p - name));
        skip_spaces(p);
        if (*p != '=')
            values.fail("expected =", p);
        ++p;
        skip_spaces(p);
        const char quote = *p;
        if (quote != '\'' && quote != '"')
            values.fail("expected ' or \"", p);
        ++p;
        if (found(name_text, p, quote))
            return;
        values.read(p, quote, nullptr);
        if (*p != quote)
            values.fail("expected ' or \"", p);
        ++p;
        skip_spaces(p);
    }
}

class feed_walker {
public:
    feed_walker(const std::string& text, feed_events& events)
        : p_(text.c_str()), values_(text.c_str()), events_(events) {}

    void run() {
        if (starts_with_bom())
            p_ += 3;
        for (;;) {
            if (depth_ == 0) {
                skip_spaces(p_);
                if (*p_ == '\0')
                    return;
                if (*p_ != '<')
                    values_.fail("expected <", p_);
                ++p_;
                node();
            } else if (*p_ == '<' && p_[1] == '/') {
                end_tag();
            } else if (*p_ == '<') {
                ++p_;
                node();
            } else if (*p_ == '\0') {
                values_.fail("unexpected end of data", p_);
            } else {
                values_.read(p_, '<', events_.text(depth_));
            }
        }
    }

private:
    bool starts_with_bom() const {
        return static_cast<unsigned char>(p_[0]) == 0xEF && static_cast<unsigned char>(p_[1]) == 0xBB &&
               static_cast<unsigned char>(p_[2]) == 0xBF;
    }

    bool at(std::string_view text) const { return starts_with(p_, text); }

    // Moves past the next `mark`; a fault when the text ends first.
    void skip_past(std::string_view mark) {
        while (!at(mark)) {
            if (*p_ == '\0')
                values_.fail("unexpected end of data", p_);
            ++p_;
        }
        p_ += mark.size();
    }

    // After "<".
    void node() {
        if (*p_ == '?') {
            // A declaration or processing instruction.
            ++p_;
            skip_past("?>");
        } else if (at("!--")) {
            p_ += 3;
            skip_past("-->");
            events_.comment(depth_ + 1);
        } else if (at("![CDATA[")) {
            p_ += 8;
            const char* value = p_;
            skip_past("]]>");
            // CDATA has no references.
            if (depth_ > 0)
                if (std::string* out = events_.text(depth_))
                    append_value(*out, value, p_ - 3);
        } else if (at("!DOCTYPE") && is_space(p_[8])) {
            p_ += 9;
            doctype();
        } else if (*p_ == '!') {
            ++p_;
            skip_past(">");
        } else {
            element();
        }
    }

    void doctype() {
        while (*p_ != '>') {
            if (*p_ == '\0')
                values_.fail("unexpected end of data", p_);
            if (*p_++ != '[')
                continue;
            for (int brackets = 1; brackets > 0; ++p_) {
                if (*p_ == '\0')
                    values_.fail("unexpected end of data", p_);
                brackets += *p_ == '[' ? 1 : *p_ == ']' ? -1 : 0;
            }
        }
        ++p_;
    }

    void element() {
        const char* name = p_;
        skip(p_, is_name_char);
        if (p_ == name)
            values_.fail("expected element name", p_);
        const std::string_view name_text(name, static_cast<std::size_t>(p_ - name));
        skip_spaces(p_);
        const char* attributes = p_;
        walk_attributes(p_, values_, [](std::string_view, const char*, char) { return false; });
        const feed_tag tag(name_text, attributes, p_);
        bool opened = false;
        if (*p_ == '>') {
            opened = true;
        } else if (*p_ == '/') {
            ++p_;
            if (*p_ != '>')
                values_.fail("expected >", p_);
        } else {
            values_.fail("expected >", p_);
        }
        ++p_;
        if (depth_ + 1 > max_feed_depth)
            refuse("feed nested deeper than " + std::to_string(max_feed_depth) + " elements");
        events_.element(depth_ + 1, tag);
        if (opened)
            ++depth_;
        else
            events_.end(depth_ + 1);
    }

    // At "</": the name is not checked, blanks may follow it.
    void end_tag() {
        p_ += 2;
        skip(p_, is_name_char);
        skip_spaces(p_);
        if (*p_ != '>')
            values_.fail("expected >", p_);
        ++p_;
        events_.end(depth_--);
    }

    const char* p_;
    const value_reader values_;
    feed_events& events_;
    std::size_t depth_ = 0;
};

} // namespace

boost::optional<std::string> feed_tag::attribute(std::string_view name) const {
    // The tag was walked whole before it was shown: nothing here fails.
    const value_reader values(attributes_);
    boost::optional<std::string> value;
    const char* p = attributes_;
    walk_attributes(p, values, [&](std::string_view found, const char* start, char quote) {
        if (found != name)
            return false;
        value.emplace();
        values.read(start, quote, &*value);
        return true;
    });
    return value;
}

void read_feed_xml(std::istream& stream, feed_events& events) {
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
    feed_walker(text, events).run();
}

void return_freed_memory() noexcept {
#if defined(__GLIBC__)
    // One at a time: where malloc is replaced (a sanitizer's), glibc's own
    // is first set up by this call, and two threads setting it up at once
    // leave it counting one thread too few, which aborts at a thread's end.
    static std::mutex one_at_a_time;
    const std::lock_guard<std::mutex> lock(one_at_a_time);
    malloc_trim(0);
#endif
}

} // namespace feeds
} // namespace kestrel
