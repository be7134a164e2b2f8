#include "base/DTUtils.h"

#include "base/DTPlatformFile.h"

#include <boost/program_options/detail/convert.hpp>

#include <clocale>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace kestrel {

std::wstring utf8_to_wide(const std::string& text) { return boost::from_utf8(text); }

std::string wide_to_utf8(const std::wstring& text) { return boost::to_utf8(text); }

std::string local8bit_to_utf8(const std::string& text) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string saved = current ? current : "C";
    std::setlocale(LC_ALL, "");
    std::wstring wide;
    const std::size_t length = std::mbstowcs(nullptr, text.c_str(), 0);
    if (length != static_cast<std::size_t>(-1)) {
        wide.resize(length);
        std::mbstowcs(&wide[0], text.c_str(), length);
    }
    std::setlocale(LC_ALL, saved.c_str());
    if (length == static_cast<std::size_t>(-1))
        throw std::logic_error("character conversion failed");
    return wide_to_utf8(wide);
}

void fclose__(FILE* file) {
    if (file)
        std::fclose(file);
}

FILEPtr open_file(const std::string& path, const char* mode) {
    return FILEPtr(std::fopen(path.c_str(), (std::string(mode) + "e").c_str()), fclose__);
}

FILEPtr open_file(const std::wstring& path, const wchar_t* mode) {
    return FILEPtr(platform::wfopen(path, mode), fclose__);
}

namespace {

// No destructor at exit, for callers on threads that outlive main.
constexpr std::string_view base64_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool is_base64(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '+' || c == '/';
}

} // namespace

std::string base64_encode(const unsigned char* bytes, unsigned int count) {
    std::string out;
    out.reserve((count + 2) / 3 * 4);
    unsigned int i = 0;
    for (; i + 3 <= count; i += 3) {
        const unsigned int group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += base64_alphabet[(group >> 18) & 63];
        out += base64_alphabet[(group >> 12) & 63];
        out += base64_alphabet[(group >> 6) & 63];
        out += base64_alphabet[group & 63];
    }
    const unsigned int rest = count - i;
    if (rest != 0) {
        const unsigned int group = (bytes[i] << 16) | (rest == 2 ? bytes[i + 1] << 8 : 0);
        out += base64_alphabet[(group >> 18) & 63];
        out += base64_alphabet[(group >> 12) & 63];
        out += rest == 2 ? base64_alphabet[(group >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string base64_decode(const std::string& text) {
    std::string out;
    unsigned int group = 0;
    int collected = 0;
    for (unsigned char c : text) {
        if (!is_base64(c))
            break;
        group = (group << 6) | static_cast<unsigned int>(base64_alphabet.find(static_cast<char>(c)));
        if (++collected == 4) {
            out += static_cast<char>((group >> 16) & 0xff);
            out += static_cast<char>((group >> 8) & 0xff);
            out += static_cast<char>(group & 0xff);
            group = 0;
            collected = 0;
        }
    }
    if (collected == 2) {
        out += static_cast<char>((group >> 4) & 0xff);
    } else if (collected == 3) {
        out += static_cast<char>((group >> 10) & 0xff);
        out += static_cast<char>((group >> 2) & 0xff);
    }
    return out;
}

} // namespace kestrel
