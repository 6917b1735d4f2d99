#include "text/text_conversion.hpp"

#include <windows.h>

#include <algorithm>

namespace {

int size_of(std::size_t length)
{
    return static_cast<int>(length);
}

}  // namespace

bool is_valid_in(std::string_view bytes, unsigned code_page)
{
    return bytes.empty() ||
           ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size_of(bytes.size()), nullptr, 0) != 0;
}

std::wstring to_wide(std::string_view text, unsigned code_page)
{
    const int length = ::MultiByteToWideChar(code_page, 0, text.data(), size_of(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    (void)::MultiByteToWideChar(code_page, 0, text.data(), size_of(text.size()), wide.data(), length);
    return wide;
}

std::string from_wide(std::wstring_view text, unsigned code_page)
{
    const int length =
        ::WideCharToMultiByte(code_page, 0, text.data(), size_of(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    (void)::WideCharToMultiByte(code_page, 0, text.data(), size_of(text.size()), narrow.data(), length, nullptr,
                                nullptr);
    return narrow;
}

bool is_utf8_beyond_ascii(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; }) &&
           is_valid_in(bytes, utf8_code_page);
}

std::string utf8_from_answer_bytes(std::string_view bytes, unsigned code_page)
{
    if (is_utf8_beyond_ascii(bytes) || !is_valid_in(bytes, code_page)) {
        return std::string(bytes);
    }
    return from_wide(to_wide(bytes, code_page));
}

std::string windows_reason(unsigned long error)
{
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length != 0 ? std::wstring(text, length) : L"error " + std::to_wstring(error);
    ::LocalFree(text);
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.' || message.back() == L' ')) {
        message.pop_back();
    }
    return from_wide(message);
}
