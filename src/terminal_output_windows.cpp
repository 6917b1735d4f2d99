#include "terminal_output.hpp"

#include <io.h>
#include <windows.h>

#include <cerrno>

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
    const int descriptor = ::_fileno(stream);
    if (descriptor < 0) {
        return 0;
    }
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));  // NOLINT(performance-no-int-to-ptr)
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (handle == INVALID_HANDLE_VALUE || ::GetConsoleScreenBufferInfo(handle, &screen) == 0) {
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
