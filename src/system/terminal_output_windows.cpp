#include "system/terminal_output.hpp"

#include <windows.h>

#include <cerrno>

#include "text/console_handle_windows.hpp"

int write_output(std::FILE* stream, std::string_view text)
{
    // The C library's streams continue a partial write themselves; no signal interrupts one here.
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() || std::fflush(stream) != 0) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

int terminal_columns(std::FILE* stream)
{
    const HANDLE console = console_of(stream);
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (console == nullptr || ::GetConsoleScreenBufferInfo(console, &screen) == 0) {
        return 0;
    }
    return screen.srWindow.Right - screen.srWindow.Left + 1;
}

bool in_foreground(std::FILE*)
{
    return true;  // a console has no jobs
}

bool terminal_takes_escapes()
{
    return false;
}
