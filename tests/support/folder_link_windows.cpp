#include "folder_link_windows.hpp"

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace {

using UnixName = char*(CDECL*)(const wchar_t*);
// Wine's own call that names a path as Unix does; none where no Wine runs the tests.
const auto unix_name = reinterpret_cast<UnixName>(
    reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));

// The path as Unix names it, quoted.
std::wstring unix(const fs::path& path)
{
    char* name = unix_name(path.c_str());
    std::wstring quoted = L"\"" + fs::path(name).wstring() + L"\"";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return quoted;
}

// Runs a Unix tool, which Wine starts as any program but with no handle to
// wait on: what it does is waited for instead, 5 s at most. False if not done.
bool run_unix(std::wstring command, const std::function<bool()>& done)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, command.insert(0, L"Z:\\bin\\").data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process) == 0) {
        return false;
    }
    for (int tries = 0; tries < 500 && !done(); ++tries) {
        ::Sleep(10);
    }
    return done();
}

}  // namespace

bool FolderLink::can_be_made()
{
    return unix_name != nullptr;
}

FolderLink::FolderLink(fs::path link) : link_(std::move(link)) {}

FolderLink::~FolderLink()
{
    std::error_code gone;
    (void)run_unix(L"rm -f " + unix(link_), [&] { return !fs::exists(link_, gone); });
}

bool FolderLink::point_to(const fs::path& target) const
{
    std::error_code unknown;
    return run_unix(L"ln -sfn " + unix(target) + L" " + unix(link_),
                    [&] { return fs::equivalent(link_, target, unknown); });
}

Elsewhere::Elsewhere(const char* name)
    : path(fs::temp_directory_path() / (name + std::to_string(::GetCurrentProcessId())))
{
    fs::create_directories(path / "maps");
}

Elsewhere::~Elsewhere()
{
    fs::remove_all(path);
}
