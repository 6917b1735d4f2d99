#include "text/user_text.hpp"

#include <windows.h>

#include <new>

#include "text/console_handle_windows.hpp"
#include "text/text_conversion.hpp"

std::string answer_text(std::string_view bytes, UserText& user)
{
    // Messages on a pipe or file are then written in UTF-8 too.
    if (is_utf8_beyond_ascii(bytes)) {
        user.utf8 = true;
    }
    return utf8_from_answer_bytes(bytes, ::GetACP());
}

void write_message(std::FILE* stream, std::string_view line, const UserText& user)
{
    // Nothing is left to tell the user if the message stream itself fails.
    try {
        if (const HANDLE console = console_of(stream)) {
            (void)std::fflush(stream);
            const std::wstring characters = to_wide(line);
            DWORD written = 0;
            (void)::WriteConsoleW(console, characters.data(), static_cast<DWORD>(characters.size()), &written, nullptr);
            return;
        }
        if (!user.utf8) {
            const std::string bytes = from_wide(to_wide(line), ::GetACP());
            (void)std::fwrite(bytes.data(), 1, bytes.size(), stream);
            return;
        }
    } catch (const std::bad_alloc&) {
        // No memory to convert it: the bytes as they are still say more than nothing.
    }
    (void)std::fwrite(line.data(), 1, line.size(), stream);
}
