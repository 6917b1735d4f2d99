// The program's system calls, as strace records them and makes them fail.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "program_session.hpp"

// The answers for a table of 8.8 MB, past the 4 MiB stretches whose
// writeback starts while the rows are written: a trace of it holds the
// first and the last of each call that writing a large table makes.
inline const std::string synced_while_written = "maps sierra 0 1 0 599999 1 0";

// Whether strace can trace the program's own calls here (not an emulator's).
bool strace_works();

// Runs the program under strace, with these arguments, following every thread.
RunOptions traced(const std::vector<std::string>& arguments);

// Runs the program under strace with one system call made to fail.
RunOptions injecting(const std::string& injection);

// The lines of an strace log that record system calls, in order, without
// the number of the thread that made each.
std::vector<std::string> traced_calls(const std::filesystem::path& log);

std::string call_name(const std::string& call);

// Which call of its kind, counted from 1 as strace counts them, the call at `index` is.
int occurrence(const std::vector<std::string>& calls, std::size_t index);

// Where to kill a run that made these `calls`: each kind of call made once
// the answers are read, at its first and its last occurrence, as strace
// counts them, and every call from the temporary file's link beside the
// table to its rename over it, where a kill leaves its name.
std::vector<std::pair<std::string, int>> kill_points(const std::vector<std::string>& calls);

// The injection that fails with `error` the first of a run's `calls` that
// holds each of `markers`; empty if none does.
std::string injection_at(const std::vector<std::string>& calls, const std::vector<std::string>& markers,
                         const std::string& error);

// The injection that refuses the unnamed file where the `calls` of a run
// opened it, so that a named one takes its place; empty if none was opened.
std::string without_unnamed_file(const std::vector<std::string>& calls);

// Traces a run of `input` that replaces the table sierra and finds the injection for `markers` in it.
std::string injection_in_run(const std::string& input, const std::vector<std::string>& markers,
                             const std::string& error);

// Traces a plain run of `input` and finds where to refuse the unnamed file.
std::string named_file_injection(const std::string& input);
