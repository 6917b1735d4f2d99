// The standard streams, whatever state the program was started in.
#pragma once

// Keeps descriptors 0, 1 and 2 taken, so that no file the program opens can
// become one of them: one that is closed is opened on the null device, the
// wrong way round, so that it still fails as a closed one would (standard
// input with "Bad file descriptor"). A reader that goes away makes the next
// write to standard output fail, and the run report it, instead of ending it
// unannounced. On a Windows console, Ctrl-C leaves no progress line behind,
// and ends the run with status 130.
// Called before anything else.
void take_standard_streams();

// Where the program has a console window of its own (started from Explorer
// or the Run box, not from a shell, with neither input nor output
// redirected), asks for Enter before the window closes, so that the message
// of a failed run can be read.
void hold_own_window();
