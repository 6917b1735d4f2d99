// The bytes of the table: one "tone<TAB>altitude<CR LF>" line per row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "failure.hpp"
#include "row_plan.hpp"
#include "table_file.hpp"

// The longest line: two values of 11 characters ("-2147483648"), a tab, CR LF.
inline constexpr std::size_t longest_row = 11 + 1 + 11 + 2;

// Writes one line at `out` and returns the end of what it wrote.
char* format_row(char* out, std::int32_t tone, std::int32_t altitude);

// Writes every row of the plan to the table, in large blocks.
Status write_rows(TableFile& table, const RowPlan& plan);
