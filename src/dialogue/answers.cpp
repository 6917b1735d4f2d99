#include "dialogue/answers.hpp"

#include <charconv>

namespace {

// The white space of the "C" locale, whatever locale the console runs in.
bool is_space(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::optional<std::string> read_word(std::istream& in, std::size_t longest, std::size_t most_blanks)
{
    using traits = std::istream::traits_type;
    int c = in.get();
    for (std::size_t blanks = 0; c != traits::eof() && is_space(c); c = in.get()) {
        if (++blanks == most_blanks) {
            return std::string();
        }
    }
    if (c == traits::eof()) {
        return std::nullopt;
    }
    std::string word(1, traits::to_char_type(c));
    while (word.size() <= longest && (c = in.get()) != traits::eof() && !is_space(c)) {
        word.push_back(traits::to_char_type(c));
    }
    return word;
}

std::optional<std::int32_t> parse_integer(std::string_view token)
{
    // std::from_chars takes no plus sign, which an answer may have.
    if (token.starts_with('+') && !token.substr(1).starts_with('-')) {
        token.remove_prefix(1);
    }
    std::int32_t value = 0;
    const char* end = token.data() + token.size();
    if (const auto [stop, error] = std::from_chars(token.data(), end, value); error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}
