// The Windows console behind a C stream, where there is one.
#pragma once

#include <io.h>
#include <windows.h>

#include <cstdio>

// The console handle that `stream` reads or writes, or null where it is none.
inline HANDLE console_of(std::FILE* stream)
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
