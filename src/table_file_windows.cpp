#include "table_file.hpp"

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <optional>

namespace {

// The temporary file that the console handler must remove, if any.
std::atomic<const wchar_t*> pending_removal{nullptr};
static_assert(std::atomic<const wchar_t*>::is_always_lock_free, "read from the console handler's thread");

// Ctrl-C, Ctrl-Break and a closed console end the run: the temporary file goes
// first. It was opened for shared deletion, so it can go while still open.
BOOL WINAPI remove_temporary(DWORD /*event*/)
{
    if (const wchar_t* path = pending_removal.load()) {
        ::DeleteFileW(path);
    }
    return FALSE;  // and the default handler ends the process
}

// The system's own wording for an error, without its final period and line end.
std::string reason(DWORD error)
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

Failure failed(const char* doing, const std::string& label, DWORD error)
{
    return {std::string(doing) + " " + label, reason(error)};
}

// The name as the system's wide calls take it, read in the ANSI code page
// as the narrow file calls would. Empty if it is not valid there.
std::wstring widen(const std::string& name)
{
    const int size = static_cast<int>(name.size());
    const int length = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (length == 0 ||
        ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), size, wide.data(), length) != length) {
        return {};
    }
    return wide;
}

// A name beside the table, exactly as long as the table's own, so that the
// system refuses a name too long for it when the temporary file is made and
// not only at the final rename.
std::wstring temporary_name(const std::wstring& target, unsigned long long unique)
{
    const auto separator = target.find_last_of(L"\\/");
    const std::size_t start = separator == std::wstring::npos ? 0 : separator + 1;
    wchar_t digits[32];
    (void)std::swprintf(digits, 32, L".%llx", unique);
    std::wstring name = digits;
    name.resize(target.size() - start, L'~');  // a table's name has 9 characters at least: "x_tab.txt"
    return target.substr(0, start) + name;
}

HANDLE handle_of(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr): a HANDLE kept as a number
}

}  // namespace

Status TableFile::open(std::string label, const std::string& path)
{
    label_ = std::move(label);
    target_ = path;
    const std::wstring target = widen(path);
    if (target.empty()) {
        return failed("cannot create", label_, ERROR_NO_UNICODE_TRANSLATION);
    }
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return Failure{"cannot create " + label_, "a folder has that name"};
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return failed("cannot create", label_, ERROR_ACCESS_DENIED);
        }
    } else if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND) {
        return failed("cannot create", label_, error);
    }

    static const bool handler_installed = ::SetConsoleCtrlHandler(remove_temporary, TRUE) != 0;
    (void)handler_installed;
    // Process number and clock make the name; another is tried if it is taken.
    const unsigned long long first = (::GetTickCount64() << 16 ^ ::GetCurrentProcessId()) & 0xFFFFFFFFULL;
    constexpr unsigned long long attempts = 100;
    for (unsigned long long attempt = first; attempt < first + attempts; ++attempt) {
        temporary_ = temporary_name(target, attempt);
        const HANDLE file = ::CreateFileW(temporary_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(file);
            pending_removal.store(temporary_.c_str());
            return std::nullopt;
        }
        if (const DWORD error = ::GetLastError(); error != ERROR_FILE_EXISTS) {
            temporary_.clear();
            return failed("cannot create", label_, error);
        }
    }
    temporary_.clear();
    return failed("cannot create", label_, ERROR_FILE_EXISTS);
}

Status TableFile::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        constexpr std::size_t largest = std::size_t{1} << 30;
        const auto size = static_cast<DWORD>(bytes.size() < largest ? bytes.size() : largest);
        DWORD written = 0;
        if (::WriteFile(handle_of(handle_), bytes.data(), size, &written, nullptr) == 0) {
            return failed("cannot write", label_, ::GetLastError());
        }
        bytes.remove_prefix(written);
    }
    return std::nullopt;
}

Status TableFile::commit()
{
    const HANDLE file = handle_of(handle_);
    if (::FlushFileBuffers(file) == 0) {
        return failed("cannot write", label_, ::GetLastError());
    }
    handle_ = -1;
    if (::CloseHandle(file) == 0) {
        return failed("cannot write", label_, ::GetLastError());
    }
    if (::MoveFileExW(temporary_.c_str(), widen(target_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
        0) {
        return failed("cannot replace", label_, ::GetLastError());
    }
    pending_removal.store(nullptr);
    temporary_.clear();
    return std::nullopt;
}

void TableFile::discard()
{
    if (handle_ != -1) {
        ::CloseHandle(handle_of(handle_));
        handle_ = -1;
    }
    if (!temporary_.empty()) {
        ::DeleteFileW(temporary_.c_str());
        pending_removal.store(nullptr);
        temporary_.clear();
    }
}
