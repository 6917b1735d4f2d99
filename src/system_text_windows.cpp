#include "system_text.hpp"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "windows_text.hpp"

namespace {

// An answer came as UTF-8 (or from the console): messages on a pipe or file use it too.
bool utf8_answers = false;

int size_of(std::size_t length)
{
    return static_cast<int>(length);
}

// The console's characters as UTF-8 bytes, whatever its code page.
std::size_t read_console(HANDLE console, char* buffer, std::size_t size, std::string& error)
{
    // A character split between two reads waits for its other half.
    static wchar_t pending_high_surrogate = 0;
    // Each character takes at most three bytes of UTF-8; a pair of surrogates, four.
    std::wstring characters(size / 3, L'\0');
    for (;;) {
        std::size_t kept = 0;
        if (pending_high_surrogate != 0) {
            characters[kept++] = pending_high_surrogate;
            pending_high_surrogate = 0;
        }
        DWORD got = 0;
        if (::ReadConsoleW(console, characters.data() + kept, static_cast<DWORD>(characters.size() - kept), &got,
                           nullptr) == 0) {
            error = windows_reason(::GetLastError());
            return 0;
        }
        if (got == 0) {
            return 0;
        }
        std::wstring_view text(characters.data(), kept + got);
        if (text.back() >= 0xD800 && text.back() <= 0xDBFF) {
            pending_high_surrogate = text.back();
            text.remove_suffix(1);
        }
        if (!text.empty()) {
            const std::string bytes = utf8_from_utf16(text);
            std::memcpy(buffer, bytes.data(), bytes.size());
            return bytes.size();
        }
    }
}

std::size_t read_redirected(char* buffer, std::size_t size, std::string& error)
{
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        error = windows_reason(ERROR_INVALID_HANDLE);
        return 0;
    }
    DWORD got = 0;
    if (::ReadFile(input, buffer, static_cast<DWORD>(size), &got, nullptr) != 0) {
        return got;
    }
    // A pipe whose writer is gone has simply ended.
    if (const DWORD failure = ::GetLastError(); failure != ERROR_BROKEN_PIPE && failure != ERROR_HANDLE_EOF) {
        error = windows_reason(failure);
    }
    return 0;
}

HANDLE console_of(std::FILE* stream)
{
    // A stream without a descriptor, as when the program starts without one, is no console.
    const int descriptor = ::_fileno(stream);
    if (descriptor < 0) {
        return nullptr;
    }
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));  // NOLINT(performance-no-int-to-ptr)
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

}  // namespace

AnswerInput& answer_input()
{
    // Ctrl-Z ends the input, typed or in a file, as for any Windows program that reads text.
    if (const HANDLE console = console_of(stdin)) {
        utf8_answers = true;
        static AnswerInput characters(
            [console](char* buffer, std::size_t size, std::string& error) {
                return read_console(console, buffer, size, error);
            },
            true);
        return characters;
    }
    static AnswerInput bytes(read_redirected, true);
    return bytes;
}

std::string answer_text(std::string_view bytes)
{
    if (is_utf8_beyond_ascii(bytes)) {
        utf8_answers = true;
    }
    return utf8_from_answer_bytes(bytes, ::GetACP());
}

void write_message(std::FILE* stream, const std::string& line)
{
    // Nothing is left to tell the user if the message stream itself fails.
    if (const HANDLE console = console_of(stream)) {
        (void)std::fflush(stream);
        const std::wstring characters = utf16_from_utf8(line);
        DWORD written = 0;
        (void)::WriteConsoleW(console, characters.data(), static_cast<DWORD>(characters.size()), &written, nullptr);
        return;
    }
    const std::string bytes = utf8_answers ? line : code_page_from_utf8(line, ::GetACP());
    (void)std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

std::string windows_reason(unsigned long error)
{
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length != 0 ? std::string(text, length) : "error " + std::to_string(error);
    ::LocalFree(text);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

std::wstring utf16_from_utf8(std::string_view text)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size_of(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    (void)::MultiByteToWideChar(CP_UTF8, 0, text.data(), size_of(text.size()), wide.data(), length);
    return wide;
}

std::string utf8_from_utf16(std::wstring_view text)
{
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size_of(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    (void)::WideCharToMultiByte(CP_UTF8, 0, text.data(), size_of(text.size()), narrow.data(), length, nullptr, nullptr);
    return narrow;
}

bool is_utf8_beyond_ascii(std::string_view bytes)
{
    const bool beyond_ascii = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
    return beyond_ascii &&
           ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size_of(bytes.size()), nullptr, 0) != 0;
}

std::string utf8_from_answer_bytes(std::string_view bytes, unsigned code_page)
{
    if (is_utf8_beyond_ascii(bytes)) {
        return std::string(bytes);
    }
    const int length =
        ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size_of(bytes.size()), nullptr, 0);
    if (length == 0) {
        return std::string(bytes);
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    (void)::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size_of(bytes.size()), wide.data(),
                                length);
    return utf8_from_utf16(wide);
}

std::string code_page_from_utf8(std::string_view text, unsigned code_page)
{
    const std::wstring wide = utf16_from_utf8(text);
    const int length =
        ::WideCharToMultiByte(code_page, 0, wide.data(), size_of(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    (void)::WideCharToMultiByte(code_page, 0, wide.data(), size_of(wide.size()), narrow.data(), length, nullptr,
                                nullptr);
    return narrow;
}
