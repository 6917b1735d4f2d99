#include "system/standard_streams.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

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
