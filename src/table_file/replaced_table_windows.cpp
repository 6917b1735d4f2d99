#include "table_file/replaced_table_windows.hpp"

// After windows.h, which it needs.
#include <aclapi.h>

namespace {

// The attributes that a user or a program gives a file and that a new one
// takes over: read-only is not among them, as a read-only table is refused.
constexpr DWORD kept_attributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY;

// A failure that means the process may not.
bool not_permitted(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD || error == ERROR_INVALID_OWNER;
}

// The error, or 0 where it means only that the disk keeps no such thing or the process may not.
DWORD passed_over(DWORD error)
{
    return not_supported(error) || not_permitted(error) ? ERROR_SUCCESS : error;
}

}  // namespace

// A failure that means the disk keeps no such thing.
bool not_supported(DWORD error)
{
    return error == ERROR_NOT_SUPPORTED || error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_FUNCTION;
}

// The security of the table held as `table` into `old`: none where the
// handle may not read it. Returns 0, or the error of what could not be read.
DWORD read_old_security(HANDLE table, OldTable& old)
{
    PSECURITY_DESCRIPTOR security = nullptr;
    const DWORD error = ::GetSecurityInfo(
        table, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &old.owner, &old.group, &old.dacl, nullptr, &security);
    if (error != ERROR_SUCCESS) {
        return passed_over(error);  // without `security`, the owner, group and DACL are not looked at
    }
    old.security.reset(security);
    DWORD revision = 0;
    return ::GetSecurityDescriptorControl(security, &old.control, &revision) != 0 ? ERROR_SUCCESS : ::GetLastError();
}

// Gives the new table `file` what the old one had, where the process may and
// the disk keeps it. Returns 0, or the error of any other failure.
DWORD keep_old_table(HANDLE file, const OldTable& old)
{
    FILE_BASIC_INFO basic{};  // the times left at 0 are not changed
    basic.CreationTime.LowPart = old.created.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(old.created.dwHighDateTime);
    basic.FileAttributes = (old.attributes & kept_attributes) | FILE_ATTRIBUTE_ARCHIVE;  // changed, as any written file
    if (::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) == 0 &&
        !not_supported(::GetLastError())) {
        return ::GetLastError();
    }
    if (!old.security) {
        return ERROR_SUCCESS;
    }
    // The owner first, as the folder's inherited entries for the owner follow it.
    if (old.owner != nullptr && old.group != nullptr) {
        DWORD error = ::SetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                                        old.owner, old.group, nullptr, nullptr);
        if (not_permitted(error)) {  // another user's table: its group at least
            error = ::SetSecurityInfo(file, SE_FILE_OBJECT, GROUP_SECURITY_INFORMATION, nullptr, old.group, nullptr,
                                      nullptr);
        }
        if (passed_over(error) != ERROR_SUCCESS) {
            return error;
        }
    }
    if ((old.control & SE_DACL_PRESENT) != 0) {
        // Protected from the folder's entries, or taking them, as the old table was.
        const SECURITY_INFORMATION inheritance = (old.control & SE_DACL_PROTECTED) != 0
                                                     ? PROTECTED_DACL_SECURITY_INFORMATION
                                                     : UNPROTECTED_DACL_SECURITY_INFORMATION;
        return passed_over(::SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr,
                                             nullptr, old.dacl, nullptr));
    }
    return ERROR_SUCCESS;
}
