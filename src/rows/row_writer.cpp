#include "rows/row_writer.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "rows/progress.hpp"
#include "system/quiet_thread.hpp"

namespace {

// The number of k from 0 below `rows` for which first + k * step lies in [low, high].
std::int64_t count_between(std::int64_t first, std::int64_t step, std::int64_t rows, std::int64_t low,
                           std::int64_t high)
{
    if (step == 0) {
        return low <= first && first <= high ? rows : 0;
    }
    if (step < 0) {
        return count_between(-first, -step, rows, -high, -low);
    }
    // Divisions rounded down and up, for a positive divisor.
    const auto floor_div = [](std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); };
    const auto ceil_div = [](std::int64_t a, std::int64_t b) { return a / b + (a % b > 0 ? 1 : 0); };
    const std::int64_t from = std::max<std::int64_t>(0, ceil_div(low - first, step));
    const std::int64_t to = std::min(rows - 1, floor_div(high - first, step));
    return from <= to ? to - from + 1 : 0;
}

// The bytes that the column's values take as text: a column is an arithmetic
// progression, so it is counted by ranges of values of equal width.
std::int64_t column_size(std::int64_t first, std::int64_t step, std::int64_t rows)
{
    std::int64_t bytes = count_between(first, step, rows, 0, 0);
    std::int64_t lowest = 1;  // of the values with `digits` digits
    for (std::int64_t digits = 1; digits <= 10; ++digits, lowest *= 10) {
        const std::int64_t highest = lowest * 10 - 1;
        bytes += digits * count_between(first, step, rows, lowest, highest);
        bytes += (digits + 1) * count_between(first, step, rows, -highest, -lowest);
    }
    return bytes;
}

// Writes blocks of rows to the table on a thread of its own while the caller
// makes the next ones, so that making rows, copying them to the system and
// the disk's own work all go on at once; on the caller's thread where the
// system has no thread to spare.
class BlockWriter {
public:
    static constexpr std::size_t block_size = std::size_t{1} << 20;

    explicit BlockWriter(TableFile& table) : table_(table)
    {
        try {
            thread_ = start_quiet_thread([this] { write_sent(); });
        } catch (const std::system_error&) {
            // each block is written as it is sent
        }
    }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;
    ~BlockWriter() { stop(); }

    // The next block to fill, once it is free.
    char* next()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return sent_ - done_ < count; });
        return block(sent_);
    }

    // Sends the block from next() with `size` bytes in it. False once a write has failed.
    bool send(std::size_t size)
    {
        {
            const std::lock_guard lock(mutex_);
            sizes_[sent_++ % count] = size;
        }
        thread_.joinable() ? changed_.notify_all() : write(sent_ - 1);
        return !failed_;
    }

    // Waits for every block sent to be written, and tells how that went.
    Status finish()
    {
        stop();
        if (thrown_) {
            std::rethrow_exception(std::exchange(thrown_, nullptr));
        }
        return written_;
    }

private:
    static constexpr std::size_t count = 4;

    char* block(std::size_t index) const { return blocks_.get() + index % count * block_size; }

    // On the writing thread, until an empty block comes.
    void write_sent()
    {
        for (std::size_t index = 0;; ++index) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return sent_ > index; });
                if (sizes_[index % count] == 0) {
                    return;
                }
            }
            write(index);
        }
    }

    // Writes a block, unless one before it failed, and frees it.
    void write(std::size_t index)
    {
        try {
            if (!failed_) {
                written_ = table_.write({block(index), sizes_[index % count]});
            }
        } catch (...) {
            thrown_ = std::current_exception();  // thrown again on the caller's thread
        }
        failed_ = !written_ || thrown_;
        {
            const std::lock_guard lock(mutex_);
            ++done_;
        }
        changed_.notify_all();
    }

    void stop()
    {
        if (thread_.joinable()) {
            (void)next();
            (void)send(0);  // an empty block ends the thread
            thread_.join();
        }
    }

    TableFile& table_;
    const std::unique_ptr<char[]> blocks_ = std::make_unique_for_overwrite<char[]>(count * block_size);
    std::mutex mutex_;
    std::condition_variable changed_;
    std::array<std::size_t, count> sizes_{};  // of the rows in each block
    std::size_t sent_ = 0;                    // blocks sent so far
    std::size_t done_ = 0;                    // and written, or passed over
    std::atomic<bool> failed_ = false;
    Status written_;  // read by the caller once the thread has ended
    std::exception_ptr thrown_;
    std::thread thread_;
};

}  // namespace

RowFormatter::RowFormatter(const RowPlan& plan)
    : tone_(plan.first_tone, plan.tone_step), altitude_(plan.first_altitude, plan.altitude_step), remaining_(plan.rows)
{
}

char* RowFormatter::format(char* out, const char* end)
{
    // Local copies can live in registers: the columns' own storage might
    // alias the bytes written through `out`.
    DecimalColumn tone = tone_;
    DecimalColumn altitude = altitude_;
    std::int64_t remaining = remaining_;
    // As many rows as surely fit at a time, so that the room is not checked row by row.
    while (std::int64_t fit = std::min<std::int64_t>(remaining, (end - out) / static_cast<std::ptrdiff_t>(slack))) {
        remaining -= fit;
        for (; fit > 0; --fit) {
            out = tone.put(out);
            *out++ = '\t';
            out = altitude.put(out);
            *out++ = '\r';
            *out++ = '\n';
            tone.advance();
            altitude.advance();
        }
    }
    tone_ = tone;
    altitude_ = altitude;
    remaining_ = remaining;
    return out;
}

std::int64_t table_size(const RowPlan& plan)
{
    // Each value fits 32 bits, so has at most ten digits; a tab, a CR and an LF join them.
    return column_size(plan.first_tone, plan.tone_step, plan.rows) +
           column_size(plan.first_altitude, plan.altitude_step, plan.rows) + 3 * plan.rows;
}

Status write_rows(TableFile& table, const RowPlan& plan, std::FILE* progress)
{
    BlockWriter writer(table);
    Progress shown(progress, plan.rows);
    RowFormatter rows(plan);
    while (!rows.done()) {
        char* block = writer.next();
        if (!writer.send(static_cast<std::size_t>(rows.format(block, block + BlockWriter::block_size) - block))) {
            break;
        }
        shown.update(plan.rows - rows.remaining());
    }
    return writer.finish();
}
