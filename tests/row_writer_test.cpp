#include "row_writer.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

namespace {

TEST(FormatRow, MatchesPrintfForEveryKindOfValue)
{
    constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();
    const std::int32_t values[] = {0, 1, -1, 9, 10, 99, 100, -100, 65535, 1000000, 999999999, int_max, int_min};
    for (std::int32_t tone : values) {
        for (std::int32_t altitude : values) {
            char expected[longest_row + 1];
            const int length = std::snprintf(expected, sizeof expected, "%d\t%d\r\n", tone, altitude);
            char row[longest_row];
            char* end = format_row(row, tone, altitude);
            EXPECT_EQ(std::string(+row, end), std::string(expected, static_cast<std::size_t>(length)));
        }
    }
}

}  // namespace
