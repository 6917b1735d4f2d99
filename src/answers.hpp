// The user's answers: one stream of words separated by white space, whether
// typed one per line or several ahead on one line.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

// No answer is read past the longest path the system takes, which could not
// name a table anyway: endless input neither holds the program nor fills its memory.
#ifdef _WIN32
inline constexpr std::size_t longest_answer = 32767;
#else
inline constexpr std::size_t longest_answer = PATH_MAX;
#endif

// Skips white space, then takes the characters up to the next white space,
// but no more than `longest` + 1 of them: a word that long is too long, and
// the rest of it is left unread. Empty at the end of input (or when input
// cannot be read).
std::optional<std::string> read_word(std::istream& in, std::size_t longest);

// The value of a whole token that is an optionally signed decimal integer of
// 32 bits; empty for anything else ("12abc", "1.5", "2147483648", "-").
std::optional<std::int32_t> parse_integer(std::string_view token);
