#include "media/DTMediaSettings.h"

#include <boost/make_shared.hpp>

#include <ostream>

namespace kestrel {

media_settings::const_iterator::const_iterator() : position_(new map_type::const_iterator()) {}

media_settings::const_iterator::const_iterator(map_type::const_iterator position)
    : position_(new map_type::const_iterator(position)) {}

media_settings::const_iterator::const_iterator(const const_iterator& other)
    : position_(new map_type::const_iterator(*other.position_)) {}

media_settings::const_iterator&
media_settings::const_iterator::operator=(const const_iterator& other) {
    *position_ = *other.position_;
    return *this;
}

media_settings::const_iterator::~const_iterator() = default;

const media_settings::const_iterator::value_type& media_settings::const_iterator::operator*() const {
    return **position_;
}

const media_settings::const_iterator::value_type* media_settings::const_iterator::operator->() const {
    return &**position_;
}

media_settings::const_iterator& media_settings::const_iterator::operator++() {
    ++*position_;
    return *this;
}

media_settings::const_iterator media_settings::const_iterator::operator++(int) {
    const_iterator before(*this);
    ++*position_;
    return before;
}

bool media_settings::const_iterator::operator==(const const_iterator& other) const {
    return *position_ == *other.position_;
}

media_settings::media_settings() : entries_(new map_type()) {}

media_settings::~media_settings() = default;

media_settings_ptr media_settings::create() {
    // The constructor is private, so make_shared cannot reach it.
    return media_settings_ptr(new media_settings());
}

media_settings_ptr media_settings::clone(const media_settings_ptr& source) {
    media_settings_ptr copy = create();
    if (source)
        *copy->entries_ = *source->entries_;
    return copy;
}

media_settings_ptr media_settings::merge(const media_settings_ptr& other) {
    if (other && other.get() != this) {
        for (const auto& entry : *other->entries_)
            (*entries_)[entry.first] = entry.second;
    }
    return shared_from_this();
}

media_settings_ptr media_settings::set(const std::string& key, const std::string& value) {
    (*entries_)[key] = value;
    return shared_from_this();
}

std::string media_settings::get(const std::string& key) const {
    auto found = entries_->find(key);
    return found == entries_->end() ? std::string() : found->second;
}

boost::optional<std::string> media_settings::get_optional(const std::string& key) const {
    auto found = entries_->find(key);
    if (found == entries_->end())
        return boost::none;
    return found->second;
}

bool media_settings::contains(const std::string& key) const {
    return entries_->count(key) != 0;
}

media_settings::const_iterator media_settings::begin() const {
    return const_iterator(entries_->begin());
}

media_settings::const_iterator media_settings::end() const {
    return const_iterator(entries_->end());
}

std::ostream& operator<<(std::ostream& stream, const media_settings& settings) {
    stream << '{';
    bool first = true;
    for (const auto& entry : settings) {
        if (!first)
            stream << ';';
        first = false;
        stream << '"' << entry.first << "\":\"" << entry.second << '"';
    }
    return stream << '}';
}

} // namespace kestrel
