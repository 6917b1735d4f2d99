// Where a table goes: the Windows name the program composes and shows, and
// the path it stands for on this system.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/failure.hpp"

// "c:\images\" + folder + "\" + table + "_tab.txt", the answers as read.
std::string compose_table_name(std::string_view folder, std::string_view table);

// The composed name as this system opens it. On Windows it is used as it is.
// Elsewhere the drive "c:" stands for `drive_root` and every backslash for "/".
std::string local_table_path(std::string_view composed, std::string_view drive_root);

// Why the system would take an answer for something else than a name (a
// drive, a stream, a wildcard), said for a message ("holds ':', which ...");
// empty where it takes it as a name.
std::string refused_in_names(std::string_view answer);

// A name as messages show it (the composed name, and the path tried where
// that is another), and as the system opens it.
struct Place {
    std::string label;
    std::string path;
};

struct TablePath {
    std::string label;
    std::string path;
    std::string composed;  // the name as composed, before it is made a path of this system
    std::string drive_root;

    // The folders from c:\images down to the table's own; the last of them, the table's own.
    [[nodiscard]] std::vector<Place> folders() const;
    [[nodiscard]] Place folder() const;

    // The failure that names the first of the folders that `is_missing` finds not there; none where none is.
    template <class IsMissing>
    [[nodiscard]] std::optional<Failure> missing_folder(IsMissing is_missing) const
    {
        for (const Place& folder : folders()) {
            if (is_missing(folder)) {
                return Failure{"cannot create " + label, "the folder " + folder.label + " does not exist"};
            }
        }
        return std::nullopt;
    }
};

// The table of these answers, or a failure where the system could not take
// its name whole: a NUL character would cut it short, and Windows keeps some
// characters for itself.
Outcome<TablePath> table_path(std::string_view folder, std::string_view table, std::string_view drive_root);
