// What the program writes to its console streams: whole, as wide as the
// terminal is, and erased as that terminal can.
#pragma once

#include <cstdio>
#include <string_view>

// Writes `text` whole to `stream` after whatever the stream holds, as the
// table is written: a write that a signal interrupts, or that takes only part
// of the text, is continued. Returns 0, or the error number of the failure.
int write_output(std::FILE* stream, std::string_view text);

// The number of columns of the terminal that `stream` is, or 0 where it is none.
int terminal_columns(std::FILE* stream);

// Whether the run has the terminal that `stream` is, and not the shell that
// sent it to the background (Ctrl-Z, then bg); true where it cannot be told.
bool in_foreground(std::FILE* stream);

// Whether the terminal erases and moves its cursor as escape sequences tell
// it: one that TERM names, other than a dumb one; never a Windows console,
// which the program leaves in the mode it found it in.
bool terminal_takes_escapes();
