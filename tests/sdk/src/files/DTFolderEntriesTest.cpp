#include "base/DTUtf8Text.h"
#include "files/DTFolderEntries.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

using namespace kestrel;

// What a decoder turns into replacement characters is no UTF-8 text: a
// name holding it would reach the user as another name that names no file.
// Shown, UTF-8 text stays as it is and each byte of no whole sequence is
// written out, the text around it kept.
TEST(FolderEntries, Utf8TextHasNoOverlongSurrogateOrCutSequence) {
    for (const char* text : {"", "plain.jpg", "\xc3\xa9t\xc3\xa9", "\xe5\x86\x99", "\xf0\x9f\x98\x80", "\xf4\x8f\xbf\xbf",
                             "\xed\x9f\xbf", "back\\slash \x01"}) {
        EXPECT_TRUE(is_utf8_text(text)) << text;
        EXPECT_EQ(text, utf8_escaped(text));
    }
    const std::pair<const char*, const char*> not_text[] = {
        {"caf\xe9.jpg", "caf\\xe9.jpg"},
        {"\xc0\x80", "\\xc0\\x80"},
        {"\xc1\xbf", "\\xc1\\xbf"},
        {"\xe0\x80\x80", "\\xe0\\x80\\x80"},
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"\xf0\x80\x80\x80", "\\xf0\\x80\\x80\\x80"},
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"\xf5\x80\x80\x80", "\\xf5\\x80\\x80\\x80"},
        {"\xe2\x82", "\\xe2\\x82"},
        {"\xe2\x28\xa1", "\\xe2(\\xa1"},
        {"\x80", "\\x80"},
        {"\xff\xc3\xa9\xf0\x9f\x98", "\\xff\xc3\xa9\\xf0\\x9f\\x98"},
    };
    for (const auto& [bytes, shown] : not_text) {
        EXPECT_FALSE(is_utf8_text(bytes)) << testing::PrintToString(std::string(bytes));
        EXPECT_EQ(shown, utf8_escaped(bytes));
    }
}

// What a reader of a shown name takes it for: an escaped name (one
// holding "\\" or "\xNN") read back, escapes undone; any other as it is.
std::string read_back(const std::string& shown) {
    static const std::regex escape(R"(\\(\\|x[0-9a-f]{2}))");
    if (!std::regex_search(shown, escape))
        return shown;
    std::string bytes;
    for (std::size_t at = 0; at < shown.size(); ++at) {
        if (shown[at] != '\\') {
            bytes += shown[at];
        } else if (shown.at(++at) == '\\') {
            bytes += '\\';
        } else {
            bytes += static_cast<char>(std::stoi(shown.substr(at + 1, 2), nullptr, 16));
            at += 2;
        }
    }
    return bytes;
}

// A backslash of the name's own never reads as an escape: the name typed
// "caf\xe9.jpg" shows apart from the one with the byte E9, and every name
// of these bytes (a backslash, "x", hexadecimal digits, a byte outside
// UTF-8) reads back as itself. A backslash that reads as nothing else
// stays as it is in a name of UTF-8 text.
TEST(FolderEntries, AShownNameReadsBackAsItselfWhateverBackslashesItHolds) {
    const std::pair<const char*, const char*> shown_as[] = {
        {"caf\xe9.jpg", "caf\\xe9.jpg"}, {"caf\\xe9.jpg", "caf\\\\xe9.jpg"}, {"caf\\xE9.jpg", "caf\\\\xE9.jpg"},
        {"a\\b\xff", "a\\\\b\\xff"},     {"a\\b \\x4 \\xg0", "a\\b \\x4 \\xg0"},
    };
    for (const auto& [bytes, shown] : shown_as)
        EXPECT_EQ(shown, utf8_escaped(bytes)) << testing::PrintToString(std::string(bytes));

    const std::string letters[] = {"\\", "x", "e", "9", "\xe9", "\xc3\xa9"};
    std::vector<std::string> names{""};
    for (std::size_t from = 0, length = 1; length <= 4; ++length) {
        const std::size_t to = names.size();
        for (std::size_t i = from; i < to; ++i)
            for (const std::string& letter : letters)
                names.push_back(names[i] + letter);
        from = to;
    }
    for (const std::string& name : names)
        ASSERT_EQ(name, read_back(utf8_escaped(name))) << testing::PrintToString(name);
}

// Names as bytes, hidden ones only when asked; each path with why it
// cannot be taken, or nothing for a file or folder that can.
TEST(FolderEntries, ListsNamesAsTheyAreAndSaysWhyAPathCannotBeTaken) {
    test::TempDir dir;
    for (const char* name : {"a.jpg", "caf\xe9.jpg", ".hidden"})
        test::write_file(dir.file(name), "x");
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink("nowhere", dir.file("dangling"));
    std::vector<std::string> names;
    ASSERT_EQ(0, list_folder(dir.path(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"a.jpg", "caf\xe9.jpg", "dangling", "sub"}), names);
    ASSERT_EQ(0, list_folder(dir.path(), names, true));
    EXPECT_EQ(5u, names.size());
    EXPECT_EQ(ENOENT, list_folder(dir.file("missing"), names));
    EXPECT_EQ(5u, names.size()) << "kept as it was";

    EXPECT_EQ("", unusable_path_reason(dir.file("a.jpg")));
    EXPECT_EQ("", unusable_path_reason(dir.file("sub")));
    EXPECT_EQ(log_words(file_refusal::name_not_utf8), unusable_path_reason(dir.file("caf\xe9.jpg")));
    EXPECT_EQ("a link to nothing", unusable_path_reason(dir.file("dangling")));
    EXPECT_EQ("not found", unusable_path_reason(dir.file("missing")));
}
