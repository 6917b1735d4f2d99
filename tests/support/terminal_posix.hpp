// A person's terminal: a shell in a tmux pane, in `directory`, where
// "$GRISALTURAS" runs the program; its tables are written slowly while the
// directory holds a file named hold, and every byte written to the terminal
// goes to the file written too.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

bool tmux_available();

class Terminal {
public:
    // `columns` wide, with TERM set to `term` where one is given.
    Terminal(const std::filesystem::path& directory, int columns, const std::string& term = {});
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    ~Terminal();

    // Runs a tmux command on this terminal, such as send-keys C-z, and returns what it prints.
    std::string tmux(const std::string& command) const;

    // Waits a while for the screen, with what scrolled off it, one line for
    // each line written however it wraps, to be what `shows` looks for.
    [[nodiscard]] bool wait_for(const std::function<bool(const std::string&)>& shows) const;

private:
    std::string prefix_;  // the command line of tmux for this terminal
};
