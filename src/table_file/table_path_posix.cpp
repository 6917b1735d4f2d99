#include "table_file/table_path.hpp"

#include <algorithm>

std::string local_table_path(std::string_view composed, std::string_view drive_root)
{
    constexpr std::string_view drive = "c:";
    if (composed.starts_with(drive)) {
        composed.remove_prefix(drive.size());
    }
    std::string path(drive_root);
    path.append(composed);
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(drive_root.size()), path.end(), '\\', '/');
    return path;
}

std::string refused_in_names(std::string_view)
{
    return {};  // names are bytes: the system refuses what it must, with its own reason
}
