#include "table_file/table_path.hpp"

#include <utility>

#include "text/printable.hpp"

namespace {

constexpr std::string_view base = "c:\\images\\";
constexpr std::string_view suffix = "_tab.txt";

// The name, and the path where it is another, made safe to show.
std::string label_of(const std::string& composed, const std::string& local)
{
    return local == composed ? printable(composed) : printable(composed) + " (" + printable(local) + ")";
}

}  // namespace

std::string compose_table_name(std::string_view folder, std::string_view table)
{
    std::string name(base);
    name.append(folder).append("\\").append(table).append(suffix);
    return name;
}

Outcome<TablePath> table_path(std::string_view folder, std::string_view table, std::string_view drive_root)
{
    std::string composed = compose_table_name(folder, table);
    if (composed.find('\0') != std::string::npos) {
        return Failure{"cannot create the table", "its name holds a NUL character"};
    }
    std::string local = local_table_path(composed, drive_root);
    const std::string label = label_of(composed, local);
    for (const auto& [answer, kind] : {std::pair{folder, "folder"}, std::pair{table, "table"}}) {
        if (const std::string why = refused_in_names(answer); !why.empty()) {
            return Failure{"cannot create " + label, std::string("the ") + kind + " name " + why};
        }
    }
    return TablePath{label, std::move(local), std::move(composed), std::string(drive_root)};
}

namespace {

// The folder whose composed name is `name`, as messages show it and as the system opens it.
Place folder_place(const std::string& name, std::string_view drive_root)
{
    std::string path = local_table_path(name, drive_root);
    return {label_of(name, path), std::move(path)};
}

}  // namespace

std::vector<Place> TablePath::folders() const
{
    std::vector<Place> places;
    for (auto separator = base.size() - 1; separator != std::string::npos && separator < composed.size();
         separator = composed.find('\\', separator + 1)) {
        places.push_back(folder_place(composed.substr(0, separator), drive_root));
    }
    return places;
}

Place TablePath::folder() const
{
    return folder_place(composed.substr(0, composed.rfind('\\')), drive_root);
}
