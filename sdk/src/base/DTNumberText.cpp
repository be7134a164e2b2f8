#include "base/DTNumberText.h"

#include <boost/throw_exception.hpp>

#include <charconv>
#include <limits>
#include <typeinfo>

namespace kestrel {
namespace text {

namespace {

template <class T>
[[noreturn]] void fail() {
    BOOST_THROW_EXCEPTION(boost::bad_lexical_cast(typeid(std::string), typeid(T)));
}

template <class T>
std::string integer_text(T value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Optional sign, then decimal digits only; the magnitude must fit in 64 bits.
template <class T>
bool parse_magnitude(const std::string& text, bool& negative, unsigned long long& magnitude) {
    const char* first = text.data();
    const char* last = first + text.size();
    negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    if (first == last || *first < '0' || *first > '9')
        return false;
    auto result = std::from_chars(first, last, magnitude);
    return result.ec == std::errc() && result.ptr == last;
}

template <class T>
T signed_from_text(const std::string& text) {
    bool negative;
    unsigned long long magnitude;
    if (!parse_magnitude<T>(text, negative, magnitude))
        fail<T>();
    const unsigned long long max = static_cast<unsigned long long>(std::numeric_limits<T>::max());
    if (negative) {
        if (magnitude > max + 1)
            fail<T>();
        return magnitude == max + 1 ? std::numeric_limits<T>::min()
                                    : -static_cast<T>(magnitude);
    }
    if (magnitude > max)
        fail<T>();
    return static_cast<T>(magnitude);
}

// Like lexical_cast, a leading "-" is accepted and the value wraps.
template <class T>
T unsigned_from_text(const std::string& text) {
    bool negative;
    unsigned long long magnitude;
    if (!parse_magnitude<T>(text, negative, magnitude))
        fail<T>();
    if (magnitude > std::numeric_limits<T>::max())
        fail<T>();
    T value = static_cast<T>(magnitude);
    return negative ? static_cast<T>(0u - value) : value;
}

} // namespace

std::string to_text(int value) { return integer_text(value); }
std::string to_text(unsigned int value) { return integer_text(value); }
std::string to_text(long long value) { return integer_text(value); }
std::string to_text(unsigned long long value) { return integer_text(value); }
std::string to_text(bool value) { return value ? "1" : "0"; }

std::string to_text(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                std::chars_format::general, 17);
    return std::string(buffer, result.ptr);
}

template <> int from_text<int>(const std::string& text) { return signed_from_text<int>(text); }

template <> long long from_text<long long>(const std::string& text) {
    return signed_from_text<long long>(text);
}

template <> unsigned int from_text<unsigned int>(const std::string& text) {
    return unsigned_from_text<unsigned int>(text);
}

template <> unsigned long long from_text<unsigned long long>(const std::string& text) {
    return unsigned_from_text<unsigned long long>(text);
}

template <> bool from_text<bool>(const std::string& text) {
    if (text == "1" || text == "+1")
        return true;
    if (text == "0" || text == "+0" || text == "-0")
        return false;
    fail<bool>();
}

template <> double from_text<double>(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars takes no "+"; a second sign after it stays an error.
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-' && first[1] != '+')
        ++first;
    double value = 0.0;
    auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (first == last || result.ec != std::errc() || result.ptr != last)
        fail<double>();
    return value;
}

template <> std::string from_text<std::string>(const std::string& text) { return text; }

} // namespace text
} // namespace kestrel
