#include "table_path.hpp"

#include <algorithm>

namespace {

constexpr std::string_view drive = "c:";

}  // namespace

std::string compose_table_name(std::string_view folder, std::string_view table)
{
    std::string name = "c:\\images\\";
    name.append(folder).append("\\").append(table).append("_tab.txt");
    return name;
}

std::string local_table_path(std::string_view composed, std::string_view drive_root)
{
#ifdef _WIN32
    (void)drive_root;
    return std::string(composed);
#else
    if (composed.starts_with(drive)) {
        composed.remove_prefix(drive.size());
    }
    std::string path(drive_root);
    path.append(composed);
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(drive_root.size()), path.end(), '\\', '/');
    return path;
#endif
}
