#include "rows/row_writer.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t int_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t int_min = std::numeric_limits<std::int32_t>::min();

std::string printed(const RowPlan& plan)
{
    std::string text;
    for (std::int64_t k = 0; k < plan.rows; ++k) {
        char row[64];
        const int length =
            std::snprintf(row, sizeof row, "%d\t%d\r\n", static_cast<int>(plan.first_tone + k * plan.tone_step),
                          static_cast<int>(plan.first_altitude + k * plan.altitude_step));
        text.append(row, static_cast<std::size_t>(length));
    }
    return text;
}

// Formats the whole plan through blocks of `block_size` bytes.
std::string formatted(const RowPlan& plan, std::size_t block_size)
{
    RowFormatter rows(plan);
    std::vector<char> block(block_size);
    std::string text;
    while (!rows.done()) {
        const char* end = rows.format(block.data(), block.data() + block.size());
        text.append(block.data(), static_cast<std::size_t>(end - block.data()));
    }
    return text;
}

TEST(RowFormatter, WritesWhatPrintfWouldForEveryProgression)
{
    const RowPlan plans[] = {
        {0, 0, 0, 0, 0},
        {3, 0, 1, 100, 50},
        {1000, 0, 1, 0, 1},                     // growing digits
        {1001, 1000, -1, 1000, -1},             // shrinking digits down to 0
        {41, -20, 1, 20, -1},                   // crossing zero both ways
        {30, -7, 1, 105, -7},                   // crossing zero between non-zero values
        {25, -99999, 9999, 99999, -9999},       // steps of many digits
        {3, int_max, -1, int_min, 2147483647},  // the extremes of 32 bits
        {3, int_min, 1, int_max, -2147483647},
        {1, 5, 2147483647, 7, 2147483647000},  // a step far beyond 32 bits, never added
        {12, 1999999990, 1, -1999999990, -1},  // carries through every digit
        {5, 0, 1, -2000000000, 1000000000},
        {2000, 999, -1, -998, 1},
        // Every width boundary past eight digits, both ways and both signs, carried between words.
        {40, 9999980, 1, -9999980, -1},
        {40, 100000020, -1, -100000020, 1},
        {40, 999999980, 1, -999999980, -1},
        {40, 1000000020, -1, -1000000020, 1},
        {9, 99999999, 99999999, -99999999, -99999999},         // steps of eight digits exactly
        {21, -2147483648, 200000000, 2147483647, -200000001},  // steps past eight digits
        {3, 2147483000, 1, 1999999999, 1},
    };
    for (const auto& plan : plans) {
        const std::string expected = printed(plan);
        EXPECT_EQ(formatted(plan, 1 << 16), expected) << plan.first_tone << " by " << plan.tone_step;
        EXPECT_EQ(table_size(plan), static_cast<std::int64_t>(expected.size())) << plan.first_tone;
        EXPECT_EQ(formatted(plan, RowFormatter::slack + 5), expected) << "one row a block";
    }
}

TEST(RowFormatter, MatchesPrintfOnRandomProgressions)
{
    std::mt19937_64 random(20121008);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the same cases on every run
    std::uniform_int_distribution<std::int64_t> any_int(int_min, int_max);
    std::uniform_int_distribution<std::int64_t> small(-1000, 1000);
    for (int round = 0; round < 2000; ++round) {
        RowPlan plan{};
        plan.rows = 1 + static_cast<std::int64_t>(random() % 300);
        plan.tone_step = round % 2 == 0 ? small(random) : any_int(random) / plan.rows;
        plan.altitude_step = round % 3 == 0 ? small(random) * 1000 : any_int(random) / plan.rows;
        // Start anywhere the whole column stays inside 32 bits.
        const auto start = [&](std::int64_t step) {
            const std::int64_t span = step * (plan.rows - 1);
            const std::int64_t low = std::max(int_min, int_min - span);
            const std::int64_t high = std::min(int_max, int_max - span);
            return std::uniform_int_distribution<std::int64_t>(low, high)(random);
        };
        plan.first_tone = start(plan.tone_step);
        plan.first_altitude = start(plan.altitude_step);
        const std::string expected = printed(plan);
        ASSERT_EQ(table_size(plan), static_cast<std::int64_t>(expected.size()));
        ASSERT_EQ(formatted(plan, 4096), expected) << plan.first_tone << " by " << plan.tone_step << ", "
                                                   << plan.first_altitude << " by " << plan.altitude_step;
    }
}

}  // namespace
