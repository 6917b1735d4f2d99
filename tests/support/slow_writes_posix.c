/* Preloaded into the program at a test's terminal: while the working
 * directory holds a file named hold, each write to a regular file (a block
 * of rows) waits 0.4 s first, so that a table lasts as long as the test
 * watches it, on any machine. */
#include <dlfcn.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

typedef ssize_t write_function(int, const void*, size_t);
static write_function* next_write;

/* Found before main: a signal handler's write could not look for it. */
__attribute__((constructor)) static void find_write(void)
{
    void* found = dlsym(RTLD_NEXT, "write");
    memcpy(&next_write, &found, sizeof next_write);
}

ssize_t write(int fd, const void* bytes, size_t size)  // NOLINT(readability-inconsistent-declaration-parameter-name)
{
    struct stat status;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && access("hold", F_OK) == 0) {
        const struct timespec pause = {0, 400000000};
        (void)nanosleep(&pause, NULL);
    }
    return next_write(fd, bytes, size);
}
