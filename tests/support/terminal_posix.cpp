#include "terminal_posix.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "program_session.hpp"
#include "workspace.hpp"

bool tmux_available()
{
    return emulator().empty() && std::system("tmux -V >/dev/null 2>&1") == 0;  // NOLINT(cert-env33-c)
}

Terminal::Terminal(const std::filesystem::path& directory, int columns, const std::string& term)
    : prefix_("tmux -S '" + (directory / "tmux").string() + "' -f /dev/null ")
{
    Workspace::write(directory / "hold", {});
    const char* options = std::getenv("ASAN_OPTIONS");  // the preloaded writes come before the sanitizer
    tmux("new-session -d -x " + std::to_string(columns) + " -y 50 -c '" + directory.string() +
         "' env PS1='$ ' ENV= GRISALTURAS='" GRISALTURAS_PROGRAM "' LD_PRELOAD='" GRISALTURAS_SLOW_WRITES
         "' ASAN_OPTIONS='" +
         (options != nullptr ? options : "") + ":verify_asan_link_order=0' " +
         (term.empty() ? "" : "TERM=" + term + " ") + "sh");
    tmux("pipe-pane -o 'cat >>\"" + (directory / "written").string() + "\"'");
}

Terminal::~Terminal()
{
    (void)!std::system((prefix_ + "kill-server 2>/dev/null").c_str());  // NOLINT(cert-env33-c)
}

std::string Terminal::tmux(const std::string& command) const
{
    std::FILE* pipe = ::popen((prefix_ + command).c_str(), "r");  // NOLINT(cert-env33-c)
    std::string printed;
    char buffer[65536];
    for (std::size_t got = 0; pipe != nullptr && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        printed.append(buffer, got);
    }
    if (pipe == nullptr || ::pclose(pipe) != 0) {
        throw std::runtime_error("tmux failed: " + command);
    }
    return printed;
}

bool Terminal::wait_for(const std::function<bool(const std::string&)>& shows) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!shows(tmux("capture-pane -p -J -S -"))) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}
