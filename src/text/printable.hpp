// Answers as messages may quote them: a name or a token goes to the
// terminal, which must not take its bytes for commands.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `text` with control characters shown as escapes (\t, \n, \r, \0, \033,
// \177...) and bytes that are not UTF-8, or that encode a control
// character, as \xNN. Past `longest` characters it is cut, at a character's
// boundary, and "..." follows.
std::string printable(std::string_view text, std::size_t longest = std::string_view::npos);
