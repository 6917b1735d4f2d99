// The row formatter against snprintf, on the rows of a large table.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "rows/row_writer.hpp"

namespace {

constexpr std::int64_t rows_per_block = 4096;
constexpr std::size_t block_size = rows_per_block * 25 + RowFormatter::slack;

// Tones 0, 1, 2... and altitudes in millimeters from the shore of the Dead
// Sea up, 2 cm apart, as in the table of a 32-bit image.
const RowPlan table{std::int64_t{1} << 22, 0, 1, -430000, 20};

void row_formatter(benchmark::State& state, const RowPlan& table)
{
    std::vector<char> block(block_size);
    RowFormatter rows(table);
    std::int64_t made = 0;  // rows, as many as fit in each block whatever their width
    for (auto _ : state) {
        if (rows.done()) {
            rows = RowFormatter(table);
        }
        const std::int64_t before = rows.remaining();
        const char* end = rows.format(block.data(), block.data() + rows_per_block * 25);
        made += before - rows.remaining();
        benchmark::DoNotOptimize(end);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(made);
}

void snprintf_per_row(benchmark::State& state)
{
    std::vector<char> block(block_size);
    std::int64_t row = 0;
    for (auto _ : state) {
        if (row >= table.rows) {
            row = 0;
        }
        char* out = block.data();
        for (std::int64_t k = 0; k < rows_per_block; ++k, ++row) {
            out += std::snprintf(out, 32, "%d\t%d\r\n", static_cast<int>(table.first_tone + row * table.tone_step),
                                 static_cast<int>(table.first_altitude + row * table.altitude_step));
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * rows_per_block);
}

BENCHMARK_CAPTURE(row_formatter, dead_sea_in_millimeters, table);
BENCHMARK_CAPTURE(row_formatter, ten_digits_upward, RowPlan{std::int64_t{1} << 22, 1000000000, 1, 1000000000, 1});
BENCHMARK_CAPTURE(row_formatter, ten_digits_downward, RowPlan{std::int64_t{1} << 22, -1000000000, -1, -1000000000, -1});
BENCHMARK_CAPTURE(row_formatter, nine_digits, RowPlan{std::int64_t{1} << 22, 100000000, 1, 100000000, 1});
BENCHMARK_CAPTURE(row_formatter, up_to_eight_digits, RowPlan{std::int64_t{1} << 22, 0, 1, 0, 1});
BENCHMARK(snprintf_per_row);

}  // namespace

BENCHMARK_MAIN();
