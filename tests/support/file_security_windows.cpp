#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <stdexcept>

#include "file_security_windows.hpp"

namespace {

struct FreeLocal {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

}  // namespace

std::wstring access_list(const std::filesystem::path& file)
{
    PSECURITY_DESCRIPTOR found = nullptr;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                nullptr, &found) != ERROR_SUCCESS) {
        throw std::runtime_error("cannot read the access list of " + file.string());
    }
    const std::unique_ptr<void, FreeLocal> security(found);
    LPWSTR text = nullptr;
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(found, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                               nullptr) == 0) {
        throw std::runtime_error("cannot write down the access list of " + file.string());
    }
    const std::unique_ptr<void, FreeLocal> written(text);
    return text;
}

void set_access_list(const std::filesystem::path& file, const std::wstring& sddl)
{
    PSECURITY_DESCRIPTOR made = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &made, nullptr) == 0) {
        throw std::runtime_error("not an access list");
    }
    const std::unique_ptr<void, FreeLocal> security(made);
    if (::SetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, made) == 0) {
        throw std::runtime_error("cannot set the access list of " + file.string());
    }
}
