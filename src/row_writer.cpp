#include "row_writer.hpp"

#include <charconv>
#include <memory>
#include <optional>
#include <string_view>

char* format_row(char* out, std::int32_t tone, std::int32_t altitude)
{
    out = std::to_chars(out, out + 11, tone).ptr;
    *out++ = '\t';
    out = std::to_chars(out, out + 11, altitude).ptr;
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

Status write_rows(TableFile& table, const RowPlan& plan)
{
    constexpr std::size_t block_size = std::size_t{1} << 20;
    const auto block = std::make_unique<char[]>(block_size);
    char* const begin = block.get();
    char* const end = begin + block_size;
    char* out = begin;
    // The plan has checked that every value fits 32 bits; the 64-bit running
    // values cannot overflow, not even one step past the last row.
    std::int64_t tone = plan.first_tone;
    std::int64_t altitude = plan.first_altitude;
    for (std::int64_t row = 0; row < plan.rows; ++row) {
        if (end - out < static_cast<std::ptrdiff_t>(longest_row)) {
            if (auto failure = table.write({begin, static_cast<std::size_t>(out - begin)})) {
                return failure;
            }
            out = begin;
        }
        out = format_row(out, static_cast<std::int32_t>(tone), static_cast<std::int32_t>(altitude));
        tone += plan.tone_step;
        altitude += plan.altitude_step;
    }
    return table.write({begin, static_cast<std::size_t>(out - begin)});
}
