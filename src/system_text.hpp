// Answers and messages in the text of the system: on Linux, names are bytes,
// used as typed; on Windows, the program keeps them as UTF-8 and hands them
// to the system as wide strings, whatever the console's code page.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "answer_input.hpp"

// Where the answers come from: standard input, read as characters where it is a Windows console.
AnswerInput& answer_input();

// An answer's bytes, as the program keeps them.
std::string answer_text(std::string_view bytes);

// Writes a message line to `stream` as the user reads it.
void write_message(std::FILE* stream, std::string_view line);
