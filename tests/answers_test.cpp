#include "answers.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

TEST(ParseInteger, TakesWholeTokensOfThirtyTwoBits)
{
    const struct {
        const char* token;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"+5", 5},
        {"-7", -7},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"00000000000000000000000000001", 1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1.5", std::nullopt},
        {"--1", std::nullopt},
        {"1-", std::nullopt},
        {"0x10", std::nullopt},
        {"1e3", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_integer(c.token), c.value) << '"' << c.token << '"';
    }
}

TEST(ParseInteger, RefusesAnEmbeddedNul)
{
    EXPECT_EQ(parse_integer(std::string_view("1\0"
                                             "2",
                                             3)),
              std::nullopt);
}

TEST(ReadWord, SplitsOneStreamOnAnyWhiteSpace)
{
    const struct {
        const char* input;
        std::vector<std::string> words;
    } cases[] = {
        {"", {}},
        {" \t\r\n\v\f", {}},
        {"maps", {"maps"}},
        {"maps sierra\n", {"maps", "sierra"}},
        {"  my maps \r\n sierra\r\n", {"my", "maps", "sierra"}},
        {"0\t1\v10\f20\r5\n1", {"0", "1", "10", "20", "5", "1"}},
        {"c:\\x\\y", {"c:\\x\\y"}},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input);
        std::vector<std::string> words;
        while (auto word = read_word(in, 100)) {
            words.push_back(*word);
        }
        EXPECT_EQ(words, c.words) << '"' << c.input << '"';
    }
}

TEST(ReadWord, StopsOneCharacterPastTheLongestWord)
{
    std::istringstream in(" abc abcd" + std::string(1 << 20, 'x'));
    EXPECT_EQ(read_word(in, 3), "abc");
    EXPECT_EQ(read_word(in, 3), "abcd");
    EXPECT_EQ(in.tellg(), 9) << "the rest of an overlong word stays unread";
}

}  // namespace
