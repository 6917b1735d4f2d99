#include "dialogue/answers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <istream>
#include <iterator>
#include <sstream>
#include <vector>

#include "dialogue/answer_input.hpp"
#include "text/printable.hpp"

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
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_integer(c.token), c.value) << '"' << c.token << '"';
    }
    for (const char* token : {"2147483648", "-2147483649", "99999999999999999999999999999", "", "-", "+", "+-1", "abc",
                              "12abc", "1.5", "--1", "1-", "0x10", "1e3"}) {
        EXPECT_EQ(parse_integer(token), std::nullopt) << '"' << token << '"';
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

TEST(ReadWord, GivesAnEmptyWordPastTooMuchWhiteSpace)
{
    std::istringstream in("  \n\n  \t x");
    EXPECT_EQ(read_word(in, 100, 8), "");
}

// What the program reads of `bytes`, handed over `piece` bytes at a time.
std::string read_through(std::string_view bytes, std::size_t piece, bool ends_at_ctrl_z = false)
{
    AnswerInput input(
        [&bytes, piece](char* buffer, std::size_t room, std::string&) {
            const std::size_t got = std::min({room, piece, bytes.size()});
            bytes.copy(buffer, got);
            bytes.remove_prefix(got);
            return got;
        },
        ends_at_ctrl_z);
    std::istream in(&input);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AnswerInput, HonoursAMarkAtTheStartOnly)
{
    using namespace std::string_literals;
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"maps sierra", "maps sierra"},
        {"\xEF\xBB\xBFmaps", "maps"},
        {"\xEF\xBB\xBF", ""},
        {"maps\xEF\xBB\xBF", "maps\xEF\xBB\xBF"},                                 // not at the start: read as it is
        {"\xFF\xFEm\0\xF1\0 \0\x3D\xD8\x00\xDE"s, "m\xC3\xB1 \xF0\x9F\x98\x80"},  // UTF-16 LE: "mñ 😀"
        {"\xFE\xFF\0m\0\xF1\0 \xD8\x3D\xDE\x00"s, "m\xC3\xB1 \xF0\x9F\x98\x80"},  // UTF-16 BE
        {"\xFF\xFE\x00\xDCm\0"s, "\xEF\xBF\xBDm"},                                // half a pair
        {"\xFF\xFEm\0\x3D\xD8"s, "m\xEF\xBF\xBD"},                                // half a pair at the end
        {"\xFF\xFEm\0n"s, "m\xEF\xBF\xBD"},                                       // an odd byte at the end
        {"\xFE", "\xFE"},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {1, 3, 4096}) {
            EXPECT_EQ(read_through(c.bytes, piece), c.text) << testing::PrintToString(c.bytes) << " by " << piece;
        }
    }
}

TEST(AnswerInput, EndsAtCtrlZWhereAsked)
{
    EXPECT_EQ(read_through("maps\x1a sierra", 2, true), "maps");
    EXPECT_EQ(read_through("maps\x1a sierra", 2, false), "maps\x1a sierra");
}

TEST(AnswerInput, KeepsTheReasonOfAFailedRead)
{
    AnswerInput input([](char*, std::size_t, std::string& error) {
        error = "Is a directory";
        return std::size_t{0};
    });
    std::istream in(&input);
    EXPECT_EQ(in.get(), std::istream::traits_type::eof());
    EXPECT_EQ(input.error(), "Is a directory");
}

TEST(Printable, EscapesWhatATerminalWouldObey)
{
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::size_t longest;
        std::string shown;
    } cases[] = {
        {"Monta\xC3\xB1"
         "a",
         100,
         "Monta\xC3\xB1"
         "a"},
        {"\x1B[2J", 100, "\\033[2J"},
        {"a\tb\nc\rd\0e"s, 100, "a\\tb\\nc\\rd\\0e"},
        {"\x01\x7F\x9B", 100, "\\001\\177\\x9b"},
        {"\xC2\x9B", 100, "\\xc2\\x9b"},                             // a control character beyond ASCII
        {"\xC3", 100, "\\xc3"},                                      // cut short
        {"\xC0\xAF\xED\xA0\x80", 100, "\\xc0\\xaf\\xed\\xa0\\x80"},  // overlong, and a surrogate
        {"\xF0\x9F\x98\x80!", 100, "\xF0\x9F\x98\x80!"},
        {"c:\\images\\maps", 100, "c:\\images\\maps"},
        {"a\xC3\xB1\xC3\xB1\xC3\xB1", 3, "a\xC3\xB1\xC3\xB1..."},  // cut between characters
        {"abc", 3, "abc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(printable(c.text, c.longest), c.shown) << testing::PrintToString(c.text);
    }
}

}  // namespace
