// A file's access list as Windows writes it down (SDDL), read and set by name.
#pragma once

#include <filesystem>
#include <string>

// The DACL of `file`, such as "D:P(A;;FA;;;SY)(A;;FR;;;WD)".
std::wstring access_list(const std::filesystem::path& file);

// Gives `file` the DACL written as `sddl`.
void set_access_list(const std::filesystem::path& file, const std::wstring& sddl);
