#include "system/terminal_output.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "system/write_all.hpp"

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

bool in_foreground(std::FILE* stream)
{
    const pid_t group = ::tcgetpgrp(::fileno(stream));
    return group < 0 || group == ::getpgrp();
}

bool terminal_takes_escapes()
{
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}
