#include "standard_streams.hpp"

#include <io.h>
#include <windows.h>

void take_standard_streams()
{
    // Nothing to do: the table is written through a handle of its own, never
    // through a descriptor of the C library, and a missing standard stream is
    // met where it is used, as one whose writes and reads fail.
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
