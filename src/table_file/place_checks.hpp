// What the folder, the table and the disk allow, asked before any row is
// written, so that what would fail after the last row is refused at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "table_file/replaced_table.hpp"
#include "text/failure.hpp"

// Refuses, before any number is asked, what the folder `folder` (shown as
// `folder_label`) or the table `name` in it, the `old` one where there is
// one, held as `table`, will not let be done after the last row, in words
// that say what to change; `label` names the table.
Status check_place(const std::string& label, int folder, const std::string& folder_label, const char* name, int table,
                   const std::optional<OldTable>& old);

// EFBIG where a file of `bytes` bytes is past the process's limit, or past
// what the disk of `fd` holds.
int past_largest_file(int fd, std::int64_t bytes);

// Whether `bytes` fit the space free to this user on the disk of `fd`, with
// room to spare for the file system's own blocks, where the disk cannot
// reserve them. A disk that tells no size (a share may report none at all)
// is not taken for a full one.
bool fits_free_space(int fd, std::int64_t bytes);
