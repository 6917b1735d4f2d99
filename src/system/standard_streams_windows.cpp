#include "system/standard_streams.hpp"

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string_view>

#include "system/handle_windows.hpp"
#include "system/signal_registry.hpp"

namespace {

// Ctrl-C, Ctrl-Break or a closed window: the progress line goes as it goes at
// the end of a run (blanks, which every console understands), and the run
// ends at once, with 130 on every host, as a shell tells an interrupted run.
// The system's own ending would give 0 under Wine, and on Windows a negative
// status that "if errorlevel 1" reads as success. A temporary file is then
// marked for deletion, or the table already.
BOOL WINAPI on_control_event(DWORD)
{
    if (const LineToErase line = line_to_erase(); line.terminal >= 0) {
        (void)::_write(line.terminal, line.bytes, static_cast<unsigned>(line.size));
    }
    ::AcquireSRWLockExclusive(&uninterrupted);
    (void)::TerminateProcess(::GetCurrentProcess(), 130);
    return TRUE;
}

}  // namespace

void take_standard_streams()
{
    // The table is written through a handle of its own, never through a
    // descriptor of the C library, and a missing standard stream is met where
    // it is used, as one whose writes and reads fail.
    (void)::SetConsoleCtrlHandler(on_control_event, TRUE);
}

void hold_own_window()
{
    DWORD processes[2];
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    // A shell shares its console with the programs it starts.
    if (::GetConsoleProcessList(processes, 2) != 1 || ::GetConsoleMode(in, &mode) == 0 ||
        ::GetConsoleMode(out, &mode) == 0) {
        return;
    }
    constexpr std::wstring_view asking = L"\n\n\tPress Enter to close this window.";
    DWORD written = 0;
    (void)::WriteConsoleW(out, asking.data(), static_cast<DWORD>(asking.size()), &written, nullptr);
    // What was typed ahead of the failure does not close it.
    (void)::FlushConsoleInputBuffer(in);
    wchar_t typed = 0;
    DWORD got = 0;
    while (::ReadConsoleW(in, &typed, 1, &got, nullptr) != 0 && got == 1 && typed != L'\r' && typed != L'\n' &&
           typed != L'\x1a') {
    }
}
