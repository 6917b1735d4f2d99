// What the signals that end a run leave behind them: no named temporary file
// and no progress line; and Ctrl-Z (SIGTSTP) stops the run with its line
// erased. The handlers do only what is safe in a handler, then let the
// signal end or stop the process as it would have.
#pragma once

#include <csignal>

// Installs the handlers; a signal ignored when the program started stays ignored.
void install_cleanup_handlers();

// Holds the ending signals back while it lives.
class SignalsHeld {
public:
    SignalsHeld();
    explicit SignalsHeld(const sigset_t& set);  // those in `set`
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld();

private:
    sigset_t previous_{};
};
