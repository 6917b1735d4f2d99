// The table file, replaced whole or not at all.
//
// Rows go to a temporary file beside the table, which the system removes by
// itself if the run is killed, wherever it can (an unnamed file on Linux, a
// file marked for deletion on Windows). Only once every row is written and
// synced does it take the table's name, in one step; on any other ending,
// including the signals that end a run, it is removed and an older table
// stays as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "table_file/table_path.hpp"
#include "text/failure.hpp"

class TableFile {
public:
    ~TableFile() { discard(); }

    // Makes sure the table can be written, as far as can be known before a
    // row is, then creates the temporary file.
    Status open(const TablePath& table);

    // Makes sure that a table of exactly `bytes` bytes can fit, and reserves
    // its room where the file system can, so that a table that cannot fit is
    // refused before its first row.
    Status reserve(std::int64_t bytes);

    Status write(std::string_view bytes);

    // Checks that exactly the reserved bytes were written, syncs them to disk
    // and puts them in place of the table.
    Status commit();

    // Removes the temporary file; the table is left as it was.
    void discard() { platform_.reset(); }

    // How messages name the table; empty until it is opened.
    [[nodiscard]] const std::string& label() const { return table_.label; }

private:
    [[nodiscard]] Status check_size() const;

    // What one system keeps of the temporary file, told in that system's own
    // source; there is none before the file is created or after it is gone.
    struct Platform;
    struct Forget {
        void operator()(Platform* platform) const;
    };

    TablePath table_;
    std::int64_t planned_ = 0;
    std::int64_t written_ = 0;
    std::unique_ptr<Platform, Forget> platform_;
};
