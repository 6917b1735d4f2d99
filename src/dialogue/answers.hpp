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

// Nor is white space read without end: no answer file holds a mebibyte of it between two words.
inline constexpr std::size_t longest_blank = std::size_t{1} << 20;

// Skips white space, then takes the characters up to the next white space,
// but no more than `longest` + 1 of them: a word that long is too long, and
// the rest of it is left unread. Nothing at the end of input (or when input
// cannot be read), and an empty word once `most_blanks` characters of white
// space have gone by without one.
std::optional<std::string> read_word(std::istream& in, std::size_t longest, std::size_t most_blanks = longest_blank);

// The value of a whole token that is an optionally signed decimal integer of
// 32 bits; empty for anything else ("12abc", "1.5", "2147483648", "-").
std::optional<std::int32_t> parse_integer(std::string_view token);
