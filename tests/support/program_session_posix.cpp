#include "program_session.hpp"

#include "emulator_words.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace {

namespace fs = std::filesystem;

constexpr auto patience = std::chrono::seconds(20);

void check(bool ok, const char* doing)
{
    if (!ok) {
        throw std::runtime_error(std::string(doing) + ": " + std::strerror(errno));
    }
}

void close_fd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Starts the program in `working_directory` on these descriptors, with
// every signal at its default, as a shell would start it.
pid_t spawn(const fs::path& working_directory, const RunOptions& options, int in, int out, int err)
{
    std::vector<std::string> words = options.wrapper;
    words.insert(words.end(), emulator().begin(), emulator().end());
    words.emplace_back(GRISALTURAS_PROGRAM);
    words.insert(words.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    ::posix_spawn_file_actions_addchdir_np(&actions, working_directory.c_str());
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t every;
    sigset_t none;
    sigfillset(&every);
    sigemptyset(&none);
    ::posix_spawnattr_setsigdefault(&attributes, &every);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int error_number = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    errno = error_number;
    check(error_number == 0, "posix_spawnp");
    return pid;
}

// Waits for the program, for a while; one that hangs is killed, and the result says so.
void wait_for(pid_t pid, RunResult& result)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ended = ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    check(ended == pid, "waitpid");
    if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
}

// A file of the test's own, already gone from its folder.
int anonymous_file()
{
    const int fd = ::open(fs::temp_directory_path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    check(fd >= 0, "open");
    return fd;
}

std::string contents(int fd)
{
    std::string text;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

}  // namespace

const std::vector<std::string>& emulator()
{
    static const std::vector<std::string> words = GRISALTURAS_EMULATOR;
    return words;
}

std::vector<std::string> in_shell(const std::string& before, const std::string& redirections)
{
    return {"sh", "-c", before + " exec \"$0\" \"$@\" " + redirections};
}

RunResult run_program(const fs::path& working_directory, std::string_view input, const RunOptions& options)
{
    int in = anonymous_file();
    int out = anonymous_file();
    int err = anonymous_file();
    check(::write(in, input.data(), input.size()) == static_cast<ssize_t>(input.size()), "write");
    check(::lseek(in, 0, SEEK_SET) == 0, "lseek");
    RunResult result;
    try {
        wait_for(spawn(working_directory, options, in, out, err), result);
    } catch (...) {
        close_fd(in);
        close_fd(out);
        close_fd(err);
        throw;
    }
    result.out = contents(out);
    result.err = contents(err);
    close_fd(in);
    close_fd(out);
    close_fd(err);
    return result;
}

ProgramSession::ProgramSession(const fs::path& working_directory, const RunOptions& options)
{
    // A program that stops reading must not end the test with it.
    (void)::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    int err[2];
    check(::pipe2(in, O_CLOEXEC) == 0 && ::pipe2(out, O_CLOEXEC) == 0 && ::pipe2(err, O_CLOEXEC) == 0, "pipe");
    pid_ = spawn(working_directory, options, in[0], out[1], err[1]);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    ::fcntl(in_, F_SETFL, O_NONBLOCK);
}

ProgramSession::~ProgramSession()
{
    close_fd(in_);
    close_fd(out_);
    close_fd(err_);
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void ProgramSession::send(std::string_view input)
{
    pending_input_.append(input);
    pump(0);
}

// Moves input and output along for at most `timeout_ms`; false once nothing more can move.
bool ProgramSession::pump(int timeout_ms)
{
    pollfd fds[3] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}, {-1, POLLOUT, 0}};
    if (!pending_input_.empty()) {
        fds[2].fd = in_;
    }
    if (fds[0].fd < 0 && fds[1].fd < 0 && fds[2].fd < 0) {
        return false;
    }
    const int ready = ::poll(fds, 3, timeout_ms);
    check(ready >= 0 || errno == EINTR, "poll");
    if (fds[2].revents != 0) {
        const ssize_t written = ::write(in_, pending_input_.data(), pending_input_.size());
        if (written > 0) {
            pending_input_.erase(0, static_cast<std::size_t>(written));
        } else if (errno == EPIPE) {
            pending_input_.clear();  // the program stopped reading
        }
    }
    int* fds_read[2] = {&out_, &err_};
    std::string* sinks[2] = {&result_.out, &result_.err};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents != 0) {
            char buffer[65536];
            const ssize_t got = ::read(*fds_read[i], buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                close_fd(*fds_read[i]);
            }
        }
    }
    return true;
}

bool ProgramSession::wait_for_output(std::string_view text)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (result_.out.find(text) == std::string::npos) {
        if (out_ < 0 || std::chrono::steady_clock::now() > deadline || !pump(100)) {
            return result_.out.find(text) != std::string::npos;
        }
    }
    return true;
}

void ProgramSession::close_output()
{
    close_fd(out_);
}

void ProgramSession::kill(int signal_number)
{
    ::kill(pid_, signal_number);
}

RunResult ProgramSession::finish(std::string_view input)
{
    pending_input_.append(input);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (pending_input_.empty()) {
            close_fd(in_);
        }
        if (!pump(100)) {
            break;  // both output streams have ended
        }
    }
    wait_for(std::exchange(pid_, -1), result_);
    return result_;
}
