#include "dialogue/answer_input.hpp"

#include <windows.h>

#include "text/console_handle_windows.hpp"
#include "text/text_conversion.hpp"

namespace {

// The console's characters as UTF-8 bytes, whatever its code page. A
// character split between two reads waits in `pending_high_surrogate` for its other half.
std::size_t read_console(HANDLE console, wchar_t& pending_high_surrogate, char* buffer, std::size_t size,
                         std::string& error)
{
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
            return from_wide(text).copy(buffer, size);
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

}  // namespace

AnswerInput& answer_input(UserText& user)
{
    // Ctrl-Z ends the input, typed or in a file, as for any Windows program that reads text.
    if (const HANDLE console = console_of(stdin)) {
        user.utf8 = true;
        static AnswerInput characters(
            [console, pending_high_surrogate = wchar_t{0}](char* buffer, std::size_t size, std::string& error) mutable {
                return read_console(console, pending_high_surrogate, buffer, size, error);
            },
            true);
        return characters;
    }
    static AnswerInput bytes(read_redirected, true);
    return bytes;
}
