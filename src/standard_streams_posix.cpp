#include "standard_streams.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <initializer_list>
#include <string_view>

#include "progress.hpp"
#include "write_all.hpp"

void take_standard_streams()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // open takes the lowest free descriptor: this one.
            (void)::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        }
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    (void)::sigaction(SIGPIPE, &ignore, nullptr);
}

void hold_own_window()
{
    // A terminal outlives the programs run in it.
}

int write_output(std::FILE* stream, std::string_view text)
{
    if (std::fflush(stream) != 0) {
        return errno;
    }
    const int fd = ::fileno(stream);
    return fd < 0 ? errno : write_all(fd, text);
}

int terminal_columns(std::FILE* stream)
{
    const int fd = ::fileno(stream);
    if (fd < 0 || ::isatty(fd) == 0) {
        return 0;
    }
    winsize size{};
    // A terminal that does not tell its width has the usual one.
    constexpr int usual = 80;
    return ::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col != 0 ? size.ws_col : usual;
}

bool terminal_takes_escapes()
{
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}
