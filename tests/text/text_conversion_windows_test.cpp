#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "text/text_conversion.hpp"

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
    EXPECT_EQ(from_wide(typed("Monta\xa4"
                              "a",
                              850)),
              montana)
        << "typed on an OEM console";
    EXPECT_EQ(from_wide(typed("Monta\xf1"
                              "a",
                              1252)),
              montana);
    EXPECT_EQ(from_wide(to_wide("se\xc3\xb1"
                                "al"),
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

TEST(WindowsReason, IsUtf8InTheUsersLanguage)
{
    // In French, "Access denied" has two accents: "Accès refusé".
    const std::string reason = windows_reason(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(is_valid_in(reason, utf8_code_page)) << reason;
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.back(), '.');
    const char* language = std::getenv("GRISALTURAS_TEST_LANGUAGE");  // NOLINT(concurrency-mt-unsafe)
    if (language != nullptr && std::string(language) == "fr") {
        EXPECT_EQ(reason, "Acc\xc3\xa8s refus\xc3\xa9");
    }
    EXPECT_EQ(to_wide("\xff"), L"\xfffd") << "what is not UTF-8 shows as a replacement";
}

}  // namespace
