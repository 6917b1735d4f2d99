// How far a long table has come, on one line of the terminal that is
// rewritten in place and erased at the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// "grisalturas: 1,234,567,890 of 4,294,967,296 rows (28%), about 1 min left",
// or a shorter form where that is longer than `width`; empty where none fits.
std::string progress_line(std::int64_t done, std::int64_t total, std::chrono::steady_clock::duration elapsed,
                          std::size_t width);

class Progress {
public:
    // Shows nothing unless `stream` is a terminal of 20 columns or more and
    // the table takes more than about a second. The line is never as wide as
    // the terminal, which would wrap it.
    Progress(std::FILE* stream, std::int64_t total);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress();

    // Cheap enough to call for every block of rows: the line changes only a few times a second.
    void update(std::int64_t done);

private:
    void show(const std::string& line);

    std::FILE* terminal_;
    bool escapes_;  // whether the terminal erases as escape sequences tell it
    std::int64_t total_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point next_;
    std::size_t width_ = 0;  // the longest line that the terminal had room for when last measured
    std::size_t shown_ = 0;  // the length of the line on screen
};
