// Running out of memory, at any point, ends the run like any other failure:
// one line and exit status 1, the old table kept, nothing left behind.
#pragma once

#include <cstdio>
#include <string_view>

#include "text/user_text.hpp"

// Takes a reserve of memory, and has the first allocation that fails give it
// back before it throws std::bad_alloc: the exception, the unwinding that
// removes the temporary file and the message then find the memory they need.
// False where not even the reserve can be had.
bool take_memory_reserve();

// "grisalturas: cannot write <table>: Cannot allocate memory" on `stream`, or
// "cannot create the table" before the table has a name; written from its
// parts, with nothing allocated, in the text of `user`.
void report_out_of_memory(std::FILE* stream, std::string_view table_label, const UserText& user);
