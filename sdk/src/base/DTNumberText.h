#pragma once
// Numbers to and from text, independent of the process locale: a settings
// map written under a decimal-comma locale reads back the same anywhere.
// Parsing follows boost::lexical_cast's rules and throws its exception.

#include <boost/lexical_cast/bad_lexical_cast.hpp>

#include <cstdint>
#include <string>

namespace kestrel {
namespace text {

std::string to_text(int value);
std::string to_text(unsigned int value);
std::string to_text(long long value);
std::string to_text(unsigned long long value);
std::string to_text(bool value);
// "%.17g": 17 significant digits, trailing zeros dropped ("0.10000000000000001", "6").
std::string to_text(double value);

// The whole text must convert, or boost::bad_lexical_cast is thrown.
template <class T>
T from_text(const std::string& text);

template <> int from_text<int>(const std::string& text);
template <> unsigned int from_text<unsigned int>(const std::string& text);
template <> long long from_text<long long>(const std::string& text);
template <> unsigned long long from_text<unsigned long long>(const std::string& text);
template <> bool from_text<bool>(const std::string& text);
template <> double from_text<double>(const std::string& text);
template <> std::string from_text<std::string>(const std::string& text);

} // namespace text
} // namespace kestrel
