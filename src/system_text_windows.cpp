#include "system_text.hpp"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <streambuf>

#include "windows_text.hpp"

namespace {

// An answer came as UTF-8 (or from the console): messages on a pipe or file use it too.
bool utf8_answers = false;

int size_of(std::size_t length)
{
    return static_cast<int>(length);
}

// The console's characters as UTF-8 bytes, whatever its code page.
class ConsoleInput : public std::streambuf {
public:
    explicit ConsoleInput(HANDLE console) : console_(console) {}

protected:
    int_type underflow() override
    {
        while (gptr() == egptr()) {
            constexpr DWORD wanted = 4096;
            wchar_t characters[wanted + 1];
            DWORD got = 0;
            std::size_t kept = 0;
            if (pending_high_surrogate_ != 0) {
                characters[kept++] = pending_high_surrogate_;
                pending_high_surrogate_ = 0;
            }
            if (::ReadConsoleW(console_, characters + kept, wanted, &got, nullptr) == 0 || got == 0) {
                return traits_type::eof();
            }
            std::wstring_view text(characters, kept + got);
            // Ctrl-Z at the start of a line ends the input, as it does for any console program.
            if (const auto end = text.find(L'\x1a'); end != std::wstring_view::npos) {
                text = text.substr(0, end);
                ended_ = true;
            }
            // A character split between two reads waits for its other half.
            if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
                pending_high_surrogate_ = text.back();
                text.remove_suffix(1);
            }
            buffer_ = utf8_from_utf16(text);
            setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
            if (ended_ && buffer_.empty()) {
                return traits_type::eof();
            }
        }
        return traits_type::to_int_type(*gptr());
    }

private:
    HANDLE console_;
    std::string buffer_;
    wchar_t pending_high_surrogate_ = 0;
    bool ended_ = false;
};

HANDLE console_of(std::FILE* stream)
{
    const auto handle =
        reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));  // NOLINT(performance-no-int-to-ptr)
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

}  // namespace

std::istream& answer_stream()
{
    if (const HANDLE console = console_of(stdin)) {
        utf8_answers = true;
        static ConsoleInput characters(console);
        static std::istream stream(&characters);
        return stream;
    }
    return std::cin;
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
