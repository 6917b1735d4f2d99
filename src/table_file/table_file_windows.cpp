#include "table_file/table_file.hpp"

#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

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

// A name for the file beside the table, as long as the table's own (or 17
// characters, for 64 random bits, where that is shorter), so that the system
// refuses a name too long for it when the file is made and not only at the
// final rename.
std::wstring temporary_name(const std::wstring& table, std::uint64_t unique)
{
    wchar_t digits[18];
    (void)std::swprintf(digits, 18, L".%016llx", static_cast<unsigned long long>(unique));
    // All 64 bits, where the table's name is shorter (it has 9 characters at least: "x_tab.txt").
    return digits + std::wstring(table.size() > 17 ? table.size() - 17 : 0, L'~');
}

// A call of the system's own layer, which alone takes a folder's handle for
// the place of a name. Every process has ntdll, and it has these calls.
template <typename Call>
Call* ntdll(const char* name)
{
    return reinterpret_cast<Call*>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name)));
}
const auto nt_create_file = ntdll<decltype(::NtCreateFile)>("NtCreateFile");
const auto nt_set_information_file = ntdll<decltype(::NtSetInformationFile)>("NtSetInformationFile");
// What the system's own layer answered, as the wide calls tell it: 0 for success.
const auto error_of = ntdll<decltype(::RtlNtStatusToDosError)>("RtlNtStatusToDosError");

// Opens `name` (of UNICODE_STRING_MAX_CHARS at most) in the folder held as
// `folder`, whatever the links above the folder now lead to, as CreateFileW
// opens a path (the error left as it leaves it): with the `wanted` rights
// too, where the process is granted them.
Handle open_in(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ACCESS_MASK wanted, ULONG share,
               ULONG disposition, ULONG options)
{
    const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    UNICODE_STRING unicode{bytes, bytes, const_cast<wchar_t*>(name.data())};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE file = INVALID_HANDLE_VALUE;
    ::SetLastError(error_of(nt_create_file(&file, access | wanted | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes,
                                           &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                                           options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0)));
    if (::GetLastError() == ERROR_ACCESS_DENIED && wanted != 0) {
        return open_in(folder, name, access, 0, share, disposition, options);
    }
    return ::GetLastError() == ERROR_SUCCESS ? Handle(file) : Handle();
}

// Marks the file to be removed when its last handle closes, however the process ends, or clears the mark.
bool mark_for_deletion(HANDLE file, bool deleted)
{
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleted)};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// The path made absolute and normal, as any other program has it (forward
// slashes, "." and "..", trailing dots and blanks), behind "\\?\", which
// lifts the limit on its length. Empty if the system cannot make it whole.
std::wstring prefixed_path(const std::wstring& path)
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
    return L"\\\\?\\" + full;
}

// Why the table's folder could not be held: a folder that is not there,
// named (the first of them from c:\images down), or else `error`.
Status name_missing_folder(const TablePath& table, DWORD error)
{
    auto failure = table.missing_folder([](const Place& folder) {
        const std::wstring path = prefixed_path(to_wide(folder.path));  // valid UTF-8, as the table's path is
        return !path.empty() && ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
               (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND);
    });
    return failure ? *failure : failed("cannot create", table.label, error);
}

}  // namespace

// The handle is all that Windows needs: the file was marked for deletion as
// it was made, so that the system removes it when the handle closes, however
// the process ends; the mark is cleared only just before the rename. Beside
// it, the folder held and the table's name in it, and what an old table
// keeps, given to the file before the rename.
struct TableFile::Platform {
    Handle folder;
    std::wstring name;
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
    // Answers are kept as UTF-8, and the system's wide calls take UTF-16.
    if (!is_valid_in(table.path, utf8_code_page)) {
        return failed("cannot create", label(), ERROR_NO_UNICODE_TRANSLATION);
    }
    // Its every name, the table's own among them, fits the system's own layer.
    const std::wstring target = prefixed_path(to_wide(table.path));
    if (target.empty() || target.size() > UNICODE_STRING_MAX_CHARS) {
        return failed("cannot create", label(), target.empty() ? ::GetLastError() : ERROR_FILENAME_EXCED_RANGE);
    }
    // The folder is held first, and until the end, shared for reading and
    // writing but not for deletion: no one can rename or remove it, nor swap
    // another in its place, between the looks at the table and its rename.
    // Every later step names the table or the file beside it in that folder.
    const std::size_t separator = target.find_last_of(L'\\');
    Handle folder(::CreateFileW(target.substr(0, separator).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                nullptr));
    if (!folder) {
        return name_missing_folder(table, ::GetLastError());
    }
    std::wstring name = target.substr(separator + 1);
    // The old table, looked at once and held while it is: the link itself
    // where it is one, as the rename replaces it; opened for deletion, which
    // the final rename needs, so that a program that holds it open without
    // letting others delete it (as Excel holds a workbook) is found now rather
    // than after the last row; and for its security, where the process may
    // read it (one may replace a table, through its folder, without that).
    std::optional<OldTable> old;
    if (const Handle held = open_in(folder.get(), name, DELETE | FILE_READ_ATTRIBUTES, READ_CONTROL,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                    FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT)) {
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
    } else if (error != ERROR_FILE_NOT_FOUND) {
        // Denied: there is a table, which this user may not replace.
        return failed(error == ERROR_ACCESS_DENIED ? "cannot replace" : "cannot create", label(), error);
    }
    auto platform =
        std::unique_ptr<Platform, Forget>(new Platform{std::move(folder), std::move(name), Handle(), std::move(old)});

    // The old table's security is set through the same handle, where the
    // system grants the rights for it; otherwise the table is written,
    // keeping only what the process may set.
    const DWORD security_rights = platform->old && platform->old->security ? WRITE_DAC | WRITE_OWNER : 0;
    const auto make = [&](std::uint64_t bits) -> DWORD {
        const std::wstring temporary = temporary_name(platform->name, bits);
        Handle file = open_in(platform->folder.get(), temporary, GENERIC_WRITE | DELETE, security_rights,
                              FILE_SHARE_DELETE, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
        if (!file) {
            return ::GetLastError();
        }
        if (!mark_for_deletion(file.get(), true)) {
            const DWORD error = ::GetLastError();  // and the file goes, by a handle that marks it as it closes
            (void)open_in(platform->folder.get(), temporary, DELETE, 0, FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                          FILE_DELETE_ON_CLOSE | FILE_NON_DIRECTORY_FILE);
            return error;
        }
        platform->file = std::move(file);
        return ERROR_SUCCESS;
    };
    // Ctrl-C waits while a file is made and not yet marked.
    ::AcquireSRWLockExclusive(&uninterrupted);
    const DWORD error = make_with_random_name(make, DWORD{ERROR_ALREADY_EXISTS}, DWORD{ERROR_RETRY});
    ::ReleaseSRWLockExclusive(&uninterrupted);
    if (error != ERROR_SUCCESS) {
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
    // Where the file system cannot reserve, the rows are written all the same.
    if (::SetFileInformationByHandle(platform_->file.get(), FileAllocationInfo, &allocation, sizeof allocation) == 0 &&
        !not_supported(::GetLastError())) {
        return failed("cannot write", label(), ::GetLastError());
    }
    return {};
}

Status TableFile::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        constexpr std::size_t largest = std::size_t{1} << 30;
        const auto size = static_cast<DWORD>(std::min(bytes.size(), largest));
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
    if (const DWORD error = platform_->old ? keep_old_table(file, *platform_->old) : ERROR_SUCCESS) {
        return failed("cannot write", label(), error);
    }
    if (::FlushFileBuffers(file) == 0) {
        return failed("cannot write", label(), ::GetLastError());
    }
    // Renamed over the table's name in the folder held, whatever the links
    // above the folder now lead to.
    const std::wstring& name = platform_->name;
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = platform_->folder.get();
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, name.data(), rename->FileNameLength);
    IO_STATUS_BLOCK io{};
    // Only between clearing the mark and the rename can a killed process
    // leave the file behind; Ctrl-C waits meanwhile, until the file is either
    // marked again or the table.
    ::AcquireSRWLockExclusive(&uninterrupted);
    const DWORD error = mark_for_deletion(file, false)
                            ? error_of(nt_set_information_file(file, &io, rename, static_cast<ULONG>(buffer.size()),
                                                               FileRenameInformation))
                            : ::GetLastError();
    if (error != ERROR_SUCCESS) {
        (void)mark_for_deletion(file, true);
    }
    ::ReleaseSRWLockExclusive(&uninterrupted);
    if (error != ERROR_SUCCESS) {
        return failed("cannot replace", label(), error);
    }
    Handle renamed = std::move(platform_->file);
    discard();
    if (const DWORD closing = renamed.close()) {
        return Failure{"cannot close " + label(),
                       "the table is in place but may not survive a power cut: " + windows_reason(closing)};
    }
    return {};
}
