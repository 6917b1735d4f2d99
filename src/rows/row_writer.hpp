// The bytes of the table: one "tone<TAB>altitude<CR LF>" line per row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "rows/decimal_column.hpp"
#include "rows/row_plan.hpp"
#include "table_file/table_file.hpp"
#include "text/failure.hpp"

// Formats the rows of a plan in order, as many at a time as fit in a block.
class RowFormatter {
public:
    // The room a block must have beyond the rows put in it.
    static constexpr std::size_t slack = 2 * DecimalColumn::copied + 3;

    explicit RowFormatter(const RowPlan& plan);

    // Formats rows into [out, end) and returns the end of what it wrote.
    char* format(char* out, const char* end);

    [[nodiscard]] bool done() const { return remaining_ == 0; }
    [[nodiscard]] std::int64_t remaining() const { return remaining_; }

private:
    DecimalColumn tone_;
    DecimalColumn altitude_;
    std::int64_t remaining_;
};

// The exact size of the table in bytes, counted without visiting the rows.
std::int64_t table_size(const RowPlan& plan);

// Writes every row of the plan to the table in large blocks, which a thread
// of their own writes while the next are made. A long table shows how far it
// has come on `progress`, if that is a terminal, and erases the line before
// returning.
Status write_rows(TableFile& table, const RowPlan& plan, std::FILE* progress);
