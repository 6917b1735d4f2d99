// The user's text and the program's: on Linux, names are bytes, used as
// typed; on Windows, the program keeps them as UTF-8 and hands them to the
// system as wide strings, whatever the console's code page.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// What the answers have shown of the user's text, for the messages that
// follow: on Windows, whether it is UTF-8 (typed at a console, or answers
// in UTF-8 beyond ASCII). Elsewhere text is bytes, and this is not asked.
struct UserText {
    bool utf8 = false;
};

// An answer's bytes, as the program keeps them.
std::string answer_text(std::string_view bytes, UserText& user);

// Writes a message line to `stream` as the user reads it.
void write_message(std::FILE* stream, std::string_view line, const UserText& user);
