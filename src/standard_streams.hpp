// The standard streams, whatever state the program was started in.
#pragma once

#include <cstdio>

// Keeps descriptors 0, 1 and 2 taken, so that no file the program opens can
// become one of them: one that is closed is opened on the null device, the
// wrong way round, so that it still fails as a closed one would (standard
// input with "Bad file descriptor"). A reader that goes away makes the next
// write to standard output fail, and the run report it, instead of ending it
// unannounced. Called before anything else.
void take_standard_streams();

// The number of columns of the terminal that `stream` is, or 0 where it is none.
int terminal_columns(std::FILE* stream);
