// The table file, replaced whole or not at all.
//
// Rows go to a temporary file beside the table. Only once every row is
// written, synced and closed does the temporary file take the table's name,
// in one step; on any other ending, including the signals that end a run,
// the temporary file is removed and an older table stays as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "failure.hpp"

class TableFile {
public:
    TableFile() = default;
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;
    ~TableFile() { discard(); }

    // Makes sure the table at `path` can be written, then creates the
    // temporary file. `label` names the table in messages. The path holds no NUL.
    Status open(std::string label, const std::string& path);

    Status write(std::string_view bytes);

    // Syncs the rows to disk and puts them in place of the table.
    Status commit();

    // Removes the temporary file; the table is left as it was.
    void discard();

private:
    std::string label_;
    std::string target_;         // the table file itself, past any symbolic link
    std::intptr_t handle_ = -1;  // the temporary file's descriptor, or its Windows handle
#ifdef _WIN32
    std::wstring temporary_;
#else
    std::string temporary_;
    unsigned mode_ = 0;  // permission bits the table keeps or gets
    std::int64_t written_ = 0;
    std::int64_t writeback_started_ = 0;  // bytes the disk has been asked to take already
#endif
};
