#include "rows/row_writer.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "rows/progress.hpp"

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
    while (remaining > 0 && end - out >= static_cast<std::ptrdiff_t>(slack)) {
        out = tone.put(out);
        *out++ = '\t';
        out = altitude.put(out);
        *out++ = '\r';
        *out++ = '\n';
        tone.advance();
        altitude.advance();
        --remaining;
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
    constexpr std::size_t block_size = std::size_t{1} << 20;
    const auto block = std::make_unique<char[]>(block_size);
    Progress shown(progress, plan.rows);
    RowFormatter rows(plan);
    while (!rows.done()) {
        const char* end = rows.format(block.get(), block.get() + block_size);
        if (auto done = table.write({block.get(), static_cast<std::size_t>(end - block.get())}); !done) {
            return done;
        }
        shown.update(plan.rows - rows.remaining());
    }
    return {};
}
