// Conversions between the encodings a Windows program meets.
#pragma once

#include <string>
#include <string_view>

// The system's own wording for an error number, without its final period and line end.
std::string windows_reason(unsigned long error);

std::wstring utf16_from_utf8(std::string_view text);
std::string utf8_from_utf16(std::wstring_view text);

// Whether the bytes are valid UTF-8 and hold a character beyond ASCII.
bool is_utf8_beyond_ascii(std::string_view bytes);

// Piped or redirected answers: UTF-8 where they are, otherwise in `code_page`
// (the ANSI code page), as answer files saved before UTF-8 was read are.
// Bytes that are not valid there either stay as they are.
std::string utf8_from_answer_bytes(std::string_view bytes, unsigned code_page);

// UTF-8 text in `code_page`, with the system's replacement for what it cannot hold.
std::string code_page_from_utf8(std::string_view text, unsigned code_page);
