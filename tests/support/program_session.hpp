// Runs the built program as a user would: in a working directory of its own,
// answers on its standard input, both output streams captured.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
struct RunOptions {
    std::vector<std::string> arguments;
    std::function<bool()> kill_when;  // asked while the program runs: once true, it is killed outright
    bool ctrl_c = false;              // killed with Ctrl-C at a console of its own instead
    // Where set, the input holds the names alone: once the program asks for
    // the first number, `meanwhile` runs, and then `numbers` are typed.
    std::function<void()> meanwhile;
    std::string numbers;
};
#else
struct RunOptions {
    std::vector<std::string> arguments;
    std::vector<std::string> wrapper;  // a command that runs the program, such as strace
};
#endif

struct RunResult {
    int exit_status = -1;  // -1 when a signal ended the program
    int signal = 0;
    std::string out;
    std::string err;
};

RunResult run_program(const std::filesystem::path& working_directory, std::string_view input,
                      const RunOptions& options = {});

#ifndef _WIN32
// The command that runs the cross-built program on this machine, if any.
const std::vector<std::string>& emulator();

// Runs the program through the shell, `before` its start and with `redirections` of its own.
std::vector<std::string> in_shell(const std::string& before, const std::string& redirections = {});

// A run driven step by step, as a person at a terminal would.
class ProgramSession {
public:
    ProgramSession(const std::filesystem::path& working_directory, const RunOptions& options = {});
    ProgramSession(const ProgramSession&) = delete;
    ProgramSession& operator=(const ProgramSession&) = delete;
    ~ProgramSession();

    // Types input; the program sees it when it next reads.
    void send(std::string_view input);

    // Reads standard output until it holds `text`; false if the program ends or takes too long first.
    bool wait_for_output(std::string_view text);

    // Stops reading standard output, as a pager that quits does.
    void close_output();

    void kill(int signal_number);

    // Types the rest of the input, ends it, and waits for the program to end.
    RunResult finish(std::string_view input = {});

private:
    bool pump(int timeout_ms);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string pending_input_;
    RunResult result_;
};
#endif
