// Writing bytes whole to a POSIX descriptor.
#pragma once

#include <string_view>

// Writes all of `bytes` to `fd`: a write that a signal interrupts, or that
// takes only part of them, is continued. Returns 0, or the error number.
int write_all(int fd, std::string_view bytes);
