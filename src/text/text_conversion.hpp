// Conversions between the encodings a Windows program meets (Windows only). The program
// keeps every text as UTF-8; the system takes and gives UTF-16.
#pragma once

#include <string>
#include <string_view>

inline constexpr unsigned utf8_code_page = 65001;  // CP_UTF8

// Whether the bytes are valid text in `code_page`.
bool is_valid_in(std::string_view bytes, unsigned code_page);

// UTF-16 from text in `code_page`, with U+FFFD for what is not valid there.
std::wstring to_wide(std::string_view text, unsigned code_page = utf8_code_page);

// Text in `code_page` from UTF-16, with the code page's replacement for what it cannot hold.
std::string from_wide(std::wstring_view text, unsigned code_page = utf8_code_page);

// Whether the bytes are valid UTF-8 and hold a character beyond ASCII.
bool is_utf8_beyond_ascii(std::string_view bytes);

// Piped or redirected answers: UTF-8 where they are, otherwise in `code_page`
// (the ANSI code page), as answer files saved before UTF-8 was read are.
// Bytes that are not valid there either stay as they are.
std::string utf8_from_answer_bytes(std::string_view bytes, unsigned code_page);

// The system's own wording for an error number, in the user's language, as
// UTF-8, without its final period and line end.
std::string windows_reason(unsigned long error);
