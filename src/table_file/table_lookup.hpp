// The table found from where its path starts, one name at a time, each
// looked at through the folder held before it, so that nothing is looked up
// by its path twice and what changes on the way is seen.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include "system/descriptor.hpp"
#include "table_file/table_path.hpp"
#include "text/failure.hpp"

struct FoundTable {
    Descriptor folder;                  // the folder that holds the table, held
    std::string name;                   // the table's, in that folder
    Descriptor held;                    // the table itself, where the system can hold it
    std::optional<struct stat> status;  // none: nothing there yet
    // Where a link at the table's name led elsewhere, the folder it led to,
    // as the walk reached it; empty otherwise.
    std::string linked_folder;
};

// Follows every link on the way as the system would, and checks that it
// did: beyond the system's own rules (such as fs.protected_symlinks), root
// follows no link of another user's, which could lead it into a file that
// user may not write. A folder missing from c:\images down is named.
Outcome<FoundTable> find_table(const TablePath& table);
