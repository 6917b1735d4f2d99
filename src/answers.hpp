// The user's answers: one stream of words separated by white space, whether
// typed one per line or several ahead on one line.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

// Skips white space, then takes the characters up to the next white space.
// Empty at the end of input (or when input cannot be read).
std::optional<std::string> read_word(std::istream& in);

// The value of a whole token that is an optionally signed decimal integer of
// 32 bits; empty for anything else ("12abc", "1.5", "2147483648", "-").
std::optional<std::int32_t> parse_integer(std::string_view token);
