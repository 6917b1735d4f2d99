#include "table_path.hpp"

#include <algorithm>

#include "printable.hpp"

namespace {

constexpr std::string_view drive = "c:";
constexpr std::string_view suffix = "_tab.txt";

// The name, and the path where it is another, made safe to show.
std::string label_of(const std::string& composed, const std::string& local)
{
    return local == composed ? printable(composed) : printable(composed) + " (" + printable(local) + ")";
}

}  // namespace

std::string compose_table_name(std::string_view folder, std::string_view table)
{
    std::string name = "c:\\images\\";
    name.append(folder).append("\\").append(table).append(suffix);
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

Outcome<TablePath> table_path(std::string_view folder, std::string_view table, std::string_view drive_root)
{
    const std::string composed = compose_table_name(folder, table);
    if (composed.find('\0') != std::string::npos) {
        return Failure{"cannot create the table", "its name holds a NUL character"};
    }
    const std::string local = local_table_path(composed, drive_root);
    // All before the separator that precedes the table's name, which may hold separators of its own.
    const std::size_t table_part = 1 + table.size() + suffix.size();
    const std::string composed_folder = composed.substr(0, composed.size() - table_part);
    const std::string local_folder = local.substr(0, local.size() - table_part);
    return TablePath{label_of(composed, local), label_of(composed_folder, local_folder), local};
}
