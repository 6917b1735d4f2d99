// What the signals that end a run leave behind them: no named temporary file
// and no progress line; and Ctrl-Z (SIGTSTP) stops the run with its line
// erased. The handlers do only what is safe in a handler, then let the
// signal end or stop the process as it would have.
#pragma once

#include <csignal>

// Installs the handlers; a signal ignored when the program started stays ignored.
void install_cleanup_handlers();

// The named file that a signal must remove, `name` in the folder held as
// `folder`, or none (-1, nullptr). Changed only while the signals are held,
// together with the file itself.
void remove_on_signal(int folder, const char* name);

// Holds the ending signals back while it lives.
class SignalsHeld {
public:
    SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld();

private:
    sigset_t previous_{};
};
