#include "table_file/table_file.hpp"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <vector>

#include "system/handle_windows.hpp"
#include "table_file/random_name.hpp"
#include "table_file/replaced_table_windows.hpp"
#include "text/text_conversion.hpp"

namespace {

Failure failed(const char* doing, const std::string& label, DWORD error)
{
    return {std::string(doing) + " " + label, windows_reason(error)};
}

// The name as the system's wide calls take it: answers are kept as UTF-8.
// Empty if it is not valid UTF-8.
std::wstring widen(const std::string& name)
{
    return is_valid_in(name, utf8_code_page) ? to_wide(name) : std::wstring();
}

// A name beside the table, as long as the table's own (or 17 characters, for
// 64 random bits, where that is shorter), so that the system refuses a name
// too long for it when the temporary file is made and not only at the final
// rename.
std::wstring temporary_name(const std::wstring& target, std::uint64_t unique)
{
    const auto separator = target.find_last_of(L"\\/");
    const std::size_t start = separator == std::wstring::npos ? 0 : separator + 1;
    wchar_t digits[32];
    (void)std::swprintf(digits, 32, L".%016llx", static_cast<unsigned long long>(unique));
    std::wstring name = digits;
    // All 64 bits, where the table's name is shorter (it has 9 characters at least: "x_tab.txt").
    name.resize(std::max(target.size() - start, name.size()), L'~');
    return target.substr(0, start) + name;
}

// Marks the file to be removed when its last handle closes, however the process ends, or clears the mark.
bool mark_for_deletion(HANDLE file, bool deleted)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Renames the open file over the file at `name`, a path of the system's own layer.
bool rename_over(HANDLE file, const std::wstring& name)
{
    const std::size_t bytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + bytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(rename->FileName, name.data(), bytes);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

// The path made absolute and normal, as any other program has it (forward
// slashes, "." and "..", trailing dots and blanks), behind `prefix`, which
// lifts the limit on its length: "\\?\" for the wide calls, "\??\" for the
// system's own layer. Empty if the system cannot make it whole.
std::wstring prefixed_path(const std::wstring& path, std::wstring_view prefix)
{
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (length == 0 || written >= length) {
        return {};
    }
    full.resize(written);
    if (full.starts_with(L"\\\\")) {
        full.replace(0, 1, L"UNC");  // \\server\share is \\?\UNC\server\share
    }
    return std::wstring(prefix) + full;
}

// The old table, looked at once and held while it is: the link itself where
// it is one, as the rename replaces it; opened for deletion, which the final
// rename needs, so that a program that holds it open without letting others
// delete it (as Excel holds a workbook) is found now rather than after the
// last row; and for its security, where the process may read it.
Handle open_old_table(const std::wstring& target)
{
    const auto open = [&](DWORD access) {
        return Handle(::CreateFileW(target.c_str(), access | DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    };
    Handle table = open(READ_CONTROL);
    // One may replace a table, through its folder, without reading its security.
    return table || ::GetLastError() != ERROR_ACCESS_DENIED ? std::move(table) : open(0);
}

// A folder that is not there, named: the first of them from c:\images down.
Status name_missing_folder(const TablePath& table, DWORD error)
{
    auto failure = table.missing_folder([](const Place& folder) {
        const std::wstring path = prefixed_path(widen(folder.path), L"\\\\?\\");
        return !path.empty() && ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
               (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND);
    });
    return failure ? *failure : failed("cannot create", table.label, error);
}

}  // namespace

// The handle is all that Windows needs: the file was marked for deletion as
// it was made, so that the system removes it when the handle closes, however
// the process ends; the mark is cleared only just before the rename. Beside
// it, what an old table keeps, given to the file before the rename.
struct TableFile::Platform {
    Handle folder;
    Handle file;
    std::optional<OldTable> old;
};

void TableFile::Forget::operator()(Platform* platform) const
{
    delete platform;
}

Status TableFile::open(const TablePath& table)
{
    table_ = table;
    const std::wstring wide = widen(table.path);
    if (wide.empty()) {
        return failed("cannot create", label(), ERROR_NO_UNICODE_TRANSLATION);
    }
    const std::wstring target = prefixed_path(wide, L"\\\\?\\");
    if (target.empty()) {
        return failed("cannot create", label(), ::GetLastError());
    }
    // The folder is held first, and until the end, shared for reading and
    // writing but not for deletion: no one can rename or remove it, nor swap
    // another in its place, between the looks at the table and its rename.
    const std::wstring folder_path = target.substr(0, target.find_last_of(L"\\/"));
    Handle folder(::CreateFileW(folder_path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? name_missing_folder(table, error)
                                                                              : failed("cannot create", label(), error);
    }
    std::optional<OldTable> old;
    if (const Handle held = open_old_table(target)) {
        BY_HANDLE_FILE_INFORMATION found{};
        if (::GetFileInformationByHandle(held.get(), &found) == 0) {
            return failed("cannot replace", label(), ::GetLastError());
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return Failure{"cannot create " + label(), "a folder has that name"};
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return failed("cannot create", label(), ERROR_ACCESS_DENIED);
        }
        old.emplace();
        old->attributes = found.dwFileAttributes;
        old->created = found.ftCreationTime;
        if (const DWORD error = read_old_security(held.get(), *old)) {
            return failed("cannot replace", label(), error);
        }
    } else if (const DWORD error = ::GetLastError(); error == ERROR_SHARING_VIOLATION) {
        return Failure{"cannot replace " + label(), "it is open in another program: " + windows_reason(error)};
    } else if (error == ERROR_PATH_NOT_FOUND) {
        return name_missing_folder(table, error);
    } else if (error != ERROR_FILE_NOT_FOUND) {
        // Denied: there is a table, which this user may not replace.
        return failed(error == ERROR_ACCESS_DENIED ? "cannot replace" : "cannot create", label(), error);
    }
    auto platform = std::unique_ptr<Platform, Forget>(new Platform{std::move(folder), Handle(), std::move(old)});

    // The old table's security is set through the same handle, where the system grants the rights for it.
    constexpr DWORD security_rights = WRITE_DAC | WRITE_OWNER;
    DWORD access = GENERIC_WRITE | DELETE | (platform->old && platform->old->security ? security_rights : 0);
    const auto make = [&](std::uint64_t bits) -> DWORD {
        const std::wstring temporary = temporary_name(target, bits);
        const auto create = [&] {
            return ::CreateFileW(temporary.c_str(), access, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        };
        Handle file(create());
        if (!file && ::GetLastError() == ERROR_ACCESS_DENIED && (access & security_rights) != 0) {
            access &= ~security_rights;  // the table is written, keeping only what the process may set
            file = Handle(create());
        }
        if (!file) {
            return ::GetLastError();
        }
        if (!mark_for_deletion(file.get(), true)) {
            const DWORD error = ::GetLastError();
            (void)file.close();
            ::DeleteFileW(temporary.c_str());
            return error;
        }
        platform->file = std::move(file);
        return ERROR_SUCCESS;
    };
    if (const DWORD error = make_with_random_name(make, DWORD{ERROR_FILE_EXISTS}, DWORD{ERROR_RETRY})) {
        return failed("cannot create", label(), error);
    }
    platform_ = std::move(platform);
    return {};
}

Status TableFile::reserve(std::int64_t bytes)
{
    planned_ = bytes;
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = bytes;
    if (::SetFileInformationByHandle(platform_->file.get(), FileAllocationInfo, &allocation, sizeof allocation) == 0) {
        // Where the file system cannot reserve, the rows are written all the same.
        if (const DWORD error = ::GetLastError(); !not_supported(error)) {
            return failed("cannot write", label(), error);
        }
    }
    return {};
}

Status TableFile::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        constexpr std::size_t largest = std::size_t{1} << 30;
        const auto size = static_cast<DWORD>(bytes.size() < largest ? bytes.size() : largest);
        DWORD written = 0;
        if (::WriteFile(platform_->file.get(), bytes.data(), size, &written, nullptr) == 0) {
            return failed("cannot write", label(), ::GetLastError());
        }
        bytes.remove_prefix(written);
        written_ += written;
    }
    return {};
}

Status TableFile::commit()
{
    if (auto done = check_size(); !done) {
        return done;
    }
    const HANDLE file = platform_->file.get();
    if (platform_->old) {
        if (const DWORD error = keep_old_table(file, *platform_->old)) {
            return failed("cannot write", label(), error);
        }
    }
    if (::FlushFileBuffers(file) == 0) {
        return failed("cannot write", label(), ::GetLastError());
    }
    // Only between clearing the mark and the rename can a killed process leave the file behind.
    if (!mark_for_deletion(file, false)) {
        return failed("cannot replace", label(), ::GetLastError());
    }
    if (!rename_over(file, prefixed_path(widen(table_.path), L"\\??\\"))) {
        const DWORD error = ::GetLastError();
        (void)mark_for_deletion(file, true);
        return failed("cannot replace", label(), error);
    }
    Handle renamed = std::move(platform_->file);
    discard();
    if (const DWORD error = renamed.close()) {
        return Failure{"cannot close " + label(),
                       "the table is in place but may not survive a power cut: " + windows_reason(error)};
    }
    return {};
}
