#include "row_writer.hpp"

#include <memory>
#include <optional>
#include <string_view>

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

Status write_rows(TableFile& table, const RowPlan& plan)
{
    constexpr std::size_t block_size = std::size_t{1} << 20;
    const auto block = std::make_unique<char[]>(block_size);
    RowFormatter rows(plan);
    while (!rows.done()) {
        const char* end = rows.format(block.get(), block.get() + block_size);
        if (auto failure = table.write({block.get(), static_cast<std::size_t>(end - block.get())})) {
            return failure;
        }
    }
    return std::nullopt;
}
