#include "background_sync.hpp"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

// A sync begins once a stretch of new bytes has come since the one before
// began, and takes all that has come: while the disk is slower than the rows,
// the syncs follow each other with no pause, each a little larger.
constexpr std::int64_t stretch = std::int64_t{4} << 20;

}  // namespace

int BackgroundSync::written(int fd, std::int64_t bytes)
{
    const std::lock_guard lock(mutex_);
    written_ = bytes;
    if (!thread_.joinable() && !finished_ && bytes >= stretch) {
        // The signals that end a run reach the thread that writes, whose
        // handler removes the file, and never this one.
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, &previous);
        try {
            thread_ = std::thread(&BackgroundSync::run, this, fd);
        } catch (const std::system_error&) {
            finished_ = true;  // no thread to spare: the final sync does it all
        }
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    if (written_ - synced_ >= stretch) {
        wake_.notify_one();
    }
    return error_number_;
}

void BackgroundSync::stop()
{
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    wake_.notify_one();
}

int BackgroundSync::finish()
{
    stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    return error_number_;
}

void BackgroundSync::run(int fd)
{
    std::unique_lock lock(mutex_);
    while (error_number_ == 0) {
        wake_.wait(lock, [this] { return finished_ || written_ - synced_ >= stretch; });
        if (finished_) {
            return;
        }
        synced_ = written_;
        lock.unlock();
        const int error_number = ::fdatasync(fd) == 0 ? 0 : errno;
        lock.lock();
        error_number_ = error_number;
    }
}
