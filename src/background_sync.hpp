// Syncs a file on a thread of its own while it is still being written, so
// that the disk takes a large table while its later rows are formatted, and
// the final sync is left with little more than the last rows.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class BackgroundSync {
public:
    ~BackgroundSync() { (void)finish(); }

    // Tells that the file `fd` now holds `bytes` bytes; the thread starts
    // once they pass a stretch, so that a small table never needs it.
    // Returns 0, or the error number of a sync that failed.
    int written(int fd, std::int64_t bytes);

    // Starts no further sync: the sync under way may end beside the final one.
    void stop();

    // Stops, and waits for the sync under way, if any. Returns 0, or the
    // error number of the sync that failed: a descriptor reports a failed
    // write once only, and this thread may have taken it.
    int finish();

private:
    void run(int fd);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::int64_t written_ = 0;
    std::int64_t synced_ = 0;  // the size of the file when the latest sync began
    bool finished_ = false;
    int error_number_ = 0;
    std::thread thread_;
};
