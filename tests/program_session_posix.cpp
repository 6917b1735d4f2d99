#include "program_session.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace {

constexpr auto patience = std::chrono::seconds(20);

void check(bool ok, const char* doing)
{
    if (!ok) {
        throw std::runtime_error(std::string(doing) + ": " + std::strerror(errno));
    }
}

void make_pipe(int ends[2])
{
    check(::pipe2(ends, O_CLOEXEC) == 0, "pipe");
}

void close_fd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

const std::vector<std::string>& emulator()
{
    static const std::vector<std::string> words = [] {
        std::vector<std::string> split;
        std::istringstream list(GRISALTURAS_EMULATOR);  // words separated by blanks
        for (std::string word; list >> word;) {
            split.push_back(word);
        }
        return split;
    }();
    return words;
}

namespace {

// In the child, between fork and exec.
[[noreturn]] void become_program(const std::filesystem::path& working_directory, const RunOptions& options, int in,
                                 int out, int err)
{
    for (int signal_number : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) {
        (void)::signal(signal_number, SIG_DFL);
    }
    for (const auto& [name, value] : options.environment) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    if (options.umask) {
        ::umask(*options.umask);
    }
    if (options.file_size_limit) {
        const rlimit limit{*options.file_size_limit, *options.file_size_limit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (::chdir(working_directory.c_str()) != 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
        ::_exit(127);
    }
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
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

}  // namespace

ProgramSession::ProgramSession(const std::filesystem::path& working_directory, const RunOptions& options)
{
    // A program that stops reading must not end the test with it.
    (void)::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    int err[2];
    make_pipe(in);
    make_pipe(out);
    make_pipe(err);
    pid_ = ::fork();
    check(pid_ >= 0, "fork");
    if (pid_ == 0) {
        become_program(working_directory, options, in[0], out[1], err[1]);
    }
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
    int status = 0;
    if (std::chrono::steady_clock::now() >= deadline) {
        ::kill(pid_, SIGKILL);  // it hung: say so through the result
    }
    check(::waitpid(pid_, &status, 0) == pid_, "waitpid");
    pid_ = -1;
    if (WIFEXITED(status)) {
        result_.exit_status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result_.signal = WTERMSIG(status);
    }
    return result_;
}

RunResult run_program(const std::filesystem::path& working_directory, std::string_view input, const RunOptions& options)
{
    ProgramSession session(working_directory, options);
    return session.finish(input);
}
