#include "base/DTXmlArchiveText.h"

#include <cstring>

namespace kestrel {

namespace {

bool ends_name(char c) { return c == '>' || c == '/' || std::strchr(" \t\r\n", c) != nullptr; }

bool end_tags_fit(const std::string& text) {
    for (std::size_t at = text.find("</"); at != std::string::npos; at = text.find("</", at)) {
        at += 2;
        std::size_t length = 0;
        while (at + length < text.size() && !ends_name(text[at + length]))
            ++length;
        if (length > xml_longest_tag)
            return false;
    }
    return true;
}

// The first element after the archive's root start tag.
bool top_element_is(const std::string& text, const char* name) {
    const std::size_t root = text.find("<boost_serialization");
    if (root == std::string::npos)
        return false;
    const std::size_t top = text.find('<', text.find('>', root));
    if (top == std::string::npos)
        return false;
    const std::size_t length = std::strlen(name);
    return text.compare(top + 1, length, name) == 0 && top + 1 + length < text.size() &&
           ends_name(text[top + 1 + length]);
}

} // namespace

bool xml_archive_text_acceptable(const std::string& text, const xml_element_name& name) {
    return end_tags_fit(text) && top_element_is(text, name.text);
}

} // namespace kestrel
