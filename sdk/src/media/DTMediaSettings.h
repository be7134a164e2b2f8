#pragma once
// The one container in which every parameter travels between the
// application and the library: an ordered map of text keys to text values.
// Numbers and flags are stored as text and converted when they are read.

#include "base/DTNumberText.h"

#include <boost/enable_shared_from_this.hpp>
#include <boost/noncopyable.hpp>
#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>

#include <iosfwd>
#include <map>
#include <memory>
#include <string>

namespace kestrel {

class media_settings;
typedef boost::shared_ptr<media_settings> media_settings_ptr;

class media_settings : public boost::enable_shared_from_this<media_settings>,
                       private boost::noncopyable {
    typedef std::map<std::string, std::string> map_type;

public:
    class const_iterator {
    public:
        typedef map_type::value_type value_type;

        const_iterator();
        const_iterator(const const_iterator& other);
        const_iterator& operator=(const const_iterator& other);
        ~const_iterator();

        const value_type& operator*() const;
        const value_type* operator->() const;
        const_iterator& operator++();
        const_iterator operator++(int);
        bool operator==(const const_iterator& other) const;
        bool operator!=(const const_iterator& other) const { return !(*this == other); }

    private:
        friend class media_settings;
        explicit const_iterator(map_type::const_iterator position);
        std::unique_ptr<map_type::const_iterator> position_;
    };

    ~media_settings();

    static media_settings_ptr create();
    template <class T>
    static media_settings_ptr create(const std::string& key, T value);
    // A copy of every entry; a null source gives an empty map.
    static media_settings_ptr clone(const media_settings_ptr& source);

    // Copies every entry of the other map over this one's.
    media_settings_ptr merge(const media_settings_ptr& other);

    media_settings_ptr set(const std::string& key, const std::string& value);
    template <class T>
    media_settings_ptr set(const std::string& key, T value) {
        return set(key, value_text(value));
    }

    // The stored value, or empty text for an absent key.
    std::string get(const std::string& key) const;
    boost::optional<std::string> get_optional(const std::string& key) const;
    bool contains(const std::string& key) const;

    // The value converted; an absent key does not convert (but for text).
    template <class T>
    T get(const std::string& key) const {
        return text::from_text<T>(get(key));
    }
    // The default for an empty or absent value; a value that does not
    // convert throws, it never falls back to the default.
    template <class T>
    T get(const std::string& key, const T& default_value) const {
        const std::string value = get(key);
        return value.empty() ? default_value : text::from_text<T>(value);
    }
    std::string get(const std::string& key, const char* default_value) const {
        return get<std::string>(key, std::string(default_value));
    }

    const_iterator begin() const;
    const_iterator end() const;

private:
    media_settings();

    static std::string value_text(const char* value) { return value ? value : ""; }
    static std::string value_text(const std::string& value) { return value; }
    template <class T>
    static std::string value_text(T value) { return text::to_text(value); }

    std::unique_ptr<map_type> entries_;
};

template <class T>
media_settings_ptr media_settings::create(const std::string& key, T value) {
    return create()->set(key, value);
}

// {"key":"value";"key2":"value2"}: for logging only, nothing parses it back.
std::ostream& operator<<(std::ostream& stream, const media_settings& settings);

} // namespace kestrel
