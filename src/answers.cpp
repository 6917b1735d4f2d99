#include "answers.hpp"

#include <limits>

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
    bool negative = false;
    if (!token.empty() && (token.front() == '-' || token.front() == '+')) {
        negative = token.front() == '-';
        token.remove_prefix(1);
    }
    if (token.empty()) {
        return std::nullopt;
    }
    // The magnitude stops growing once it is past any 32-bit value, so it
    // never overflows however many digits follow.
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (char c : token) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        if (magnitude <= limit) {
            magnitude = magnitude * 10 + (c - '0');
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}
