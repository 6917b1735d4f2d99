#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "windows_text.hpp"

namespace {

const std::string montana =
    "Monta\xc3\xb1"
    "a";  // as UTF-8

// What a console in `code_page` hands the program for these bytes, as characters.
std::wstring typed(const std::string& bytes, unsigned code_page)
{
    std::wstring characters(bytes.size(), L'\0');
    characters.resize(
        static_cast<std::size_t>(::MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                       characters.data(), static_cast<int>(bytes.size()))));
    return characters;
}

TEST(AnswerText, IsTheSameNameFromEveryEncoding)
{
    EXPECT_EQ(utf8_from_answer_bytes(montana, 1252), montana);
    EXPECT_EQ(utf8_from_answer_bytes("Monta\xf1"
                                     "a",
                                     1252),
              montana);
    EXPECT_EQ(utf8_from_answer_bytes("Monta\xa4"
                                     "a",
                                     850),
              montana);
    EXPECT_EQ(utf8_from_utf16(typed("Monta\xa4"
                                    "a",
                                    850)),
              montana)
        << "typed on an OEM console";
    EXPECT_EQ(utf8_from_utf16(typed("Monta\xf1"
                                    "a",
                                    1252)),
              montana);
    EXPECT_EQ(code_page_from_utf8("se\xc3\xb1"
                                  "al",
                                  1252),
              "se\xf1"
              "al");
}

TEST(AnswerText, TakesPipedBytesAsUtf8OnlyWhereTheyAreUtf8BeyondAscii)
{
    const struct {
        const char* bytes;
        bool utf8;
    } cases[] = {
        {"maps", false},
        {"Monta\xc3\xb1"
         "a",
         true},
        {"Monta\xf1"
         "a",
         false},              // 1252: no valid UTF-8
        {"\xc3\xb1", true},   // as valid in 1252 ("Ã±"), and taken as UTF-8
        {"\xe2\x82", false},  // a character cut short
        {"\xc0\xaf", false},  // an overlong form
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_utf8_beyond_ascii(c.bytes), c.utf8) << c.bytes;
    }
}

}  // namespace
