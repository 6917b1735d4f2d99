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

#include "failure.hpp"

class TableFile {
public:
    TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;
    ~TableFile();

    // Makes sure the table at `path` can be written, then creates the
    // temporary file. `label` names the table in messages. The path holds no NUL.
    Status open(std::string label, const std::string& path);

    // Reserves room for a table of exactly `bytes` bytes before anything is
    // written, where the file system can, so that a table that cannot fit
    // is refused at once.
    Status reserve(std::int64_t bytes);

    Status write(std::string_view bytes);

    // Checks that exactly the reserved bytes were written, syncs them to disk
    // and puts them in place of the table.
    Status commit();

    // Removes the temporary file; the table is left as it was.
    void discard();

    // How messages name the table; empty until it is opened.
    [[nodiscard]] const std::string& label() const { return label_; }

private:
    [[nodiscard]] Status check_size() const
    {
        if (written_ == planned_) {
            return std::nullopt;
        }
        return Failure{"cannot write " + label_,
                       std::to_string(written_) + " bytes written where " + std::to_string(planned_) + " were planned"};
    }

    // What one system alone keeps of the file, told in that system's own source.
    struct System;

    std::string label_;
    std::string target_;         // the table file itself, past any symbolic link
    std::intptr_t handle_ = -1;  // the temporary file's descriptor, or its Windows handle
    std::int64_t planned_ = 0;
    std::int64_t written_ = 0;
    std::unique_ptr<System> system_;
};
